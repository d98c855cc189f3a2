#include "platform/win32/keep.h"

#include <sddl.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/kept.h"
#include "platform/win32/held_path.h"
#include "platform/win32/rights.h"

namespace win32 {
namespace {

constexpr ULONGLONG kSpareSpace = 1ull << 30;                 // what a copy must leave free on the drive
constexpr ULONGLONG kKeptFor = 30ull * 24 * 3600 * 10000000;  // 30 days in FILETIME units
constexpr const wchar_t* kList = L"kept.txt";

struct Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE && h) CloseHandle(h);
  }
};

struct Local {
  void* p = nullptr;
  ~Local() { LocalFree(p); }
};

// The place of this kind of run's kept files ("...\CorvaneFileCleanup\Removed"), found once.
struct Place {
  bool known = false;
  DWORD error = ERROR_PATH_NOT_FOUND;
  std::wstring removed, run;  // the run's folder once made
  std::string installFolder;
  unsigned next = 1;
};
Place& place() {
  static Place p;
  return p;
}

bool sameName(const std::wstring& a, const wchar_t* b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

std::wstring withoutSlash(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// The owner and access list of a file or folder, as SDDL; empty when the
// system says none. Read from the handle itself: the security functions that
// take an object type load a library at their first call, which in the
// native view of a 32-bit program on 64-bit Windows would be the wrong one.
std::string securityText(HANDLE handle) {
  const SECURITY_INFORMATION which = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  std::vector<BYTE> sd(1024);
  DWORD needed = 0;
  while (!GetKernelObjectSecurity(handle, which, sd.data(), static_cast<DWORD>(sd.size()), &needed)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= sd.size()) return {};
    sd.resize(needed);
  }
  Local text;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(sd.data(), SDDL_REVISION_1, which,
                                                            reinterpret_cast<wchar_t**>(&text.p), nullptr))
    return {};
  return narrowText(static_cast<const wchar_t*>(text.p));
}

// Makes the folder `path` with the descriptor `sd` (none: inherited), or
// opens the one there; `made` says which. A protected one gets its
// descriptor once more through the checked handle: a file system may keep
// the one given at creation only as far as its own rights can say.
DWORD createFolder(const std::wstring& path, void* sd, DWORD access, bool& made, Handle& folder) {
  HeldPath held;
  if (DWORD error = held.holdFolders(path)) return error;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, sd, FALSE};
  made = CreateDirectoryW(path.c_str(), &attributes) != FALSE;
  if (!made && GetLastError() != ERROR_ALREADY_EXISTS) return GetLastError();
  if (sd && made) access |= WRITE_DAC | WRITE_OWNER;
  if (DWORD error = held.openFolder(access | READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE, folder.h)) return error;
  if (!sd || !made) return ERROR_SUCCESS;
  // The descriptor's own control marks the access list protected.
  return SetKernelObjectSecurity(folder.h, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, sd)
             ? ERROR_SUCCESS
             : GetLastError();
}

// Makes the folder `path` or takes the one there. An elevated run's folders
// get the protected descriptor at creation, and one already there serves
// only with the very descriptor the program writes: anything else may let
// others in. What the program writes is what the system keeps of it, read
// from a folder made beside it for the comparison and deleted again.
DWORD makeFolder(const std::wstring& path, bool protect) {
  Local sd;
  if (protect &&
      !ConvertStringSecurityDescriptorToSecurityDescriptorA(kept::kFolderSddl, SDDL_REVISION_1, &sd.p, nullptr))
    return GetLastError();
  bool made = false;
  Handle folder;
  if (DWORD error = createFolder(path, sd.p, 0, made, folder)) return error;
  if (!protect || made) return ERROR_SUCCESS;
  bool probeMade = false;
  Handle probe;
  const DWORD error = createFolder(path + L"." + wideText(std::to_string(GetCurrentProcessId())) + L".new", sd.p,
                                   DELETE, probeMade, probe);
  if (probeMade) deleteThrough(probe.h);
  if (error || !probeMade) return error ? error : kRefused;
  const std::string present = securityText(folder.h), written = securityText(probe.h);
  return !present.empty() && kept::sameDescriptor(present, written) ? ERROR_SUCCESS : kRefused;
}

// Finds, and makes where missing, the Removed folder of this run's kind.
DWORD removedFolder(std::wstring& removed) {
  Place& p = place();
  if (!p.known) {
    p.known = true;
    const bool admins = keepsForAdministrators();
    char root[MAX_PATH] = {};
    // Program Files admits only administrators to make anything there: no one can have made ours first.
    const int32_t csidl = admins ? 0x26 /* CSIDL_PROGRAM_FILES */ : 0x1C /* CSIDL_LOCAL_APPDATA */;
    std::wstring wide;
    if (platform::specialFolders().SHGetFolderPathA(0, csidl, 0, platform::kShgfpTypeCurrent, root) != platform::kSOk ||
        !widePath(root, wide))
      return p.error;
    const std::wstring program = withoutSlash(wide) + L"\\CorvaneFileCleanup";
    if (!(p.error = makeFolder(program, admins)) && !(p.error = makeFolder(program + L"\\Removed", admins)))
      p.removed = program + L"\\Removed";
  }
  removed = p.removed;
  return p.error;
}

DWORD writeAll(HANDLE file, const std::string& text) {
  DWORD written = 0;
  if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return GetLastError();
  return written == text.size() && FlushFileBuffers(file) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

// Appends one line to the run's list, through its checked handle.
DWORD appendLine(const std::wstring& run, const std::string& line, DWORD disposition) {
  HeldPath held;
  Handle list;
  DWORD error = held.holdFolders(run + L"\\" + kList);
  if (!error) error = held.openEntry(FILE_APPEND_DATA, FILE_SHARE_READ, disposition, list.h);
  return error ? error : writeAll(list.h, line + "\r\n");
}

// Numbers written and read by hand: the C library's formatting would add
// more to the program than all of its keeping.
std::string digits(unsigned value, int width) {
  std::string text(static_cast<std::size_t>(width), '0');
  for (auto at = text.rbegin(); at != text.rend(); ++at, value /= 10) *at = static_cast<char>('0' + value % 10);
  return text;
}

// A run's folder is named for its time (UTC), so that names sort as runs were made.
std::wstring runName(const SYSTEMTIME& t) {
  return wideText(digits(t.wYear, 4) + digits(t.wMonth, 2) + digits(t.wDay, 2) + "-" + digits(t.wHour, 2) +
                  digits(t.wMinute, 2) + digits(t.wSecond, 2) + "-" + digits(t.wMilliseconds, 3));
}

bool runTime(const std::wstring& name, ULONGLONG& when) {
  if (name.size() != 19 || name[8] != L'-' || name[15] != L'-') return false;
  bool valid = true;
  const auto number = [&](std::size_t at, std::size_t width) {
    WORD value = 0;
    for (std::size_t i = at; i < at + width; ++i) {
      valid = valid && name[i] >= L'0' && name[i] <= L'9';
      value = static_cast<WORD>(value * 10 + (name[i] - L'0'));
    }
    return value;
  };
  const SYSTEMTIME t{number(0, 4),  number(4, 2), 0, number(6, 2), number(9, 2), number(11, 2),
                     number(13, 2), number(16, 3)};
  FILETIME f;
  if (!valid || !SystemTimeToFileTime(&t, &f)) return false;
  when = (ULONGLONG(f.dwHighDateTime) << 32) | f.dwLowDateTime;
  return true;
}

// The run folders of this kind, newest first.
std::vector<std::wstring> runs(const std::wstring& removed) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((removed + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  ULONGLONG ignored;
  do
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && runTime(found.cFileName, ignored))
      names.push_back(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.rbegin(), names.rend());
  return names;
}

// Deletes a run's folder and what is in it, each through its own checked handle.
void dropRun(const std::wstring& run) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((run + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      HeldPath held;
      Handle file;
      if (!held.holdFolders(run + L"\\" + found.cFileName) &&
          !held.openEntry(DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING, file.h))
        deleteThrough(file.h);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  HeldPath held;
  Handle folder;
  if (!held.holdFolders(run) &&
      !held.openFolder(DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, folder.h))
    deleteThrough(folder.h);
}

// This run's folder, made with its list at the first need.
DWORD runFolder(std::wstring& run) {
  Place& p = place();
  std::wstring removed;
  if (DWORD error = removedFolder(removed)) return error;
  if (p.run.empty()) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    for (int attempt = 0; attempt < 100 && p.run.empty(); ++attempt, ++now.wMilliseconds) {
      const std::wstring name = removed + L"\\" + runName(now);
      if (!makeFolder(name, false) && !appendLine(name, kept::listHead(p.installFolder), CREATE_NEW)) p.run = name;
    }
    if (p.run.empty()) return ERROR_CANNOT_MAKE;
  }
  run = p.run;
  return ERROR_SUCCESS;
}

// Only the unnamed stream and the download mark: a named stream would be lost by the copy.
DWORD onlyPlainStreams(HANDLE file) {
  std::vector<char> buffer(64 * 1024);
  if (!GetFileInformationByHandleEx(file, FileStreamInfo, buffer.data(), static_cast<DWORD>(buffer.size()))) {
    const DWORD error = GetLastError();
    // File systems without streams cannot tell of any; nothing else is vouched for.
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
                   error == ERROR_HANDLE_EOF
               ? ERROR_SUCCESS
               : error;
  }
  for (std::size_t at = 0;;) {
    const auto* stream = reinterpret_cast<const FILE_STREAM_INFO*>(buffer.data() + at);
    const std::wstring name(stream->StreamName, stream->StreamNameLength / sizeof(wchar_t));
    if (!sameName(name, L"::$DATA") && !sameName(name, L":Zone.Identifier:$DATA")) return kRefused;
    if (!stream->NextEntryOffset) return ERROR_SUCCESS;
    at += stream->NextEntryOffset;
  }
}

DWORD copyContent(HANDLE from, HANDLE to, ULONGLONG expected) {
  std::vector<char> buffer(256 * 1024);
  ULONGLONG total = 0;
  for (DWORD got = 0;; total += got) {
    if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return GetLastError();
    if (!got) break;
    DWORD written = 0;
    if (!WriteFile(to, buffer.data(), got, &written, nullptr)) return GetLastError();
    if (written != got) return ERROR_WRITE_FAULT;
  }
  LARGE_INTEGER size{};
  if (!FlushFileBuffers(to) || !GetFileSizeEx(to, &size)) return GetLastError();
  return total == expected && ULONGLONG(size.QuadPart) == expected ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

std::string localTimeText() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return digits(t.wYear, 4) + "-" + digits(t.wMonth, 2) + "-" + digits(t.wDay, 2) + " " + digits(t.wHour, 2) + ":" +
         digits(t.wMinute, 2) + ":" + digits(t.wSecond, 2);
}

// Reads a run's list through its checked handle.
bool readList(const std::wstring& run, std::string& installFolder, std::vector<kept::Line>& lines) {
  HeldPath held;
  Handle list;
  if (held.holdFolders(run + L"\\" + kList) || held.openEntry(GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, list.h))
    return false;
  std::string text;
  char buffer[16 * 1024];
  for (DWORD got = 0; ReadFile(list.h, buffer, sizeof buffer, &got, nullptr) && got;) text.append(buffer, got);
  bool head = true;
  for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    const std::string_view line(text.data() + at, end - at);
    kept::Line entry;
    if (head && !kept::parseHead(line, installFolder)) return false;
    if (!head && kept::parse(line, entry)) lines.push_back(entry);
    head = false;
  }
  return !head;
}

bool stillKept(const std::wstring& run, const std::string& name) {
  const DWORD attributes = GetFileAttributesW((run + L"\\" + wideText(name)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Giving a file another account's owner takes the restore privilege, which
// an administrator's token holds but leaves off: on for that call only, as
// it also opens any file for writing. (Its number is the same on every system.)
void setOwner(HANDLE made, PSECURITY_DESCRIPTOR sd) {
  constexpr DWORD kRestorePrivilege = 18;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) token = nullptr;
  TOKEN_PRIVILEGES on{1, {{{kRestorePrivilege, 0}, SE_PRIVILEGE_ENABLED}}}, before{};
  DWORD size = 0;
  const bool raised = token && AdjustTokenPrivileges(token, FALSE, &on, sizeof before, &before, &size);
  Handle forOwner;
  forOwner.h =
      ReOpenFile(made, WRITE_OWNER, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_FLAG_BACKUP_SEMANTICS);
  if (forOwner.h != INVALID_HANDLE_VALUE) SetKernelObjectSecurity(forOwner.h, OWNER_SECURITY_INFORMATION, sd);
  if (raised) AdjustTokenPrivileges(token, FALSE, &before, 0, nullptr, nullptr);
  if (token) CloseHandle(token);
}

// The recorded owner (where this account may set it) and access list, on
// the file just made; false when the access list cannot be set. Set through
// the handle, as read: no library is loaded in the native view.
bool applySecurity(HANDLE made, const std::string& sddl) {
  Local sd;
  if (sddl.empty()) return true;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(wideText(sddl).c_str(), SDDL_REVISION_1, &sd.p, nullptr))
    return false;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  if (GetSecurityDescriptorOwner(sd.p, &owner, &defaulted) && owner) setOwner(made, sd.p);
  return !GetSecurityDescriptorDacl(sd.p, &present, &dacl, &defaulted) || !present ||
         SetKernelObjectSecurity(made, DACL_SECURITY_INFORMATION, sd.p);
}

}  // namespace

bool keepsForAdministrators() { return elevatedRun(); }

void prepareKeeping() {
  std::wstring removed;
  removedFolder(removed);
}

void beginKeeping(const std::string& installFolder) {
  Place& p = place();
  std::wstring removed;
  p.installFolder = installFolder;
  if (removedFolder(removed)) return;
  FILETIME f;
  GetSystemTimeAsFileTime(&f);
  const ULONGLONG now = (ULONGLONG(f.dwHighDateTime) << 32) | f.dwLowDateTime;
  for (const auto& name : runs(removed))
    if (ULONGLONG when; runTime(name, when) && when + kKeptFor < now) dropRun(removed + L"\\" + name);
  std::wstring run;
  runFolder(run);
}

DWORD keepAndDelete(HANDLE entry, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(entry, &info)) return GetLastError();
  // Another name keeps the content: nothing to copy.
  if (info.nNumberOfLinks > 1) return deleteThrough(entry) ? ERROR_SUCCESS : GetLastError();
  // A placeholder whose content lies elsewhere would be fetched by the copy.
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_OFFLINE | 0x400000 /* recall on data access */ | 0x40000 /* on open */))
    return ERROR_FILE_OFFLINE;
  // A copy would lose the encryption: an encrypted file is not kept, so not deleted.
  if (info.dwFileAttributes & FILE_ATTRIBUTE_ENCRYPTED) return kRefused;
  const ULONGLONG size = (ULONGLONG(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  // The same file, checked: no path is parsed again, and no reparse point
  // set since is followed. Nobody may write to it while it is copied: one
  // that another program holds for writing is in use, as before.
  Handle source;
  source.h = ReOpenFile(entry, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                        FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_OPEN_NO_RECALL);
  if (source.h == INVALID_HANDLE_VALUE) return GetLastError();
  std::wstring run;
  DWORD error = onlyPlainStreams(source.h);
  if (error) return error;
  // A store that cannot be had is no file gone: refused, not "not found".
  if ((error = runFolder(run))) return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? kRefused : error;
  const std::string security = securityText(source.h);
  if (security.empty()) {
    DWORD flags = 0;
    // Where the volume keeps access lists, one that cannot be read cannot be put back.
    if (!GetVolumeInformationByHandleW(source.h, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
        (flags & FILE_PERSISTENT_ACLS))
      return kRefused;
  }
  ULARGE_INTEGER free{};
  if (!GetDiskFreeSpaceExW((run + L"\\").c_str(), &free, nullptr, nullptr)) return GetLastError();
  if (free.QuadPart < size + kSpareSpace) return ERROR_DISK_FULL;
  Place& p = place();
  Handle copy;
  std::string name;
  do {
    name = std::to_string(p.next++) + ".kept";
    HeldPath attempt;
    if (!(error = attempt.holdFolders(run + L"\\" + wideText(name))))
      error = attempt.openEntry(GENERIC_WRITE, 0, CREATE_NEW, copy.h);
  } while (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS);
  if (error) return error;
  const kept::Line line{name, localTimeText(), size, path, security};
  if (!(error = copyContent(source.h, copy.h, size)) && !(error = appendLine(run, kept::format(line), OPEN_EXISTING)) &&
      !deleteThrough(entry))
    error = GetLastError();
  // Nothing is kept that was not deleted.
  if (error) deleteThrough(copy.h);
  return error;
}

std::vector<platform::KeptFile> keptFiles(const std::string& installFolder, bool latestRun) {
  std::vector<platform::KeptFile> files;
  std::wstring removed;
  if (removedFolder(removed)) return files;
  const std::wstring wanted = withoutSlash(wideText(installFolder));
  for (const auto& name : runs(removed)) {
    const std::wstring run = removed + L"\\" + name;
    std::string folder;
    std::vector<kept::Line> lines;
    // The latest run's list unread is no reason to take an older run for it.
    if (!readList(run, folder, lines)) {
      if (latestRun) break;
      continue;
    }
    if (latestRun && !wanted.empty() && !sameName(withoutSlash(wideText(folder)), wanted.c_str())) continue;
    for (auto line = lines.rbegin(); line != lines.rend(); ++line)
      if (stillKept(run, line->kept))
        files.push_back({narrowText(name), line->kept, line->removed, line->path, line->security});
    if (latestRun) break;
  }
  return files;
}

DWORD restoreKept(const platform::KeptFile& file) {
  std::wstring removed;
  if (DWORD error = removedFolder(removed)) return error;
  const std::wstring target = wideText(file.path);  // to check its name; held by the program's own form
  const std::wstring name = target.substr(target.rfind(L'\\') + 1);
  // Only the program's own names: a list another hand wrote cannot make it write anything else.
  if (target.find(L'\\') == std::wstring::npos ||
      (!sameName(name, L"corvane.ini") && !sameName(name, L"corvane.mdb")) ||
      file.run.find_first_of("\\/.") != std::string::npos || file.kept.find_first_of("\\/") != std::string::npos)
    return kRefused;
  HeldPath keptHeld;
  Handle copy;
  DWORD error = keptHeld.holdFolders(removed + L"\\" + wideText(file.run) + L"\\" + wideText(file.kept));
  if (!error) error = keptHeld.openEntry(GENERIC_READ | DELETE, FILE_SHARE_READ, OPEN_EXISTING, copy.h);
  if (error) return error;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(copy.h, &info) || info.nNumberOfLinks > 1) return kRefused;
  HeldPath held;
  Handle made;
  // A folder on the way that is gone is no file gone.
  if ((error = held.holdFolders(file.path))) return error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error;
  if ((error = held.openEntry(GENERIC_WRITE | WRITE_DAC, 0, CREATE_NEW, made.h))) return error;
  if ((error = copyContent(copy.h, made.h, (ULONGLONG(info.nFileSizeHigh) << 32) | info.nFileSizeLow))) {
    deleteThrough(made.h);
    return error;
  }
  // Back without its access list is not back: the new file goes, the copy stays kept.
  if (!applySecurity(made.h, file.security)) {
    error = GetLastError();
    deleteThrough(made.h);
    return error ? error : kRefused;
  }
  CloseHandle(made.h);
  made.h = INVALID_HANDLE_VALUE;
  // Back in its place: no longer kept.
  deleteThrough(copy.h);
  return ERROR_SUCCESS;
}

bool guardRedirection(platform::Libraries& libraries) {
  using SetPolicy = BOOL(WINAPI*)(int policy, void* buffer, SIZE_T size);
  const auto set = reinterpret_cast<SetPolicy>(
      libraries.GetProcAddress(libraries.GetModuleHandleA("kernel32"), "SetProcessMitigationPolicy"));
  // ProcessRedirectionTrustPolicy (16), EnforceRedirectionTrust (the first flag); older systems refuse the number.
  DWORD flags = 1;
  return set && set(16, &flags, sizeof flags);
}

}  // namespace win32

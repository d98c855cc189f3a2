#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/win32/held_path.h"
#include "platform/win32/keep.h"
#include "platform/win32/native_view.h"
#include "platform/win32/services.h"
#include "runtime/error.h"
#include "runtime/wtf8.h"

namespace win32 {
namespace {

// A found name must address its own entry when the search appends it to a
// path: path parsing splits at slashes and drops trailing dots and blanks, so
// such a name would stand for a sibling or a folder elsewhere. Those
// characters become "?" instead, which names nothing: the entry then cannot
// be examined. Every other name comes as the file system holds it, in the
// program's WTF-8, converted once here and never again per comparison.
// The name is mended in the record itself: no copy for each entry.
void copyFound(WIN32_FIND_DATAW& found, platform::FindData& data) {
  data.dwFileAttributes = found.dwFileAttributes;
  data.dwReserved0 = found.dwReserved0;
  const std::wstring_view name = found.cFileName;
  if (name != L"." && name != L"..") {
    wchar_t* const chars = found.cFileName;
    for (std::size_t i = 0; i < name.size(); ++i)
      if (chars[i] == L'\\' || chars[i] == L'/') chars[i] = L'?';
    for (auto i = name.size(); i > 0 && (chars[i - 1] == L'.' || chars[i - 1] == L' '); --i) chars[i - 1] = L'?';
  }
  static std::string text;  // keeps its room from entry to entry
  text.clear();
  rt::appendWtf8(name, text);
  // The field holds the longest name the system gives (MAX_PATH units, 3 bytes each at most).
  std::memcpy(data.cFileName, text.c_str(), std::min(text.size() + 1, sizeof data.cFileName));
  data.cFileName[sizeof data.cFileName - 1] = '\0';
}

HANDLE handleOf(platform::SearchHandle search) { return reinterpret_cast<HANDLE>(search); }

}  // namespace

// The wide functions, so that the names come back as they are.
platform::SearchHandle FileSystem::FindFirstFileA(const std::string& pattern, platform::FindData& data) {
  std::wstring wide;
  if (!widePath(pattern, wide)) return platform::kInvalidSearchHandle;
  WIN32_FIND_DATAW found;
  const NativeFileView native;
  // No one reads the short name, and large fetches take a folder in fewer
  // calls; systems before Windows 7 know neither, and some servers and
  // drivers refuse them as not supported: those get the plain call.
  HANDLE search = ::FindFirstFileExW(wide.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE &&
      (GetLastError() == ERROR_INVALID_PARAMETER || GetLastError() == ERROR_NOT_SUPPORTED))
    search = ::FindFirstFileW(wide.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return platform::kInvalidSearchHandle;
  copyFound(found, data);
  return reinterpret_cast<platform::SearchHandle>(search);
}

bool FileSystem::FindNextFileA(platform::SearchHandle search, platform::FindData& data) {
  WIN32_FIND_DATAW found;
  if (!::FindNextFileW(handleOf(search), &found)) return false;
  copyFound(found, data);
  return true;
}

bool FileSystem::FindClose(platform::SearchHandle search) { return ::FindClose(handleOf(search)) != FALSE; }

uint32_t FileSystem::GetFileAttributesA(const std::string& path) {
  std::wstring wide;
  if (!widePath(path, wide)) return platform::kInvalidAttributes;
  const NativeFileView native;
  return ::GetFileAttributesW(wide.c_str());
}

void FileSystem::Kill(const std::string& path, const std::string& spared) {
  // A spared folder too long to name spares everything: nothing is deleted.
  std::wstring sparedWide;
  const bool sparedNamed = spared.empty() || widePath(spared, sparedWide);
  prepareKeeping();
  const NativeFileView native;
  // The folders are held until the file is gone, and the file goes through
  // its own handle: what was checked is what is deleted.
  HeldPath held;
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD error = held.holdFolders(path);
  if (!error) error = held.openEntry(DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING, file);
  if (!error) {
    if (!sparedNamed || (!sparedWide.empty() && liesInside(held.where(file), sparedWide)))
      error = kRefused;
    else
      error = keepAndDelete(file, path);
    CloseHandle(file);
  }
  raiseFor(error);
}

void FileSystem::BeginKeeping(const std::string& installFolder) {
  beginKeeping(installFolder);
}

std::vector<platform::KeptFile> FileSystem::KeptFiles(const std::string& installFolder, bool latestRun) {
  return keptFiles(installFolder, latestRun);
}

void FileSystem::Restore(const platform::KeptFile& file) {
  prepareKeeping();
  const NativeFileView native;
  const DWORD error = restoreKept(file);
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) rt::raise(rt::errFileAlreadyExists);
  if (error == ERROR_PATH_NOT_FOUND) rt::raise(rt::errPathNotFound);
  raiseFor(error);
}

bool FileSystem::KeepsForAdministrators() { return keepsForAdministrators(); }

void FileSystem::raiseFor(unsigned long error) {
  switch (error) {
    case ERROR_SUCCESS:
      return;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      rt::raise(rt::errFileNotFound);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      rt::raise(rt::errPermissionDenied);
    default:
      rt::raise(rt::errPathFileAccess);
  }
}

void FileSystem::MkDir(const std::string& path) {
  const NativeFileView native;
  HeldPath held;
  DWORD error = held.holdFolders(path);
  if (!error) error = held.makeFolder();
  if (error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND) rt::raise(rt::errPathNotFound);
  if (error) rt::raise(rt::errPathFileAccess);
}

}  // namespace win32

#include "platform/win32/held_path.h"

#include <cstring>

#include "platform/win32/rights.h"
#include "runtime/wtf8.h"

namespace win32 {
namespace {

// Junctions, mount points and symbolic links stand for another name; other
// reparse points (a deduplicated or cloud file) are the file itself. Not every
// file system answers for the tag: FAT32 and exFAT call the query an invalid
// parameter, some servers and third-party drivers say it is not supported or
// an invalid function. There the basic information of the same handle has the
// attributes, and any reparse point counts as a link, as its kind cannot be
// told. Where that fails too, the entry counts as a link.
bool isLink(HANDLE handle, bool& folder) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info)) {
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) return true;
    folder = (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  }
  folder = (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(info.ReparseTag);
}

std::wstring withoutTrailingSlash(std::wstring path) {
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// The root's length: "X:\" or "\\server\share\", also after the long form's
// "\\?\" or "\\?\UNC\" (each folder's path then keeps that prefix); 0 for any other form.
std::size_t rootLength(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    const std::size_t root = rootLength(L"\\\\" + path.substr(8));
    return root ? root + 6 : 0;
  }
  if (path.rfind(L"\\\\?\\", 0) == 0) {
    const std::wstring rest = path.substr(4);
    return rest.size() >= 3 && rest[1] == L':' && rest[2] == L'\\' ? 7 : 0;
  }
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return 3;
  if (path.rfind(L"\\\\", 0) != 0 || path.rfind(L"\\\\.\\", 0) == 0) return 0;
  const auto share = path.find(L'\\', 2);
  const auto end = share == std::wstring::npos ? share : path.find(L'\\', share + 1);
  return end == std::wstring::npos || share == 2 || end == share + 1 ? 0 : end + 1;
}

// The handle's path within its volume ("\\Folder\\File"); empty when unknown.
std::wstring nameInVolume(HANDLE handle) {
  std::vector<char> buffer(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
  if (!GetFileInformationByHandleEx(handle, FileNameInfo, info, static_cast<DWORD>(buffer.size()))) return {};
  return std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
}

}  // namespace

UINT fileCodePage() { return AreFileApisANSI() ? GetACP() : GetOEMCP(); }

bool widePath(const std::string& path, std::wstring& wide) {
  wide.clear();
  rt::appendUnits(std::string_view(path.c_str()), wide);
  // Folders are made only 12 characters short of the limit.
  if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) return true;
  // Deeper, only the long form reaches, whatever the system's own limit. It
  // skips the system's clean-up of the path ("." and "..", "/", trailing dots
  // and blanks, device names), which only a path that has nothing to clean
  // can do without: a path the search built from found names always. The
  // clean-up itself takes MAX_PATH characters at most.
  const std::size_t root = rootLength(wide);
  bool plain = root != 0 && wide.find(L'/') == std::wstring::npos;
  for (std::size_t at = root; plain && at < wide.size();) {
    const std::size_t end = std::min(wide.find(L'\\', at), wide.size());
    const std::wstring_view name(wide.data() + at, end - at);
    plain = !name.empty() ? name.back() != L'.' && name.back() != L' ' : end == wide.size();
    at = end + 1;
  }
  if (plain) {
    wide = wide.rfind(L"\\\\", 0) == 0 ? L"\\\\?\\UNC\\" + wide.substr(2) : L"\\\\?\\" + wide;
    return true;
  }
  if (wide.size() < MAX_PATH) {
    std::wstring full(MAX_PATH + 1, L'\0');
    const DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n && n < full.size()) {
      full.resize(n);
      wide = full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0 ? full
             : full.rfind(L"\\\\", 0) == 0                           ? L"\\\\?\\UNC\\" + full.substr(2)
                                                                     : L"\\\\?\\" + full;
      return true;
    }
  }
  SetLastError(ERROR_FILENAME_EXCED_RANGE);
  return false;
}

std::string narrowText(std::wstring_view wide) {
  std::string text;
  rt::appendWtf8(wide, text);
  return text;
}

std::wstring wideText(std::string_view text) {
  std::wstring wide;
  rt::appendUnits(text, wide);
  return wide;
}

std::wstring finalPath(HANDLE handle) {
  std::wstring path(MAX_PATH + 1, L'\0');
  DWORD n = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
  if (n >= path.size()) {
    path.resize(n + 1);
    n = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
  }
  path.resize(n < path.size() ? n : 0);
  return path;
}

bool samePath(const std::wstring& a, const std::wstring& b) {
  return !a.empty() && CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                            TRUE) == CSTR_EQUAL;
}

bool liesInside(const std::wstring& path, const std::wstring& folder) {
  // The folder as Setup names it, links and all: where it really is counts.
  const HANDLE handle = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  // A folder that is not there spares nothing; one that is there but cannot
  // be opened, or whose real place (or the file's) cannot be told, might
  // hold the file: the file then counts as inside.
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
  }
  const std::wstring inside = withoutTrailingSlash(finalPath(handle)) + L"\\";
  CloseHandle(handle);
  return inside.size() == 1 || path.empty() ||
         (path.size() > inside.size() && samePath(path.substr(0, inside.size()), inside));
}

bool deleteThrough(HANDLE entry) {
  FILE_DISPOSITION_INFO dispose{TRUE};
  return SetFileInformationByHandle(entry, FileDispositionInfo, &dispose, sizeof dispose) != FALSE;
}

bool hasOtherNames(HANDLE entry) {
  BY_HANDLE_FILE_INFORMATION info{};
  return !GetFileInformationByHandle(entry, &info) || info.nNumberOfLinks > 1;
}

// Wine gives no final path longer than MAX_PATH; the name within the volume
// it gives, and on the held root's volume that names the place as well.
std::wstring HeldPath::where(HANDLE handle) const {
  std::wstring path = finalPath(handle);
  if (path.empty() && !volume_.empty()) {
    const std::wstring name = nameInVolume(handle);
    if (!name.empty()) path = volume_ + name;
  }
  return path;
}

HeldPath::~HeldPath() {
  for (const HANDLE folder : folders_) CloseHandle(folder);
}

DWORD HeldPath::holdFolders(const std::string& path8, bool trustedOwners) {
  std::wstring wide;
  if (!widePath(path8, wide)) return GetLastError();
  return holdFolders(std::move(wide), trustedOwners);
}

DWORD HeldPath::holdFolders(std::wstring wide, bool trustedOwners) {
  trustedOwners_ = trustedOwners;
  path_ = std::move(wide);
  const std::wstring& path = path_;
  const std::size_t root = rootLength(path);
  if (!root || path.size() == root) return ERROR_INVALID_NAME;
  // The root stays as it is (a mapped or substituted drive leads elsewhere
  // by design): what is below it must be where the root's real place says.
  const HANDLE top = CreateFileW(path.substr(0, root).c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (top == INVALID_HANDLE_VALUE) return GetLastError();
  folders_.push_back(top);
  expected_ = withoutTrailingSlash(finalPath(top));
  if (expected_.empty()) return kRefused;
  // What stands before a name within the volume ("\\?\X:" for "\"), for where() past MAX_PATH.
  const std::wstring topName = nameInVolume(top);
  volume_ = expected_ + L"\\";
  volume_.resize(topName.size() <= volume_.size() ? volume_.size() - topName.size() : 0);
  for (std::size_t at = root, slash; (slash = path.find(L'\\', at)) != std::wstring::npos; at = slash + 1) {
    if (slash == at) return ERROR_INVALID_NAME;
    // Held for listing and without delete sharing, no one can rename, move or
    // replace the folder meanwhile: Windows records share modes only for opens
    // that ask to read, write or delete (Wine not even then, hence the checks).
    const bool innermost = trustedOwners_ && path.find(L'\\', slash + 1) == std::wstring::npos;
    const HANDLE folder = CreateFileW(path.substr(0, slash).c_str(),
                                      FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | (innermost ? READ_CONTROL : 0),
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return GetLastError();
    folders_.push_back(folder);
    expected_ += L"\\" + path.substr(at, slash - at);
    bool isFolder = false;
    if (isLink(folder, isFolder) || !isFolder || !samePath(where(folder), expected_) ||
        (innermost && !ownedByTrusted(folder)))
      return kRefused;
  }
  return ERROR_SUCCESS;
}

bool HeldPath::checked(HANDLE entry, bool folder) const {
  bool isFolder = false;
  const std::wstring name = path_.substr(path_.rfind(L'\\') + 1);
  return !isLink(entry, isFolder) && isFolder == folder && samePath(where(entry), expected_ + L"\\" + name) &&
         (!trustedOwners_ || ownedByTrusted(entry));
}

DWORD HeldPath::makeFolder() {
  if (!CreateDirectoryW(path_.c_str(), nullptr)) return GetLastError();
  // Made empty in a held folder, it may still have become a mount point: one
  // the check refuses goes again through its own handle.
  const HANDLE folder =
      CreateFileW(path_.c_str(), FILE_READ_ATTRIBUTES | DELETE | (trustedOwners_ ? READ_CONTROL : 0),
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return GetLastError();
  const bool ok = checked(folder, true);
  if (!ok) deleteThrough(folder);
  CloseHandle(folder);
  return ok ? ERROR_SUCCESS : kRefused;
}

DWORD HeldPath::openEntry(DWORD access, DWORD share, DWORD disposition, HANDLE& entry) {
  // A held folder that is empty may still become a mount point on Windows
  // (that takes only attribute access, which no share mode stops): a file
  // made here is checked like any other, and one refused goes again at once
  // through its own handle, so that nothing stays where the link led.
  const bool making = disposition == CREATE_NEW;
  entry = CreateFileW(path_.c_str(),
                      access | FILE_READ_ATTRIBUTES | (making ? DELETE : 0) | (trustedOwners_ ? READ_CONTROL : 0), share,
                      nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (entry == INVALID_HANDLE_VALUE) return GetLastError();
  if (checked(entry, false)) return ERROR_SUCCESS;
  if (making) deleteThrough(entry);
  CloseHandle(entry);
  entry = INVALID_HANDLE_VALUE;
  return kRefused;
}

DWORD HeldPath::openFolder(DWORD access, DWORD share, HANDLE& entry) {
  entry = CreateFileW(path_.c_str(), access | FILE_READ_ATTRIBUTES | (trustedOwners_ ? READ_CONTROL : 0), share,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (entry == INVALID_HANDLE_VALUE) return GetLastError();
  if (checked(entry, true)) return ERROR_SUCCESS;
  CloseHandle(entry);
  entry = INVALID_HANDLE_VALUE;
  return kRefused;
}

}  // namespace win32

#include "platform/win32/held_path.h"

#include <cstring>

#include "platform/win32/rights.h"

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

// The root's length: "X:\" or "\\server\share\"; 0 for any other form.
std::size_t rootLength(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return 3;
  if (path.rfind(L"\\\\", 0) != 0 || path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) return 0;
  const auto share = path.find(L'\\', 2);
  const auto end = share == std::wstring::npos ? share : path.find(L'\\', share + 1);
  return end == std::wstring::npos || share == 2 || end == share + 1 ? 0 : end + 1;
}

}  // namespace

UINT fileCodePage() { return AreFileApisANSI() ? GetACP() : GetOEMCP(); }

bool widePath(const std::string& path, std::wstring& wide) {
  const UINT codePage = fileCodePage();
  const int length = static_cast<int>(std::strlen(path.c_str()));
  const int n = length ? MultiByteToWideChar(codePage, 0, path.c_str(), length, nullptr, 0) : 0;
  if (n > MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  wide.resize(static_cast<std::size_t>(n));
  if (n) MultiByteToWideChar(codePage, 0, path.c_str(), length, wide.data(), n);
  return true;
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

bool liesInside(HANDLE entry, const std::wstring& folder) {
  // The folder as Setup names it, links and all: where it really is counts.
  const HANDLE handle = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  // A folder that is not there spares nothing; one that is there but cannot
  // be opened, or whose real place cannot be told, might hold the file: the
  // file then counts as inside.
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
  }
  const std::wstring inside = withoutTrailingSlash(finalPath(handle)) + L"\\";
  CloseHandle(handle);
  const std::wstring path = finalPath(entry);
  return inside.size() == 1 || (path.size() > inside.size() && samePath(path.substr(0, inside.size()), inside));
}

bool deleteThrough(HANDLE entry) {
  FILE_DISPOSITION_INFO dispose{TRUE};
  return SetFileInformationByHandle(entry, FileDispositionInfo, &dispose, sizeof dispose) != FALSE;
}

bool hasOtherNames(HANDLE entry) {
  BY_HANDLE_FILE_INFORMATION info{};
  return !GetFileInformationByHandle(entry, &info) || info.nNumberOfLinks > 1;
}

HeldPath::~HeldPath() {
  for (const HANDLE folder : folders_) CloseHandle(folder);
}

DWORD HeldPath::holdFolders(const std::string& ansiPath, bool trustedOwners) {
  std::wstring wide;
  if (!widePath(ansiPath, wide)) return GetLastError();
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
    if (isLink(folder, isFolder) || !isFolder || !samePath(finalPath(folder), expected_) ||
        (innermost && !ownedByTrusted(folder)))
      return kRefused;
  }
  return ERROR_SUCCESS;
}

bool HeldPath::checked(HANDLE entry, bool folder) const {
  bool isFolder = false;
  const std::wstring name = path_.substr(path_.rfind(L'\\') + 1);
  return !isLink(entry, isFolder) && isFolder == folder && samePath(finalPath(entry), expected_ + L"\\" + name) &&
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
  entry = CreateFileW(path_.c_str(), access | FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (entry == INVALID_HANDLE_VALUE) return GetLastError();
  bool isFolder = false;
  const std::wstring name = path_.substr(path_.rfind(L'\\') + 1);
  if (!isLink(entry, isFolder) && isFolder && samePath(finalPath(entry), expected_ + L"\\" + name)) return ERROR_SUCCESS;
  CloseHandle(entry);
  entry = INVALID_HANDLE_VALUE;
  return kRefused;
}

}  // namespace win32

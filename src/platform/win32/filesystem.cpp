#include <windows.h>

#include <cstring>

#include "platform/win32/services.h"
#include "runtime/error.h"

namespace win32 {
namespace {

void copyFound(const WIN32_FIND_DATAA& found, platform::FindData& data) {
  static_assert(sizeof found.cFileName == sizeof data.cFileName);
  data.dwFileAttributes = found.dwFileAttributes;
  std::memcpy(data.cFileName, found.cFileName, sizeof data.cFileName);
}

HANDLE handleOf(platform::SearchHandle search) { return reinterpret_cast<HANDLE>(search); }

}  // namespace

platform::SearchHandle FileSystem::FindFirstFileA(const std::string& pattern, platform::FindData& data) {
  WIN32_FIND_DATAA found;
  const HANDLE search = ::FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return platform::kInvalidSearchHandle;
  copyFound(found, data);
  return reinterpret_cast<platform::SearchHandle>(search);
}

bool FileSystem::FindNextFileA(platform::SearchHandle search, platform::FindData& data) {
  WIN32_FIND_DATAA found;
  if (!::FindNextFileA(handleOf(search), &found)) return false;
  copyFound(found, data);
  return true;
}

bool FileSystem::FindClose(platform::SearchHandle search) { return ::FindClose(handleOf(search)) != FALSE; }

uint32_t FileSystem::GetFileAttributesA(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

void FileSystem::Kill(const std::string& path) {
  if (::DeleteFileA(path.c_str())) return;
  switch (GetLastError()) {
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

}  // namespace win32

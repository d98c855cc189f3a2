#include <windows.h>
// shlobj.h needs windows.h before it.
#include <shlobj.h>

#include "platform/win32/com.h"
#include "platform/win32/loader.h"
#include "platform/win32/services.h"

namespace win32 {
namespace {

using FolderPathQuery = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

LPITEMIDLIST itemOf(platform::ItemIdList pidl) { return reinterpret_cast<LPITEMIDLIST>(pidl); }

}  // namespace

SpecialFolders::~SpecialFolders() {
  if (shfolder_) ::FreeLibrary(static_cast<HMODULE>(shfolder_));
}

platform::HResult SpecialFolders::SHGetFolderPathA(intptr_t owner, int32_t folder, intptr_t token, uint32_t flags,
                                                   char* path) {
  // Bound here rather than linked, so that a system without "shfolder" never
  // loads it; a failed binding is tried again at the next call.
  if (!folderPath_) {
    const HMODULE library = loadSystemLibrary("shfolder");
    if (!library) return HRESULT_FROM_WIN32(GetLastError());
    const FARPROC query = ::GetProcAddress(library, "SHGetFolderPathA");
    if (!query) {
      const HRESULT missing = HRESULT_FROM_WIN32(GetLastError());
      ::FreeLibrary(library);
      return missing;
    }
    shfolder_ = library;
    folderPath_ = reinterpret_cast<void (*)()>(query);
  }
  const auto query = reinterpret_cast<FolderPathQuery>(folderPath_);
  return query(reinterpret_cast<HWND>(owner), folder, reinterpret_cast<HANDLE>(token), flags, path);
}

platform::HResult SpecialFolders::SHGetSpecialFolderLocation(intptr_t owner, int32_t folder,
                                                             platform::ItemIdList& pidl) {
  LPITEMIDLIST item = nullptr;
  const HRESULT result = ::SHGetSpecialFolderLocation(reinterpret_cast<HWND>(owner), folder, &item);
  pidl = reinterpret_cast<platform::ItemIdList>(item);
  return result;
}

bool SpecialFolders::SHGetPathFromIDListA(platform::ItemIdList pidl, char* path) {
  return ::SHGetPathFromIDListA(itemOf(pidl), path) != FALSE;
}

void SpecialFolders::CoTaskMemFree(platform::ItemIdList pidl) { com::CoTaskMemFree(itemOf(pidl)); }

uint32_t SpecialFolders::GetSystemDirectoryA(char* buffer, uint32_t size) {
  return ::GetSystemDirectoryA(buffer, size);
}

uint32_t SpecialFolders::GetTempPathA(uint32_t size, char* buffer) { return ::GetTempPathA(size, buffer); }

uint32_t SpecialFolders::GetWindowsDirectoryA(char* buffer, uint32_t size) {
  return ::GetWindowsDirectoryA(buffer, size);
}

}  // namespace win32

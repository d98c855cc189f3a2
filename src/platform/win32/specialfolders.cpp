#include <windows.h>
// shlobj.h needs windows.h before it.
#include <shlobj.h>

#include <cstring>
#include <string>

#include "platform/win32/com.h"
#include "platform/win32/held_path.h"
#include "platform/win32/loader.h"
#include "platform/win32/services.h"

namespace win32 {
namespace {

using FolderPathQuery = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);

LPITEMIDLIST itemOf(platform::ItemIdList pidl) { return reinterpret_cast<LPITEMIDLIST>(pidl); }

// The system's answer in the program's WTF-8, as the "A" functions answer:
// the length without its NUL, or the size needed (NUL included) and nothing
// written when `size` is too small; 0 when the system had none.
uint32_t answer(const wchar_t* wide, uint32_t length, char* buffer, uint32_t size) {
  if (!length) return 0;
  const std::string text = narrowText(std::wstring_view(wide, length));
  if (text.size() >= size) return static_cast<uint32_t>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<uint32_t>(text.size());
}

// The W function's answer in a buffer of its own, then in the caller's.
template <class Call>
uint32_t directory(Call call, char* buffer, uint32_t size) {
  wchar_t wide[MAX_PATH + 1];
  const UINT length = call(wide, MAX_PATH + 1);
  return length > MAX_PATH ? length : answer(wide, length, buffer, size);
}

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
    const FARPROC query = ::GetProcAddress(library, "SHGetFolderPathW");
    if (!query) {
      const HRESULT missing = HRESULT_FROM_WIN32(GetLastError());
      ::FreeLibrary(library);
      return missing;
    }
    shfolder_ = library;
    folderPath_ = reinterpret_cast<void (*)()>(query);
  }
  const auto query = reinterpret_cast<FolderPathQuery>(folderPath_);
  wchar_t wide[MAX_PATH + 1] = {};
  const HRESULT result = query(reinterpret_cast<HWND>(owner), folder, reinterpret_cast<HANDLE>(token), flags, wide);
  if (result == S_OK && answer(wide, lstrlenW(wide), path, platform::kMaxPath) >= platform::kMaxPath) return E_FAIL;
  return result;
}

platform::HResult SpecialFolders::SHGetSpecialFolderLocation(intptr_t owner, int32_t folder,
                                                             platform::ItemIdList& pidl) {
  LPITEMIDLIST item = nullptr;
  const HRESULT result = ::SHGetSpecialFolderLocation(reinterpret_cast<HWND>(owner), folder, &item);
  pidl = reinterpret_cast<platform::ItemIdList>(item);
  return result;
}

bool SpecialFolders::SHGetPathFromIDListA(platform::ItemIdList pidl, char* path) {
  wchar_t wide[MAX_PATH + 1] = {};
  return ::SHGetPathFromIDListW(itemOf(pidl), wide) &&
         answer(wide, lstrlenW(wide), path, platform::kMaxPath) < platform::kMaxPath;
}

void SpecialFolders::CoTaskMemFree(platform::ItemIdList pidl) { com::CoTaskMemFree(itemOf(pidl)); }

uint32_t SpecialFolders::GetSystemDirectoryA(char* buffer, uint32_t size) {
  return directory([](wchar_t* wide, UINT n) { return ::GetSystemDirectoryW(wide, n); }, buffer, size);
}

uint32_t SpecialFolders::GetTempPathA(uint32_t size, char* buffer) {
  return directory([](wchar_t* wide, UINT n) { return ::GetTempPathW(n, wide); }, buffer, size);
}

uint32_t SpecialFolders::GetWindowsDirectoryA(char* buffer, uint32_t size) {
  return directory([](wchar_t* wide, UINT n) { return ::GetWindowsDirectoryW(wide, n); }, buffer, size);
}

}  // namespace win32

#include <windows.h>

#include <string>

#include "platform/win32/loader.h"
#include "platform/win32/services.h"

namespace win32 {
namespace {

constexpr DWORD kSearchSystem32 = 0x800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

HMODULE moduleOf(platform::ModuleHandle handle) { return reinterpret_cast<HMODULE>(handle); }
platform::ModuleHandle handleOf(HMODULE module) { return reinterpret_cast<platform::ModuleHandle>(module); }

}  // namespace

void restrictLibrarySearch() {
  // Bound by name: a Windows 7 without its loader update lacks it, and then
  // the current folder at least leaves the search, and every library the
  // program asks for goes by its full path.
  using SetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
  const auto set = reinterpret_cast<SetDefaultDllDirectories>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (!set || !set(kSearchSystem32)) SetDllDirectoryW(L"");
}

HMODULE loadSystemLibrary(const char* name) {
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (!length || length >= MAX_PATH) return nullptr;
  return ::LoadLibraryA((std::string(folder, length) + "\\" + name).c_str());
}

platform::ModuleHandle Libraries::GetModuleHandleA(const std::string& name) {
  return handleOf(::GetModuleHandleA(name.c_str()));
}

platform::ModuleHandle Libraries::LoadLibraryA(const std::string& name) {
  return handleOf(loadSystemLibrary(name.c_str()));
}

platform::ProcAddress Libraries::GetProcAddress(platform::ModuleHandle module, const std::string& procName) {
  return reinterpret_cast<platform::ProcAddress>(::GetProcAddress(moduleOf(module), procName.c_str()));
}

bool Libraries::FreeLibrary(platform::ModuleHandle module) { return ::FreeLibrary(moduleOf(module)) != FALSE; }

}  // namespace win32

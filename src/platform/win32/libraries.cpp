#include <windows.h>

#include "platform/win32/services.h"

namespace win32 {
namespace {

HMODULE moduleOf(platform::ModuleHandle handle) { return reinterpret_cast<HMODULE>(handle); }
platform::ModuleHandle handleOf(HMODULE module) { return reinterpret_cast<platform::ModuleHandle>(module); }

}  // namespace

platform::ModuleHandle Libraries::GetModuleHandleA(const std::string& name) {
  return handleOf(::GetModuleHandleA(name.c_str()));
}

platform::ModuleHandle Libraries::LoadLibraryA(const std::string& name) {
  return handleOf(::LoadLibraryA(name.c_str()));
}

platform::ProcAddress Libraries::GetProcAddress(platform::ModuleHandle module, const std::string& procName) {
  return reinterpret_cast<platform::ProcAddress>(::GetProcAddress(moduleOf(module), procName.c_str()));
}

bool Libraries::FreeLibrary(platform::ModuleHandle module) { return ::FreeLibrary(moduleOf(module)) != FALSE; }

}  // namespace win32

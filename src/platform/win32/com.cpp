#include "platform/win32/com.h"

#include "platform/win32/loader.h"
#include "runtime/error.h"

namespace win32::com {

void* bind(const char* library, const char* name) {
  // A second LoadLibraryA of a loaded library only counts a reference; the
  // libraries stay until the process ends, as the bound addresses must.
  const HMODULE module = loadSystemLibrary(library);
  if (!module) rt::raise(rt::errDllNotLoaded);
  const FARPROC function = ::GetProcAddress(module, name);
  if (!function) rt::raise(rt::errDllEntryNotFound);
  return reinterpret_cast<void*>(function);
}

}  // namespace win32::com

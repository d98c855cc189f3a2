#include "platform/win32/native_view.h"

#include <windows.h>

namespace win32 {
namespace {

#ifndef _WIN64
using Disable = BOOL(WINAPI*)(PVOID*);
using Revert = BOOL(WINAPI*)(PVOID);

// Bound by name: a 32-bit system without WOW64 may lack the functions.
struct Redirection {
  Disable disable = nullptr;
  Revert revert = nullptr;
  Redirection() {
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return;
    const HMODULE kernel = GetModuleHandleA("kernel32");
    disable =
        reinterpret_cast<Disable>(reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
    revert = reinterpret_cast<Revert>(reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
    if (!disable || !revert) disable = nullptr;
  }
};

const Redirection& redirection() {
  static const Redirection once;
  return once;
}
#endif

}  // namespace

NativeFileView::NativeFileView() {
#ifndef _WIN64
  // The last error is the file function's to set; this must leave it alone.
  const DWORD error = GetLastError();
  if (const auto disable = redirection().disable) off_ = disable(&previous_) != FALSE;
  SetLastError(error);
#endif
}

NativeFileView::~NativeFileView() {
#ifndef _WIN64
  const DWORD error = GetLastError();
  if (off_) redirection().revert(previous_);
  SetLastError(error);
#endif
}

}  // namespace win32

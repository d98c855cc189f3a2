// corvane_probe.dll: a message hook the UI driver sets on the program's
// thread, so that the font and icon of a window can be read where their
// handles mean something. The driver posts the registered message to the control with its
// own process id; the hook answers in the driver's shared memory.
#include "e2e/probe.h"

#include <windows.h>

#include <string>

extern "C" __declspec(dllexport) LRESULT CALLBACK corvaneProbeHook(int code, WPARAM removed, LPARAM message) {
  static const UINT ask = RegisterWindowMessageA(e2e::kProbeMessage);
  const MSG* msg = reinterpret_cast<const MSG*>(message);
  if (code == HC_ACTION && removed == PM_REMOVE && msg->message == ask) {
    const std::string name = e2e::probeMappingName(static_cast<DWORD>(msg->lParam));
    if (HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name.c_str())) {
      if (auto* answer =
              static_cast<e2e::ProbeAnswer*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(e2e::ProbeAnswer)))) {
        const auto font = reinterpret_cast<HFONT>(SendMessageA(msg->hwnd, WM_GETFONT, 0, 0));
        answer->hasFont = font != nullptr;
        answer->read = font == nullptr || GetObjectA(font, sizeof answer->font, &answer->font) == sizeof answer->font;
        answer->classIcon = GetClassLongPtrA(msg->hwnd, GCLP_HICON) != 0;
        InterlockedExchange(&answer->done, 1);
        UnmapViewOfFile(answer);
      }
      CloseHandle(mapping);
    }
  }
  return CallNextHookEx(nullptr, code, removed, message);
}

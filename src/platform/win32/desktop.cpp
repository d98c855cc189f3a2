#include <windows.h>

#include "platform/win32/messages.h"
#include "platform/win32/services.h"

namespace win32 {
namespace {

constexpr int kHourglass = 11;
HCURSOR pointerCursor = nullptr;  // null: each window's own cursor

bool isOurWindow(HWND window) {
  char name[sizeof kFormClass + 1] = {};
  return window && GetClassNameA(window, name, sizeof name) > 0 && lstrcmpA(name, kFormClass) == 0;
}

}  // namespace

void dispatch(MSG& msg) {
  const HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (isOurWindow(root) && IsDialogMessageA(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

HCURSOR programCursor() { return pointerCursor; }

int Desktop::MsgBox(const std::string& prompt, int flags, const std::string& title) {
  // The box belongs to our active window; without one it still blocks the whole program.
  const HWND owner = GetActiveWindow();
  const UINT style = static_cast<UINT>(flags) | (owner ? 0u : static_cast<UINT>(MB_TASKMODAL));
  return MessageBoxA(owner, prompt.c_str(), title.c_str(), style);
}

void Desktop::DoEvents() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The loop that owns the program's end must still see it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    dispatch(msg);
  }
}

void Desktop::SetMousePointer(int pointer) {
  pointerCursor = pointer == kHourglass ? LoadCursorA(nullptr, IDC_WAIT) : nullptr;
  SetCursor(pointerCursor ? pointerCursor : LoadCursorA(nullptr, IDC_ARROW));
}

}  // namespace win32

#include <windows.h>

#include <iterator>

#include "platform/win32/held_path.h"
#include "platform/win32/messages.h"
#include "platform/win32/services.h"

namespace win32 {
namespace {

constexpr int kHourglass = 11;
HCURSOR pointerCursor = nullptr;  // null: each window's own cursor

// Inside a busy loop the queue is looked at once this many milliseconds have
// passed since the last look: often enough for painting and for the user, and
// a look per step would cost a round trip to the window system each time.
constexpr DWORD kBusyInterval = 25;
int busyLoops = 0;
DWORD lastLook = 0;  // the tick count wraps; differences stay right
void (*beforeLookWork)() = nullptr;

bool isOurWindow(HWND window) {
  wchar_t name[sizeof kFormClass / sizeof *kFormClass + 1] = {};
  return window && GetClassNameW(window, name, static_cast<int>(std::size(name))) > 0 &&
         lstrcmpW(name, kFormClass) == 0;
}

}  // namespace

void dispatch(MSG& msg) {
  const HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (isOurWindow(root) && IsDialogMessageW(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

HCURSOR programCursor() { return pointerCursor; }

bool inBusyLoop() { return busyLoops > 0; }
void setBeforeLook(void (*work)()) { beforeLookWork = work; }
void beforeLook() {
  if (beforeLookWork) beforeLookWork();
}

int Desktop::MsgBox(const std::string& prompt, int flags, const std::string& title) {
  // The box belongs to our active window; without one it still blocks the whole program.
  beforeLook();
  const HWND owner = GetActiveWindow();
  const UINT style = static_cast<UINT>(flags) | (owner ? 0u : static_cast<UINT>(MB_TASKMODAL));
  return MessageBoxW(owner, wideText(prompt).c_str(), wideText(title).c_str(), style);
}

void Desktop::DoEvents() {
  const DWORD now = GetTickCount();
  if (busyLoops > 0 && now - lastLook < kBusyInterval) return;
  lastLook = now;
  beforeLook();
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The loop that owns the program's end must still see it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    dispatch(msg);
  }
}

void Desktop::AnswerWaiting() {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void Desktop::EnterBusyLoop() { ++busyLoops; }
void Desktop::LeaveBusyLoop() {
  if (--busyLoops == 0) beforeLook();
}

void Desktop::SetMousePointer(int pointer) {
  pointerCursor = pointer == kHourglass ? LoadCursorA(nullptr, IDC_WAIT) : nullptr;
  SetCursor(pointerCursor ? pointerCursor : LoadCursorA(nullptr, IDC_ARROW));
}

}  // namespace win32

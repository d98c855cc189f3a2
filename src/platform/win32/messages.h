#pragma once
// Shared by the message loops of the desktop service and the window layer.
#include <windows.h>

namespace win32 {

// The window class of every window the program shows.
constexpr wchar_t kFormClass[] = L"CorvaneFileCleanupForm";

// Dispatches one message; keyboard navigation between the controls of our
// windows goes through the dialog manager.
void dispatch(MSG& msg);

// The program-wide pointer, null while it is the default one.
HCURSOR programCursor();

// Inside a busy loop (platform::BusyLoop) the window layer may hold work back
// that only shows once messages are handled, such as a label's new caption.
bool inBusyLoop();
// What must be done before the queue is looked at, a modal box is shown or
// the last busy loop ends: the window layer's held-back work.
void setBeforeLook(void (*work)());
void beforeLook();

}  // namespace win32

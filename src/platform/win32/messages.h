#pragma once
// Shared by the message loops of the desktop service and the window layer.
#include <windows.h>

namespace win32 {

// The window class of every window the program shows.
constexpr char kFormClass[] = "CorvaneFileCleanupForm";

// Dispatches one message; keyboard navigation between the controls of our
// windows goes through the dialog manager.
void dispatch(MSG& msg);

// The program-wide pointer, null while it is the default one.
HCURSOR programCursor();

}  // namespace win32

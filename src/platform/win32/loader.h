#pragma once
// Libraries come from the system folder only. The program is often started
// elevated from a folder anyone can write to (a download folder, the
// temporary folder Setup unpacks into), and the loader would otherwise look
// there first for a library it is asked for by name.
#include <windows.h>

namespace win32 {

// The program's first act: later loads, and what they bring in, search the
// system folder and nothing else.
void restrictLibrarySearch();
// A system library by its bare name, by its full path in the system folder.
HMODULE loadSystemLibrary(const char* name);

}  // namespace win32

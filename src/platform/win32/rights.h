#pragma once
// Who the program runs as, and whom it trusts to own what it writes into.
// Setup runs it with the administrators' rights, and any user may make a
// folder or a file in the all-users application-data folder before it does:
// such a run writes only where no ordinary user is the owner.
#include <windows.h>

namespace win32 {

// The run has the administrators' rights: their group is enabled in its
// token (an elevated administrator, or the system account).
bool elevatedRun();
// The owner of the handle's file or folder (opened with READ_CONTROL) is the
// administrators, the system account or the very account of this run; false
// when it cannot be read.
bool ownedByTrusted(HANDLE handle);

}  // namespace win32

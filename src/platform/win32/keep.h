#pragma once
// Keeping what the cleanup deletes, and putting it back. The program keeps
// copies in its own folder, made with a protected access list when the run
// has the administrators' rights, under names of its own, with a list per
// run; everything goes through held folders and checked handles, never a
// path a link could redirect.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace win32 {

// Whether the token has the administrators group enabled, or is the system account's.
bool keepsForAdministrators();
// Finds (makes) the folder of kept files before a deletion: the shell may
// load libraries, which must not happen with the system folder's
// redirection turned off.
void prepareKeeping();
// A cleanup run begins: old runs go, this run's folder and list are made.
void beginKeeping(const std::string& installFolder);
// Deletes the file behind `entry` (opened with DELETE access, checked) once a
// whole copy of it is kept; a file with other names is deleted uncopied, as
// no content goes with this name. ERROR_SUCCESS or the error that refused it.
DWORD keepAndDelete(HANDLE entry, const std::string& path);
std::vector<platform::KeptFile> keptFiles(const std::string& installFolder, bool latestRun);
// ERROR_SUCCESS, or what stopped the file going back (ERROR_FILE_EXISTS: a file is there now).
DWORD restoreKept(const platform::KeptFile& file);

// Where the system has it, turns on the redirection trust policy: the
// process then follows no junction an ordinary user made. True when the
// system took it.
bool guardRedirection(platform::Libraries& libraries);

}  // namespace win32

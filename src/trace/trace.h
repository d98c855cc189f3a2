#pragma once
#include <string>

namespace TRACE {

// Opens "corvanefilecleanup.log" in the write folder for appending and writes the opening line.
void begintrace();
// Appends one line to the open trace log (a CR or LF inside it becomes a
// blank); silent when none is open or the write fails.
void writetrace(std::string as_line);
// Writes the closing line and closes the trace log.
void endtrace();
// The folder the trace log is written to, ending in "\"; empty where no folder takes it.
std::string GetWritePath(bool VentrikaPath = false);

// Whether Path names a file: found in the program's folder (when bdir is
// set) or opened for reading. Never raises.
bool FileExists(const std::string& Path, bool bdir);

// TRACE has no module-level variables.
void DumpModuleVariables();

}  // namespace TRACE

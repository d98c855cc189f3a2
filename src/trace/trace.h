#pragma once
#include <string>

namespace TRACE {

// Opens "corvanefilecleanup.log" in the write folder for appending and writes the opening line.
void begintrace();
// Appends one line to the open trace log; silent when none is open or the write fails.
void writetrace(std::string as_line);
// Writes the closing line and closes the trace log.
void endtrace();
// The folder the trace log is written to, always ending in "\".
std::string GetWritePath(bool VentrikaPath = false);

// TRACE has no module-level variables.
void DumpModuleVariables();

}  // namespace TRACE

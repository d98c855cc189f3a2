#pragma once
// Unattended runs, for silent installs: nobody is there to answer a report,
// so none is shown. Each is written line by line where the run keeps its log
// and answered Ignore, and the first error's number becomes the exit code.
#include <cstdint>
#include <string>

namespace guard {

using LineWriter = void (*)(std::string line);

// From here on every report goes to `writeLine`; null starts afresh, attended.
void beginUnattended(LineWriter writeLine);
bool unattended();

// The line for an error that ends an unattended run without a report.
void unshownError(int32_t number, const std::string& description);

// What the program ends with: in an unattended run the number of the first
// error, otherwise, and when there was none, 0.
int32_t exitCode();

}  // namespace guard

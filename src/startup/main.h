#pragma once

namespace module1 {

// The entry procedure: opens the trace, reads the command line and shows the
// window of the chosen mode (runs it unseen when nobody watches).
void Main();

// module1 has no module-level variables.
void DumpModuleVariables();

}  // namespace module1

#pragma once
#include <string>

namespace cleanup {

// RESTORE,SILENT: puts back what the latest cleanup run kept and still keeps
// (the latest for `installFolder`, when one is given). Each file that cannot
// go back is a run-time error of its own, and the others still go.
void RestoreKept(const std::string& installFolder);

}  // namespace cleanup

#pragma once
// The program-wide variables. Main sets the two texts before any window
// exists; the trace module owns the file number.
#include <string>

#include "runtime/checked.h"

inline std::string gstr_skip;   // folder whose files are spared
inline std::string gstr_drive;  // start folder of the automatic search
inline rt::int16 gi_trace_num;  // open trace file, 0 while none

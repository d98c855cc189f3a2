#pragma once
// The report routine and the keeping of the current error while a report is made.
#include <cstdint>
#include <string>
#include <vector>

#include "guard/dump.h"

namespace modVBGuard {

// The current error's fields from the start of a report to its end (the line is not kept).
struct SavedError {
  std::string Description;
  int32_t HelpContext = 0;
  std::string HelpFile;
  int32_t Number = 0;
  std::string Source;
};
SavedError& GuardSavedError();

// Hands the current error, the four dumps and the program's particulars to a
// new report component and returns the user's answer (3 abort, 4 retry, 5 ignore).
int32_t GuardReportError(const std::string& moduleName, const std::string& procedureName);

// false: save the current error; true: write the saved fields back into it.
void GuardErrorState(bool restore);

// Dumps gstr_skip, gstr_drive and gi_trace_num into the globals slot.
void GuardDumpGlobals();

// The 14-entry label/value list a report describes the error with.
guard::VariableDump DescriptionList(const std::string& moduleName, const std::string& procedureName);

// Who to contact about a report.
std::vector<std::string> UserDataList();

}  // namespace modVBGuard

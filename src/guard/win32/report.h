#pragma once
// The report components on Windows: the automation object registered for
// reports when there is one, and the program's own report dialog otherwise.
#include <memory>
#include <string>

#include "guard/component.h"

namespace win32 {

inline constexpr char kReportProgId[] = "VBGuardReport.clsVBGuardReport";

// A new instance of the automation object registered under `progId`, reached
// by late binding; null when no such object is registered. Raises 429 when
// one is registered but cannot be created.
std::unique_ptr<guard::ReportComponent> newAutomationReport(const std::string& progId);

// The program's own report dialog: modal over the program's windows, it ends
// only with Abort, Retry or Ignore.
std::unique_ptr<guard::ReportComponent> newReportDialog();

// Each report gets the registered object when there is one, else `fallback`'s component.
guard::ComponentFactory reportComponents(std::string progId, guard::ComponentFactory fallback);

}  // namespace win32

#include "guard/modvbguard.h"

#include "guard/component.h"
#include "guard/guard.h"
#include "platform/platform.h"
#include "startup/globals.h"

namespace modVBGuard {
namespace {
SavedError saved;
}  // namespace

SavedError& GuardSavedError() { return saved; }

void GuardErrorState(bool restore) {
  auto& error = guard::currentError();
  if (restore) {
    error.description = saved.Description;
    error.helpContext = saved.HelpContext;
    error.helpFile = saved.HelpFile;
    error.number = saved.Number;
    error.source = saved.Source;
  } else {
    saved = {error.description, error.helpContext, error.helpFile, error.number, error.source};
  }
}

void GuardDumpGlobals() {
  guard::slots().GuardGlobals = guard::dump("gstr_skip", gstr_skip, "gstr_drive", gstr_drive, "gi_trace_num", gi_trace_num);
}

guard::VariableDump DescriptionList(const std::string& moduleName, const std::string& procedureName) {
  const auto& error = guard::currentError();
  return {std::string("Error Number  "), error.number,
          std::string("Description   "), error.description,
          std::string("Build Number  "), std::string("16"),
          std::string("Module Name   "), moduleName,
          std::string("Procedure Name"), procedureName,
          std::string("Line Number   "), error.line,
          std::string("Date and time "), platform::process().Now()};
}

std::vector<std::string> UserDataList() {
  return {"Corvane Support", "support@corvane.example", "Corvane Support", "Corvane"};
}

int32_t GuardReportError(const std::string& moduleName, const std::string& procedureName) {
  auto& slots = guard::slots();
  GuardErrorState(false);
  auto component = guard::createComponent();
  GuardDumpGlobals();
  component->ErrDescription(DescriptionList(moduleName, procedureName));
  component->AppPath(platform::process().AppPath());
  component->AppTitle(platform::process().AppTitle());
  component->UserData(UserDataList());
  component->SetVariables(slots.GuardParams, slots.GuardLocals, slots.GuardModuleVars, slots.GuardGlobals);
  const int32_t answer = component->ReportError();
  GuardErrorState(true);
  component.reset();
  return answer;
}

}  // namespace modVBGuard

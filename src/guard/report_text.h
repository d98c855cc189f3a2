#pragma once
// A report as text: what the program's own dialog shows, and what an
// unattended run writes to its log instead, from the same formatting.
#include <string>
#include <utility>
#include <vector>

#include "guard/component.h"
#include "guard/guard.h"

namespace guard {

// Everything the report routine hands a component.
struct Report {
  VariableDump description;
  std::string appPath, appTitle;
  std::vector<std::string> userData;
  Slots dumps;
};

// A component that keeps what it is handed and shows it all when asked for the answer.
class KeptReport : public ReportComponent {
 public:
  void ErrDescription(const VariableDump& description) override { report_.description = description; }
  void AppPath(const std::string& path) override { report_.appPath = path; }
  void AppTitle(const std::string& title) override { report_.appTitle = title; }
  void UserData(const std::vector<std::string>& userData) override { report_.userData = userData; }
  void SetVariables(VariableDump& params, VariableDump& locals, VariableDump& moduleVars,
                    VariableDump& globals) override {
    report_.dumps = {params, locals, moduleVars, globals};
  }

 protected:
  Report report_;
};

std::string reportTitle(const Report& report);

// Label and value of each particular: the description list's pairs, the
// program's folder, and whom to contact.
std::vector<std::pair<std::string, std::string>> particulars(const Report& report);

// The four dumps, each a title line followed by a line per variable
// (tab, name, tab, type, tab, value) or by "(none)".
std::vector<std::string> variableLines(const Slots& dumps);

// The whole report, a line each, for where no dialog can show it.
std::vector<std::string> reportLines(const Report& report);

// The readable name of an object's type, "Nothing" for no object.
std::string objectTypeName(const ObjectRef& object);

}  // namespace guard

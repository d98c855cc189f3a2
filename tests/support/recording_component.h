#pragma once
// A report component that records every report and answers as scripted.
#include <deque>
#include <string>
#include <vector>

#include "guard/component.h"
#include "runtime/error.h"

namespace fakes {

struct Report {
  guard::VariableDump description, params, locals, moduleVars, globals;
  std::string appPath, appTitle;
  std::vector<std::string> userData;
  std::vector<std::string> calls;  // member names in the order called
};

struct ComponentScript {
  std::deque<int32_t> answers;   // the default answer, when exhausted, is abort
  std::string failAt;            // a member that raises error 438
  bool scrambleError = false;    // the component disturbs the current error meanwhile
  std::vector<Report> reports;
  int released = 0;
};

class RecordingComponent final : public guard::ReportComponent {
 public:
  explicit RecordingComponent(ComponentScript& script) : script_(script) { script_.reports.emplace_back(); }
  ~RecordingComponent() override { ++script_.released; }

  void ErrDescription(const guard::VariableDump& d) override { call("ErrDescription").description = d; }
  void AppPath(const std::string& p) override { call("AppPath").appPath = p; }
  void AppTitle(const std::string& t) override { call("AppTitle").appTitle = t; }
  void UserData(const std::vector<std::string>& u) override { call("UserData").userData = u; }
  void SetVariables(guard::VariableDump& p, guard::VariableDump& l, guard::VariableDump& m,
                    guard::VariableDump& g) override {
    auto& r = call("SetVariables");
    r.params = p, r.locals = l, r.moduleVars = m, r.globals = g;
  }
  int32_t ReportError() override;

 private:
  Report& call(const std::string& member) {
    if (member == script_.failAt) rt::raise(rt::errObjectDoesNotSupport);
    script_.reports.back().calls.push_back(member);
    return script_.reports.back();
  }
  ComponentScript& script_;
};

// Installs the report routine with recording components for the test's lifetime.
struct RecordedReports {
  ComponentScript script;
  RecordedReports();
  ~RecordedReports();
};

}  // namespace fakes

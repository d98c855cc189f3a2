#pragma once
// The error-report component: what the report routine hands a report to and
// takes the user's answer from. A new instance serves each report.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "guard/dump.h"

namespace guard {

class ReportComponent {
 public:
  virtual ~ReportComponent() = default;
  virtual void ErrDescription(const VariableDump& description) = 0;
  virtual void AppPath(const std::string& path) = 0;
  virtual void AppTitle(const std::string& title) = 0;
  virtual void UserData(const std::vector<std::string>& userData) = 0;
  // The dumps are passed by reference, as the component may expect to own them.
  virtual void SetVariables(VariableDump& params, VariableDump& locals, VariableDump& moduleVars,
                            VariableDump& globals) = 0;
  // The user's answer as a 32-bit integer; raises when the component's answer does not convert.
  virtual int32_t ReportError() = 0;
};

// Creates a fresh component for one report; raises when none can be created.
using ComponentFactory = std::function<std::unique_ptr<ReportComponent>()>;
void installComponentFactory(ComponentFactory factory);
std::unique_ptr<ReportComponent> createComponent();

}  // namespace guard

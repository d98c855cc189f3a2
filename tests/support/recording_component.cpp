#include "support/recording_component.h"

#include "guard/guard.h"
#include "guard/modvbguard.h"

namespace fakes {

int32_t RecordingComponent::ReportError() {
  call("ReportError");
  if (script_.scrambleError) {
    auto& error = guard::currentError();
    error.number = 91;
    error.description = error.source = error.helpFile = "changed by the component";
    error.helpContext = 1;
  }
  if (script_.answers.empty()) return guard::kAbort;
  const int32_t answer = script_.answers.front();
  script_.answers.pop_front();
  return answer;
}

RecordedReports::RecordedReports() {
  guard::installComponentFactory([this] { return std::make_unique<RecordingComponent>(script); });
  guard::setReporter(modVBGuard::GuardReportError);
}

RecordedReports::~RecordedReports() {
  guard::installComponentFactory(nullptr);
  guard::setReporter(nullptr);
}

}  // namespace fakes

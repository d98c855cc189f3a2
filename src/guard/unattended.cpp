#include "guard/unattended.h"

#include <memory>

#include "guard/report_text.h"
#include "runtime/strings.h"

namespace guard {
namespace {

LineWriter writer = nullptr;
int32_t firstError = 0;

void note(int32_t number) {
  if (firstError == 0) firstError = number != 0 ? number : 1;
}

class LineReport final : public KeptReport {
 public:
  int32_t ReportError() override {
    const auto& description = report_.description;
    const auto* number = description.size() > 1 ? std::get_if<int32_t>(&description[1]) : nullptr;
    note(number ? *number : 0);
    for (auto& line : reportLines(report_)) writer(std::move(line));
    // The answer nobody gave: the run goes on with the next step.
    writer("Answer: Ignore");
    return kIgnore;
  }
};

}  // namespace

void beginUnattended(LineWriter writeLine) {
  writer = writeLine;
  firstError = 0;
  if (writer) installComponentFactory([] { return std::make_unique<LineReport>(); });
}

bool unattended() { return writer != nullptr; }

void unshownError(int32_t number, const std::string& description) {
  note(number);
  writer("Run-time error '" + rt::CStr(number) + "': " + description);
}

int32_t exitCode() { return firstError; }

}  // namespace guard

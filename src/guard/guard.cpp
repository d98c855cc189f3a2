#include "guard/guard.h"

#include "guard/unattended.h"
#include "platform/platform.h"
#include "runtime/strings.h"

namespace guard {
namespace {
Slots theSlots;
rt::RuntimeError theError;
Reporter theReporter;
}  // namespace

VariableDump marker() { return VariableDump{std::string("Empty")}; }

Slots& slots() { return theSlots; }
rt::RuntimeError& currentError() { return theError; }
void setReporter(Reporter reporter) { theReporter = std::move(reporter); }

int32_t Guarded::handle(const rt::RuntimeError& error, int line) {
  // An error from a called procedure is reported at the line of the call.
  theError = error;
  theError.line = line;
  // Errors raised from here on are the handler's own and reach the caller.
  theSlots.GuardParams = params_();
  theSlots.GuardLocals = locals_();
  moduleDump_();
  const int32_t answer = theReporter ? theReporter(module_, procedure_) : kAbort;
  if (answer == kAbort) {
    // The report routine restored the error the component may have changed.
    rt::RuntimeError again = theError;
    again.reported = static_cast<bool>(theReporter);
    throw again;
  }
  theError = rt::RuntimeError{};
  return answer;
}

void runOutermost(const std::function<void()>& procedure) {
  try {
    procedure();
  } catch (const rt::RuntimeError& error) {
    // No box where nobody could answer it: the log says it, the exit code tells the caller.
    if (unattended()) {
      unshownError(error.number, error.description);
      platform::End(exitCode());
    }
    // One the user has already seen in a report ends the program quietly.
    if (!error.reported)
      platform::desktop().MsgBox("Run-time error '" + rt::CStr(error.number) + "':\n\n" + error.description, 16,
                               platform::process().AppTitle());
    platform::End(error.number != 0 ? error.number : 1);
  }
}

}  // namespace guard

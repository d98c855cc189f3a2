#pragma once
// The error guard's statement mechanism. A guarded procedure runs its
// statements as g(line, statement) inside g.body(...); on a run-time error the
// handler dumps the procedure's variables, asks the report routine, and then
// retries the statement (4), goes on with the next one (5), passes the error
// to the caller (3), or leaves the procedure quietly (anything else).
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "guard/dump.h"
#include "runtime/checked.h"
#include "runtime/error.h"

namespace guard {

constexpr int32_t kAbort = 3, kRetry = 4, kIgnore = 5;

// The four slots the handler and the report routine fill for the report component.
struct Slots {
  VariableDump GuardParams, GuardLocals, GuardModuleVars, GuardGlobals;
};
Slots& slots();

// The error being handled, from the failing statement until the handler is done.
rt::RuntimeError& currentError();

// The report routine: takes module and procedure names, returns the user's answer.
using Reporter = std::function<int32_t(const std::string& module, const std::string& procedure)>;
// With no report routine installed, every error passes to the caller.
void setReporter(Reporter reporter);

class Guarded {
 public:
  using DumpFn = std::function<VariableDump()>;
  // A form or class dumps the fields of the very object whose procedure failed.
  using ModuleDumpFn = std::function<void()>;

  Guarded(std::string module, std::string procedure, DumpFn params, DumpFn locals, ModuleDumpFn moduleDump)
      : module_(std::move(module)), procedure_(std::move(procedure)), params_(std::move(params)),
        locals_(std::move(locals)), moduleDump_(std::move(moduleDump)) {}

  // Runs the procedure's statements; an answer that leaves the procedure ends here.
  template <class Body>
  void body(Body&& statements) {
    try {
      statements();
    } catch (const Leave& leave) {
      if (leave.owner != this) throw;
    }
  }

  // Runs one numbered statement. Returns false when the statement was skipped
  // after an error (the user chose to go on), true when it completed.
  template <class Statement>
  bool operator()(int line, Statement&& statement) {
    for (;;) {
      try {
        statement();
        return true;
      } catch (const rt::RuntimeError& error) {
        switch (handle(error, line)) {
          case kRetry: continue;
          case kIgnore: return false;
          default: throw Leave{this};
        }
      }
    }
  }

  // For i = first To last ... Next, with the step in statement `nextLine`
  // (an overflowing step is an error of that line; going on leaves the loop).
  template <class Body>
  void For(int forLine, rt::int16& i, long long first, const std::function<long long()>& last, int nextLine,
           Body&& loopBody) {
    rt::int16 bound = 0;
    if (!(*this)(forLine, [&] { bound = last(); i = first; })) return;
    while (i <= bound) {
      loopBody();
      if (!(*this)(nextLine, [&] { ++i; })) return;
    }
  }

 private:
  struct Leave {
    const Guarded* owner;
  };

  // Runs the handler; returns retry, ignore or "leave"; throws for abort.
  int32_t handle(const rt::RuntimeError& error, int line);

  std::string module_, procedure_;
  DumpFn params_, locals_;
  ModuleDumpFn moduleDump_;
};

inline Guarded::DumpFn noParameters() {
  return [] { return marker(); };
}
inline Guarded::DumpFn noLocals() { return noParameters(); }

// Runs an outermost procedure (Main or an event procedure): a run-time error
// that leaves it is shown by number and description (in an unattended run
// written to the log) and ends the program with a non-zero exit code.
void runOutermost(const std::function<void()>& procedure);

}  // namespace guard

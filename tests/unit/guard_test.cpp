// The guard's statement mechanism: retry, go on, pass on, leave quietly.
#include <gtest/gtest.h>

#include "guard/guard.h"
#include "support/fakes.h"

namespace {

using Lines = std::vector<std::string>;

void noModuleVariables() { guard::slots().GuardModuleVars = guard::marker(); }

// A procedure of three statements whose middle one fails while `failures` lasts.
struct Procedure {
  int failures = 1;
  int counter = 0;
  Lines ran;

  void operator()() {
    guard::Guarded g{"module1", "Sample", [&] { return guard::dump("failures", rt::int16(failures)); },
                     [&] { return guard::dump("counter", rt::int16(counter)); }, noModuleVariables};
    g.body([&] {
      g(100, [&] { ran.push_back("100"); });
      g(101, [&] {
        ran.push_back("101");
        if (failures-- > 0) rt::raise(53);
        ++counter;
      });
      g(102, [&] { ran.push_back("102"); });
    });
  }
};

TEST(Guarded, ActsOnTheAnswer) {
  struct {
    int32_t answer;
    Lines ran;
    bool passedOn;
  } cases[] = {
      {guard::kRetry, {"100", "101", "101", "102"}, false},
      {guard::kIgnore, {"100", "101", "102"}, false},
      {guard::kAbort, {"100", "101"}, true},
      {0, {"100", "101"}, false},
      {1, {"100", "101"}, false},
      {2, {"100", "101"}, false},
      {6, {"100", "101"}, false},
      {7, {"100", "101"}, false},
  };
  for (const auto& c : cases) {
    fakes::World world;
    guard::setReporter([&](const std::string&, const std::string&) { return c.answer; });
    Procedure p;
    bool passedOn = false;
    try {
      p();
    } catch (const rt::RuntimeError& e) {
      passedOn = true;
      EXPECT_EQ(e.number, 53);
      EXPECT_EQ(e.description, "File not found");
      EXPECT_EQ(e.line, 101);
    }
    EXPECT_EQ(p.ran, c.ran) << "answer " << c.answer;
    EXPECT_EQ(passedOn, c.passedOn) << "answer " << c.answer;
  }
}

TEST(Guarded, DumpsAreCopiesTakenAtTheMomentOfTheError) {
  fakes::World world;
  guard::VariableDump locals;
  guard::setReporter([&](const std::string& module, const std::string& procedure) {
    EXPECT_EQ(module + "." + procedure, "module1.Sample");
    locals = guard::slots().GuardLocals;
    EXPECT_EQ(guard::slots().GuardModuleVars, guard::marker());
    return guard::kRetry;
  });
  Procedure p;
  p.failures = 2;
  p();
  // The failing statement had not yet changed the counter.
  EXPECT_EQ(locals, (guard::VariableDump{std::string("counter"), int16_t{0}}));
  EXPECT_EQ(p.counter, 1);
}

TEST(Guarded, RetryAfterAnErrorFromACalledProcedureCallsItAgainAtTheLineOfTheCall) {
  fakes::World world;
  Lines reports;
  guard::setReporter([&](const std::string&, const std::string& procedure) {
    reports.push_back(procedure + "@" + std::to_string(guard::currentError().line));
    return reports.size() == 1 ? guard::kAbort : guard::kRetry;
  });
  Procedure inner;
  int calls = 0;
  guard::Guarded g{"module1", "Outer", guard::noParameters(), guard::noLocals(), noModuleVariables};
  g.body([&] { g(100, [&] { ++calls; inner(); }); });
  EXPECT_EQ(reports, (Lines{"Sample@101", "Outer@100"}));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(inner.ran, (Lines{"100", "101", "100", "101", "102"}));
}

TEST(Guarded, ForLoopStepOverflowIsAnErrorOfTheNextLineAndGoingOnLeavesTheLoop) {
  fakes::World world;
  Lines reports;
  guard::setReporter([&](const std::string&, const std::string&) {
    reports.push_back(std::to_string(guard::currentError().number) + "@" + std::to_string(guard::currentError().line));
    return guard::kIgnore;
  });
  rt::int16 i;
  int bodies = 0;
  bool after = false;
  guard::Guarded g{"module1", "Loop", guard::noParameters(), guard::noLocals(), noModuleVariables};
  g.body([&] {
    g.For(100, i, 32766, [] { return 32767LL; }, 102, [&] { g(101, [&] { ++bodies; }); });
    g(103, [&] { after = true; });
  });
  EXPECT_EQ(bodies, 2);
  EXPECT_EQ(reports, (Lines{"6@102"}));
  EXPECT_TRUE(after);

  // A bound beyond the index's range fails at the For line.
  reports.clear();
  bodies = 0;
  g.body([&] { g.For(100, i, 0, [] { return 40000LL; }, 102, [&] { ++bodies; }); });
  EXPECT_EQ(reports, (Lines{"6@100"}));
  EXPECT_EQ(bodies, 0);
}

TEST(Checked, RaisesOverflowOutsideItsRange) {
  rt::int16 a = 32767;
  EXPECT_THROW(++a, rt::RuntimeError);
  EXPECT_EQ(a, 32767);
  rt::int16 b = -32768;
  EXPECT_THROW(--b, rt::RuntimeError);
  EXPECT_THROW(rt::int16(a + 1), rt::RuntimeError);
  rt::int32 c = 2147483647;
  EXPECT_THROW(c += 1, rt::RuntimeError);
  EXPECT_EQ(rt::int16(-32768 + 1), -32767);
}

}  // namespace

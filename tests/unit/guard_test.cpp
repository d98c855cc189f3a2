// The guard's statement mechanism: the answers, the dumps, errors passed
// outward, loop indexes.
#include <gtest/gtest.h>

#include "support/doubles.h"

namespace {

using Lines = std::vector<std::string>;

void noModuleVariables() { guard::slots().GuardModuleVars = guard::marker(); }

// Three statements; the middle one fails while `failures` lasts.
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
  const struct {
    int32_t answer;
    Lines ran;
    bool passedOn;
  } cases[] = {
      {guard::kRetry, {"100", "101", "101", "102"}, false}, {guard::kIgnore, {"100", "101", "102"}, false},
      {guard::kAbort, {"100", "101"}, true},                {0, {"100", "101"}, false},
      {6, {"100", "101"}, false},
  };
  for (const auto& c : cases) {
    doubles::World world;
    guard::VariableDump locals;
    guard::setReporter([&](const std::string& module, const std::string& procedure) {
      EXPECT_EQ(module + "." + procedure + "@" + std::to_string(guard::currentError().line), "module1.Sample@101");
      locals = guard::slots().GuardLocals;
      return c.answer;
    });
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
    // A copy taken at the error: the failing statement had not changed the counter yet.
    EXPECT_EQ(locals, (guard::VariableDump{std::string("counter"), int16_t{0}})) << "answer " << c.answer;
  }
}

TEST(Guarded, AnErrorPassedOutwardIsReportedAndRetriedAtTheLineOfTheCall) {
  doubles::World world;
  Lines reports;
  guard::setReporter([&](const std::string&, const std::string& procedure) {
    reports.push_back(procedure + "@" + std::to_string(guard::currentError().line));
    return reports.size() == 1 ? guard::kAbort : guard::kRetry;
  });
  Procedure inner;
  guard::Guarded g{"module1", "Outer", guard::noParameters(), guard::noLocals(), noModuleVariables};
  g.body([&] { g(100, [&] { inner(); }); });
  EXPECT_EQ(reports, (Lines{"Sample@101", "Outer@100"}));
  EXPECT_EQ(inner.ran, (Lines{"100", "101", "100", "101", "102"}));
}

TEST(Guarded, AnOverflowingLoopIndexIsAnErrorOfItsLine) {
  doubles::World world;
  Lines reports;
  guard::setReporter([&](const std::string&, const std::string&) {
    reports.push_back(std::to_string(guard::currentError().number) + "@" + std::to_string(guard::currentError().line));
    return guard::kIgnore;
  });
  rt::int16 i;
  int bodies = 0;
  guard::Guarded g{"module1", "Loop", guard::noParameters(), guard::noLocals(), noModuleVariables};
  g.body([&] {
    g.For(100, i, 32766, [] { return 32767LL; }, 102, [&] { ++bodies; });  // the step past 32767 fails
    g.For(103, i, 0, [] { return 40000LL; }, 105, [&] { ++bodies; });      // so does a bound past it
  });
  EXPECT_EQ(bodies, 2);
  EXPECT_EQ(reports, (Lines{"6@102", "6@103"}));
}

}  // namespace

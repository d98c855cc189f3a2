// What a whole run cannot reach cheaply: what each answer to a report does,
// the trace log's one line per call whatever the text holds and its silence
// when it cannot write, the choice of the log's folder when the system's
// answers are unusual, and the date text at midnight.
#include <gtest/gtest.h>

#include "runtime/datetime.h"
#include "support/doubles.h"
#include "trace/trace.h"

namespace {

using Lines = std::vector<std::string>;
using namespace std::string_literals;

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
    // Three statements; the middle one fails the first time.
    int failures = 1, counter = 0;
    Lines ran;
    bool passedOn = false;
    guard::Guarded g{"module1", "Sample", guard::noParameters(), [&] { return guard::dump("counter", rt::int16(counter)); },
                     [] { guard::slots().GuardModuleVars = guard::marker(); }};
    try {
      g.body([&] {
        g(100, [&] { ran.push_back("100"); });
        g(101, [&] { ran.push_back("101"), failures-- > 0 ? rt::raise(53) : void(++counter); });
        g(102, [&] { ran.push_back("102"); });
      });
    } catch (const rt::RuntimeError& e) {
      passedOn = true;
      EXPECT_EQ(std::to_string(e.number) + " " + e.description + "@" + std::to_string(e.line), "53 File not found@101");
    }
    EXPECT_EQ(ran, c.ran) << "answer " << c.answer;
    EXPECT_EQ(passedOn, c.passedOn) << "answer " << c.answer;
    // A copy taken at the error: the failing statement had not changed the counter yet.
    EXPECT_EQ(locals, (guard::VariableDump{"counter"s, int16_t{0}})) << "answer " << c.answer;
  }
}

// The opening line's date text leaves out a time of exactly midnight.
TEST(TRACE, EachCallWritesExactlyOneLineAndNeverFails) {
  const struct {
    std::string text, written;
    rt::DateTime now;
    std::string opening;
  } cases[] = {
      {"tab\t, NUL \0 and \xE9\xFF stay"s, "tab\t, NUL \0 and \xE9\xFF stay"s, {2026, 12, 6, 8, 40, 5},
       "12/6/2026 8:40:05"},
      {"Parameter:a\r\nb iLoop:0", "Parameter:a  b iLoop:0", {2026, 1, 2, 0, 0, 0}, "1/2/2026"},
      {"lone\rCR and lone\nLF", "lone CR and lone LF", {2026, 1, 2, 0, 0, 1}, "1/2/2026 0:00:01"},
  };
  for (const auto& c : cases) {
    doubles::World world;
    world.now = c.now;
    TRACE::writetrace("before the log is open");
    TRACE::begintrace();
    TRACE::writetrace(c.text);
    EXPECT_EQ(world.log(), (Lines{"Starting Trace at " + c.opening, c.written})) << c.text;
    world.CloseAll();  // gone under the trace's feet
    EXPECT_NO_THROW(TRACE::writetrace("lost"));
  }
}

TEST(GetWritePath, TakesTheFirstCandidateFolderThatExists) {
  const struct {
    const char* name;
    std::string appData;  // what the lookup gives; empty when it fails
    Lines folders;
    std::string appPath, expected, linked = "";
  } cases[] = {
      {"product folder", "C:\\ProgramData", {"C:\\ProgramData\\corvane3"}, "C:\\App", "C:\\ProgramData\\corvane3\\"},
      {"application data", "C:\\ProgramData", {"C:\\ProgramData"}, "C:\\App", "C:\\ProgramData\\"},
      {"a root as application data", "E:\\", {"E:\\corvane3"}, "C:\\App", "E:\\corvane3\\"},
      {"lookup fails: the current drive's root", "", {"\\corvane3"}, "D:\\App", "\\corvane3\\"},
      {"nothing exists: the program's folder", "E:\\Data", {}, "D:\\App", "D:\\App\\"},
      {"the program in a root", "", {}, "D:\\", "D:\\"},
      {"a linked product folder is passed over", "C:\\ProgramData", {"C:\\ProgramData"}, "C:\\App", "C:\\ProgramData\\",
       "C:\\ProgramData\\corvane3"},
      {"below a linked folder: the program's folder", "C:\\Data\\Common", {"C:\\Data\\Common\\corvane3"}, "D:\\App",
       "D:\\App\\", "C:\\Data"},
  };
  for (const auto& c : cases) {
    doubles::World world;
    for (const auto& folder : c.folders) world.addFolder(folder);
    if (!c.linked.empty()) world.addFolder(c.linked, true);
    world.appData = c.appData;
    world.appPath = c.appPath;
    EXPECT_EQ(TRACE::GetWritePath(false), c.expected) << c.name;
  }
}

}  // namespace

// The trace log: opening, framing, appending across runs, silence when closed.
#include <gtest/gtest.h>

#include "guard/guard.h"
#include "startup/globals.h"
#include "support/fakes.h"
#include "trace/trace.h"

namespace {

using Lines = std::vector<std::string>;
using namespace std::string_literals;

TEST(TRACE, RunsAppendFramedLinesToOneFile) {
  fakes::World world;
  TRACE::writetrace("before the log is open");
  TRACE::begintrace();
  EXPECT_EQ(gi_trace_num, 256);
  TRACE::writetrace("");
  TRACE::endtrace();
  EXPECT_EQ(gi_trace_num, 0);
  TRACE::writetrace("after the log is closed");

  world.process.now.hour = 13;
  TRACE::begintrace();
  TRACE::writetrace("second run");

  EXPECT_EQ(world.trace(), (Lines{"Starting Trace at 12/6/2026 8:40:05 AM", "", "Ending Trace at 12/6/2026 8:40:05 AM",
                                  "Starting Trace at 12/6/2026 1:40:05 PM", "second run"}));
}

// A line break inside a traced text would split one trace line into several.
TEST(TRACE, EachCallWritesExactlyOneLine) {
  const struct {
    std::string text, written;
  } cases[] = {
      {"Parameter:D:\\App\\ iLoop:1", "Parameter:D:\\App\\ iLoop:1"},
      {"tab\t, NUL \0 and \xE9\xFF stay"s, "tab\t, NUL \0 and \xE9\xFF stay"s},
      {"Parameter:a\r\nb iLoop:0", "Parameter:a  b iLoop:0"},
      {"lone\rCR and lone\nLF", "lone CR and lone LF"},
      {"\n\n", "  "},
      {"trailing\r", "trailing "},
  };
  for (const auto& c : cases) {
    fakes::World world;
    world.fs.addFolder("C:\\ProgramData");
    TRACE::begintrace();
    TRACE::writetrace(c.text);
    EXPECT_EQ(world.files.content(fakes::World::kLogPath),
              "Starting Trace at 12/6/2026 8:40:05 AM\r\n" + c.written + "\r\n")
        << c.text;
  }
}

TEST(TRACE, TakesTheLowestFreeNumberFrom256) {
  fakes::World world;
  world.files.Open(256, "C:\\other.txt", platform::TextFiles::Mode::Append);
  world.files.Open(1, "C:\\low.txt", platform::TextFiles::Mode::Append);
  TRACE::begintrace();
  EXPECT_EQ(gi_trace_num, 257);
}

TEST(TRACE, WriteFailuresAreSilent) {
  fakes::World world;
  gi_trace_num = 300;  // a number that belongs to no open file
  EXPECT_NO_THROW(TRACE::writetrace("lost"));
}

TEST(TRACE, AnUnopenableLogIsARunTimeErrorOfBegintrace) {
  fakes::World world;
  world.fs.addFolder("C:\\ProgramData");
  world.files.deny(fakes::World::kLogPath);
  std::string where;
  guard::setReporter([&](const std::string& module, const std::string& procedure) {
    where = module + "." + procedure + "@" + std::to_string(guard::currentError().line);
    return guard::kIgnore;  // go on: the log stays closed and every line is dropped quietly
  });
  TRACE::begintrace();
  EXPECT_EQ(where, "TRACE.begintrace@102");
  EXPECT_EQ(gi_trace_num, 256);
  EXPECT_NO_THROW(TRACE::writetrace("dropped"));
}

}  // namespace

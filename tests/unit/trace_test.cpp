// The trace log's promises that a whole run cannot reach cheaply: one line
// per call whatever the text holds, silence when it cannot write, and the
// choice of its folder when the system's answers are unusual.
#include <gtest/gtest.h>

#include "support/doubles.h"
#include "trace/trace.h"

namespace {

using namespace std::string_literals;

TEST(TRACE, EachCallWritesExactlyOneLineAndNeverFails) {
  const struct {
    std::string text, written;
  } cases[] = {
      {"tab\t, NUL \0 and \xE9\xFF stay"s, "tab\t, NUL \0 and \xE9\xFF stay"s},
      {"Parameter:a\r\nb iLoop:0", "Parameter:a  b iLoop:0"},
      {"lone\rCR and lone\nLF", "lone CR and lone LF"},
      {"trailing\r", "trailing "},
  };
  for (const auto& c : cases) {
    doubles::World world;
    TRACE::writetrace("before the log is open");
    TRACE::begintrace();
    TRACE::writetrace(c.text);
    EXPECT_EQ(world.log(), (std::vector<std::string>{"Starting Trace at 12/6/2026 8:40:05", c.written})) << c.text;
    world.files.CloseAll();  // gone under the trace's feet
    EXPECT_NO_THROW(TRACE::writetrace("lost"));
  }
}

TEST(GetWritePath, TakesTheFirstCandidateFolderThatExists) {
  const struct {
    const char* name;
    std::string appData;  // what the lookup gives; empty when it fails
    std::vector<std::string> folders;
    std::string appPath, expected;
  } cases[] = {
      {"product folder", "C:\\ProgramData", {"C:\\ProgramData\\corvane3"}, "C:\\App", "C:\\ProgramData\\corvane3\\"},
      {"application data", "C:\\ProgramData", {"C:\\ProgramData"}, "C:\\App", "C:\\ProgramData\\"},
      {"a root as application data", "E:\\", {"E:\\corvane3"}, "C:\\App", "E:\\corvane3\\"},
      {"lookup fails: the current drive's root", "", {"\\corvane3"}, "D:\\App", "\\corvane3\\"},
      {"nothing exists: the program's folder", "E:\\Data", {}, "D:\\App", "D:\\App\\"},
      {"the program in a root", "", {}, "D:\\", "D:\\"},
  };
  for (const auto& c : cases) {
    doubles::World world;
    world.fs = doubles::Folders{};
    for (const auto& folder : c.folders) world.fs.add(folder);
    world.shell.appData = c.appData;
    world.process.appPath = c.appPath;
    EXPECT_EQ(TRACE::GetWritePath(false), c.expected) << c.name;
  }
}

}  // namespace

// The command line's odd corners: Main's trace, the mode it chooses and the
// globals it leaves. A whole run of each ordinary command line is in tests/e2e.
#include <gtest/gtest.h>

#include "startup/main.h"
#include "support/doubles.h"

namespace {

using Lines = std::vector<std::string>;

struct Case {
  const char* name;
  std::string commandLine;
  bool automatic;
  std::string skip, drive;
  Lines lines;  // after "Starting Trace at " and "Start:", before the mode's own lines
};

class MainGrammar : public testing::TestWithParam<Case> {};

TEST_P(MainGrammar, TracesTheElementsAndChoosesTheMode) {
  const Case& c = GetParam();
  doubles::World world;
  world.process.commandLine = c.commandLine;
  world.desktop.answers = {7};  // No: an automatic run ends before it searches
  int exitCode = -1;
  try {
    module1::Main();
  } catch (const doubles::ProgramEnded& ended) {
    exitCode = ended.exitCode;
  }

  const std::string when = "12/6/2026 8:40:05";
  Lines expected{"Starting Trace at " + when, "Start:" + when};
  expected.insert(expected.end(), c.lines.begin(), c.lines.end());
  if (!c.automatic) expected.push_back("No cleanup parameter supplied display main screen");
  if (!c.automatic && c.commandLine.empty()) expected.push_back("No parameters supplied display main screen");
  expected.push_back("End:" + when);
  if (!c.automatic) expected.push_back("Ending Trace at " + when);
  EXPECT_EQ(world.log(), expected);
  EXPECT_EQ(exitCode, c.automatic ? 0 : -1) << "only the interactive path returns";
  EXPECT_EQ(world.desktop.boxes.size(), c.automatic ? 1u : 0u);
  EXPECT_EQ(world.windows.shown, c.automatic ? Lines{} : Lines{"Form1"});
  EXPECT_EQ(gstr_skip, c.skip);
  EXPECT_EQ(gstr_drive, c.drive);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, MainGrammar,
    testing::Values(
        Case{"Empty", "", false, "", "", {"Skip parameter provided:||"}},
        Case{"OnlyBlanks", "   ", false, "", "", {"Parameter:    iLoop:0", "Skip parameter provided:||"}},
        Case{"LowerCaseWordIsAFolder", "cleanup", false, "cleanup", "",
             {"Parameter:cleanup iLoop:0", "Skip parameter provided:|cleanup|", "int_pos:0"}},
        Case{"TabIsNoBlank", "\tCLEANUP", false, "\tCLEANUP", "",
             {"Parameter:\tCLEANUP iLoop:0", "Skip parameter provided:|\tCLEANUP|", "int_pos:0"}},
        Case{"PaddedWordSelectsCleanup", "  CLEANUP  ", true, "", "",
             {"Parameter:  CLEANUP   iLoop:0", "CLEANUP parameter provided", "Skip parameter provided:||"}},
        Case{"LeadingBlankKept", "CLEANUP, D:\\X", true, " D:\\X", " D:\\",
             {"Parameter:CLEANUP iLoop:0", "CLEANUP parameter provided", "Parameter: D:\\X iLoop:1",
              "Skip parameter provided:| D:\\X|", "int_pos:3", "gstr_drive: D:\\"}},
        Case{"ShortDrive", "CLEANUP,D:", true, "D:", "D:",
             {"Parameter:CLEANUP iLoop:0", "CLEANUP parameter provided", "Parameter:D: iLoop:1",
              "Skip parameter provided:|D:|", "int_pos:2", "gstr_drive:D:"}},
        Case{"CommaCutsTheFolderAndTheLastPieceWins", "\"C:\\a,b\",CLEANUP, ,", true, "b", "",
             {"Parameter:\"C:\\a iLoop:0", "Parameter:b\" iLoop:1", "Parameter:CLEANUP iLoop:2",
              "CLEANUP parameter provided", "Parameter:  iLoop:3", "Parameter: iLoop:4",
              "Skip parameter provided:|b|", "int_pos:0"}},
        // Only the trace lines lose the line break; the folder keeps it.
        Case{"LineBreakInAnElement", "CLEANUP,D:\\a\r\nb", true, "D:\\a\r\nb", "D:\\",
             {"Parameter:CLEANUP iLoop:0", "CLEANUP parameter provided", "Parameter:D:\\a  b iLoop:1",
              "Skip parameter provided:|D:\\a  b|", "int_pos:2", "gstr_drive:D:\\"}},
        Case{"FolderWithoutCleanupIsInteractive", "E:\\Apps\\", false, "E:\\Apps\\", "E:\\",
             {"Parameter:E:\\Apps\\ iLoop:0", "Skip parameter provided:|E:\\Apps\\|", "int_pos:2",
              "gstr_drive:E:\\"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DateTimeText, MidnightLeavesTheTimeOut) {
  doubles::World world;
  world.process.now = {2026, 1, 2, 0, 0, 0};
  EXPECT_EQ(rt::dateTimeText(), "1/2/2026");
  world.process.now.second = 1;
  EXPECT_EQ(rt::dateTimeText(), "1/2/2026 0:00:01");
}

}  // namespace

// The command-line grammar and Main's trace, end to end over the doubles.
#include <gtest/gtest.h>

#include "startup/globals.h"
#include "startup/main.h"
#include "support/fakes.h"

namespace {

using Lines = std::vector<std::string>;
constexpr const char* kStamp = "12/6/2026 8:40:05 AM";

struct Case {
  const char* name;
  std::string commandLine;
  bool automatic;
  std::string skip, drive;
  Lines lines;  // after "Starting Trace at " and "Start:"; before the mode's own lines
};

class MainGrammar : public testing::TestWithParam<Case> {};

TEST_P(MainGrammar, TracesTheElementsAndChoosesTheMode) {
  const Case& c = GetParam();
  fakes::World world;
  world.process.commandLine = c.commandLine;
  world.desktop.answers = {7};  // automatic mode: decline, so nothing is searched

  int exitCode = -1;
  try {
    module1::Main();
  } catch (const fakes::ProgramEnded& ended) {
    exitCode = ended.exitCode;
  }

  Lines expected{std::string("Starting Trace at ") + kStamp, std::string("Start:") + kStamp};
  expected.insert(expected.end(), c.lines.begin(), c.lines.end());
  if (c.automatic) {
    expected.push_back(std::string("End:") + kStamp);
    EXPECT_EQ(exitCode, 0);
    ASSERT_EQ(world.desktop.boxes.size(), 1u);
    EXPECT_TRUE(world.windows.shown.empty());
  } else {
    expected.push_back("No cleanup parameter supplied display main screen");
    if (c.commandLine.empty()) expected.push_back("No parameters supplied display main screen");
    expected.push_back(std::string("End:") + kStamp);
    expected.push_back(std::string("Ending Trace at ") + kStamp);
    EXPECT_EQ(exitCode, -1) << "the interactive path returns";
    EXPECT_TRUE(world.desktop.boxes.empty());
    ASSERT_EQ(world.windows.shown.size(), 1u);
    EXPECT_EQ(world.windows.shown[0], std::make_pair(std::string("Form1"), false));
    EXPECT_EQ(gi_trace_num, 0);
  }
  EXPECT_EQ(world.trace(), expected);
  EXPECT_EQ(gstr_skip, c.skip);
  EXPECT_EQ(gstr_drive, c.drive);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, MainGrammar,
    testing::Values(
        Case{"Empty", "", false, "", "", {"Skip parameter provided:||"}},
        Case{"OnlyBlanks", "   ", false, "", "", {"Parameter:    iLoop:0", "Skip parameter provided:||"}},
        Case{"LowerCaseWordIsASkipParameter", "cleanup", false, "cleanup", "",
             {"Parameter:cleanup iLoop:0", "Skip parameter provided:|cleanup|", "int_pos:0"}},
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
        // Only the trace lines lose the line break; the skip parameter keeps it.
        Case{"LineBreakInAnElement", "CLEANUP,D:\\a\r\nb", true, "D:\\a\r\nb", "D:\\",
             {"Parameter:CLEANUP iLoop:0", "CLEANUP parameter provided", "Parameter:D:\\a  b iLoop:1",
              "Skip parameter provided:|D:\\a  b|", "int_pos:2", "gstr_drive:D:\\"}},
        Case{"SkipWithoutCleanupIsInteractive", "E:\\Apps\\", false, "E:\\Apps\\", "E:\\",
             {"Parameter:E:\\Apps\\ iLoop:0", "Skip parameter provided:|E:\\Apps\\|", "int_pos:2",
              "gstr_drive:E:\\"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Main, WorkedExampleAsksBothQuestionsAndShowsTheStatusWindowModally) {
  fakes::World world;
  world.process.commandLine = "CLEANUP,\"D:\\Tools\\App\\\"";
  world.fs.addFolder("D:\\");
  world.desktop.answers = {6, 1};
  EXPECT_THROW(module1::Main(), fakes::ProgramEnded);

  const Lines trace = world.trace();
  const Lines mainLines(trace.begin() + 2, trace.begin() + 10);
  EXPECT_EQ(mainLines, (Lines{"Parameter:CLEANUP iLoop:0", "CLEANUP parameter provided",
                              "Parameter:\"D:\\Tools\\App\\\" iLoop:1", "Skip parameter provided:|D:\\Tools\\App\\|",
                              "int_pos:2", "gstr_drive:D:\\", "Start Cleanup - using commandline",
                              "Search for corvane.ini files"}));
  ASSERT_EQ(world.desktop.boxes.size(), 2u);
  EXPECT_EQ(world.desktop.boxes[0].prompt, "Have you previously installed Corvane on this computer?");
  EXPECT_EQ(world.desktop.boxes[0].flags, 36);
  EXPECT_EQ(world.desktop.boxes[1].prompt,
            "A file cleanup will now be performed to remove Corvane INI and MDB files that may have been left "
            "behind after an uninstall. This will take approximately 2-10 mins. Setup will resume after "
            "completion.");
  EXPECT_EQ(world.desktop.boxes[1].flags, 64);
  for (const auto& box : world.desktop.boxes) EXPECT_EQ(box.title, "Corvane File Cleanup");
  ASSERT_EQ(world.windows.shown.size(), 1u);
  EXPECT_EQ(world.windows.shown[0], std::make_pair(std::string("frmstatus"), true));
  EXPECT_EQ(world.windows.refreshed, (std::vector<std::string>{"frmstatus"})) << "Form_Load asks for a repaint";
}

TEST(Main, MidnightLeavesTheTimeOut) {
  fakes::World world;
  world.process.now = {2026, 1, 2, 0, 0, 0};
  module1::Main();
  EXPECT_EQ(world.trace().at(1), "Start:1/2/2026");
}

}  // namespace

// The report routine: what the component receives, and how its answer and its failures travel.
#include <gtest/gtest.h>

#include "cleanup/search.h"
#include "guard/guard.h"
#include "guard/modvbguard.h"
#include "startup/globals.h"
#include "startup/main.h"
#include "support/fakes.h"
#include "support/recording_component.h"
#include "trace/trace.h"

namespace {

using guard::VariableDump;

std::string text(const guard::DumpValue& v) { return std::get<std::string>(v); }

TEST(GuardReportError, AnErrorInEndtraceHandsMarkersAndTheGlobals) {
  fakes::World world;
  fakes::RecordedReports recorded;
  recorded.script.answers = {guard::kIgnore};
  gstr_skip = "C:\\App\\";
  gstr_drive = "C:\\";
  TRACE::begintrace();
  world.process.clockFailures = 1;  // the closing line's date fails
  TRACE::endtrace();

  ASSERT_EQ(recorded.script.reports.size(), 1u);
  const auto& r = recorded.script.reports[0];
  EXPECT_EQ(r.calls, (std::vector<std::string>{"ErrDescription", "AppPath", "AppTitle", "UserData", "SetVariables",
                                               "ReportError"}));
  EXPECT_EQ(recorded.script.released, 1);
  for (const auto* dump : {&r.params, &r.locals, &r.moduleVars}) EXPECT_EQ(*dump, guard::marker());
  EXPECT_EQ(r.globals, (VariableDump{std::string("gstr_skip"), std::string("C:\\App\\"), std::string("gstr_drive"),
                                     std::string("C:\\"), std::string("gi_trace_num"), int16_t{256}}));

  ASSERT_EQ(r.description.size(), 14u);
  const char* labels[] = {"Error Number  ", "Description   ", "Build Number  ", "Module Name   ",
                          "Procedure Name", "Line Number   ", "Date and time "};
  for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(text(r.description[2 * i]), labels[i]);
  EXPECT_EQ(std::get<int32_t>(r.description[1]), 5);
  EXPECT_EQ(text(r.description[5]), "16");
  EXPECT_EQ(text(r.description[7]) + "." + text(r.description[9]), "TRACE.endtrace");
  EXPECT_EQ(std::get<int32_t>(r.description[11]), 100);
  EXPECT_EQ(std::get<rt::DateTime>(r.description[13]), world.process.now);
  EXPECT_EQ(r.appPath, "C:\\Program Files\\Corvane");
  EXPECT_EQ(r.appTitle, "CorvaneFileCleanup");
  EXPECT_EQ(r.userData.size(), 4u);
  EXPECT_EQ(r.userData[0], r.userData[2]);

  // Going on closed the file anyway.
  EXPECT_EQ(gi_trace_num, 0);
}

TEST(GuardReportError, AbortPassesTheSameErrorOutwardWithEachLevelsOwnVariables) {
  fakes::World world;
  fakes::RecordedReports recorded;
  recorded.script.scrambleError = true;  // restored after every report
  world.fs.addFile("C:\\a\\b\\corvane.ini");
  rt::int16 count = 32767;
  rt::int32 dirs = 0;
  std::vector<std::string> files{"", ""};
  std::string path = "C:\\";
  fakes::RecordingLabel found, folder;
  try {
    module1::FINDFILESAPI(path, "corvane.ini", count, dirs, &found, &folder, files);
    FAIL() << "the overflow did not pass outward";
  } catch (const rt::RuntimeError& e) {
    EXPECT_EQ(e.number, 6);
    EXPECT_EQ(e.description, "Overflow");
    EXPECT_TRUE(e.reported);
  }
  ASSERT_EQ(recorded.script.reports.size(), 3u);
  const char* paths[] = {"C:\\a\\b\\", "C:\\a\\", "C:\\"};
  for (std::size_t level = 0; level < 3; ++level) {
    const auto& r = recorded.script.reports[level];
    EXPECT_EQ(std::get<int32_t>(r.description[1]), 6) << level;
    EXPECT_EQ(text(r.description[3]), "Overflow") << level;
    EXPECT_EQ(text(r.params[1]), paths[level]) << level;
    EXPECT_EQ(std::get<int16_t>(r.locals[7]), level == 0 ? 0 : 1) << "NDIR of level " << level;
  }
}

TEST(GuardReportError, AFailingComponentPassesItsOwnErrorOutwardUnreported) {
  struct {
    const char* failAt;
    int32_t number;
  } cases[] = {{"SetVariables", 438}, {"", 429}};
  for (const auto& c : cases) {
    fakes::World world;
    fakes::RecordedReports recorded;
    recorded.script.failAt = c.failAt;
    if (!*c.failAt) guard::installComponentFactory(nullptr);  // nothing registered
    world.process.commandLine = "CLEANUP,C:\\App\\";
    world.desktop.answers = {6, 1, 1};
    world.fs.addFile("C:\\a\\corvane.ini", platform::kAttrReadOnly);
    int exitCode = -1;
    try {
      guard::runOutermost(module1::Main);
    } catch (const fakes::ProgramEnded& ended) {
      exitCode = ended.exitCode;
    }
    EXPECT_EQ(exitCode, c.number) << c.failAt;
    ASSERT_EQ(world.desktop.boxes.size(), 3u) << c.failAt;
    EXPECT_EQ(world.desktop.boxes[2].prompt.substr(0, 20), "Run-time error '" + std::to_string(c.number) + "'")
        << c.failAt;
    EXPECT_TRUE(world.fs.exists("C:\\a\\corvane.ini"));
  }
}

}  // namespace

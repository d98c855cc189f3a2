// The automatic cleanup: search, skip test, deletion and the end of the program.
#include <gtest/gtest.h>

#include "cleanup/frmstatus.h"
#include "guard/guard.h"
#include "startup/globals.h"
#include "support/fakes.h"

namespace {

using Lines = std::vector<std::string>;

struct Cleanup {
  fakes::World world;
  int exitCode = -1;

  void run(const std::string& skip, const std::string& drive) {
    gstr_skip = skip;
    gstr_drive = drive;
    gi_trace_num = 7;  // a trace file opened by Main
    world.files.Open(7, fakes::World::kLogPath, platform::TextFiles::Mode::Append);
    try {
      world.windows.Show(cleanup::frmstatus::instance(), true);
    } catch (const fakes::ProgramEnded& ended) {
      exitCode = ended.exitCode;
    }
  }
  Lines listed() { return world.windows.lists["List1"].items; }
  Lines label7() { return world.windows.labels["Label7"].history; }
};

TEST(frmstatus, WorkedExample) {
  Cleanup c;
  c.world.fs.addFile("C:\\Old\\corvane.ini");
  c.world.fs.addFile("C:\\Program Files\\App\\corvane.ini");
  c.run("C:\\Program Files\\App\\", "C:\\");

  EXPECT_EQ(c.world.trace(), (Lines{"Search for corvane.ini files", "gstr_drive:C:\\", "Search for corvane.mdb files",
                                    "Found 1 files to delete", "Delete File:C:\\Old\\corvane.ini",
                                    "File:C:\\Old\\corvane.ini Deleted!"}));
  EXPECT_EQ(c.listed(), (Lines{"C:\\Old\\corvane.ini"}));
  EXPECT_EQ(c.label7(), (Lines{"", "0", "1", "1"}));
  EXPECT_FALSE(c.world.fs.exists("C:\\Old\\corvane.ini"));
  EXPECT_TRUE(c.world.fs.exists("C:\\Program Files\\App\\corvane.ini"));
  EXPECT_EQ(c.exitCode, 0);
  EXPECT_EQ(c.world.desktop.pointers, (std::vector<int>{11, 0}));
  EXPECT_EQ(gi_trace_num, 7) << "the trace is not closed, only ended with the program";
  EXPECT_FALSE(c.world.files.IsOpen(7)) << "ending the program closed the trace file";
}

TEST(frmstatus, SkipTest) {
  struct {
    const char* name;
    std::string skip;
    Lines kept, deleted;
  } cases[] = {
      {"other letter case still spares", "c:\\program files\\app\\", {"C:\\Program Files\\App\\Data\\corvane.ini"},
       {"C:\\App2\\corvane.ini", "C:\\Old\\corvane.mdb"}},
      {"substring anywhere spares", "C:\\App", {"C:\\App2\\corvane.ini"},
       {"C:\\Program Files\\App\\Data\\corvane.ini", "C:\\Old\\corvane.mdb"}},
      {"empty skip spares everything", "", {"C:\\App2\\corvane.ini", "C:\\Old\\corvane.mdb"}, {}},
  };
  for (const auto& k : cases) {
    Cleanup c;
    for (const auto& p : {"C:\\App2\\corvane.ini", "C:\\Program Files\\App\\Data\\corvane.ini", "C:\\Old\\corvane.mdb"})
      c.world.fs.addFile(p);
    c.run(k.skip, "C:\\");
    for (const auto& p : k.kept) EXPECT_TRUE(c.world.fs.exists(p)) << k.name << ": " << p;
    for (const auto& p : k.deleted) EXPECT_FALSE(c.world.fs.exists(p)) << k.name << ": " << p;
    EXPECT_EQ(c.listed(), k.deleted) << k.name;
    EXPECT_EQ(c.exitCode, 0) << k.name;
  }
}

TEST(frmstatus, IniFilesFirstThenMdbAndTheLabelCountsBoth) {
  Cleanup c;
  c.world.fs.addFile("D:\\a\\corvane.mdb");
  c.world.fs.addFile("D:\\b\\corvane.ini");
  c.world.fs.addFile("D:\\corvane.ini");
  c.run("D:\\Keep\\", "D:");
  EXPECT_EQ(c.listed(), (Lines{"D:\\corvane.ini", "D:\\b\\corvane.ini", "D:\\a\\corvane.mdb"}));
  EXPECT_EQ(c.label7(), (Lines{"", "0", "2", "3"}));
  EXPECT_EQ(gstr_drive, "D:\\") << "the search completed the global itself";
  EXPECT_EQ(c.world.trace().at(1), "gstr_drive:D:") << "traced before the search completes it";
}

TEST(frmstatus, AFailedDeletionIsNeverRecordedAsDeleted) {
  // Going on after the error: the next file is still deleted, the failed one keeps no "Deleted!" line.
  Cleanup c;
  c.world.fs.addFile("C:\\a\\corvane.ini", platform::kAttrReadOnly);
  c.world.fs.addFile("C:\\b\\corvane.ini");
  std::vector<std::string> reported;
  guard::setReporter([&](const std::string& module, const std::string& procedure) {
    reported.push_back(module + "." + procedure + ":" + std::to_string(guard::currentError().number) + "@" +
                       std::to_string(guard::currentError().line));
    return guard::kIgnore;
  });
  c.run("C:\\Keep\\", "C:\\");
  EXPECT_EQ(reported, (Lines{"frmstatus.DeleteFiles:75@103"}));
  const Lines trace = c.world.trace();
  EXPECT_EQ(Lines(trace.end() - 3, trace.end()),
            (Lines{"Delete File:C:\\a\\corvane.ini", "Delete File:C:\\b\\corvane.ini", "File:C:\\b\\corvane.ini Deleted!"}));
  EXPECT_TRUE(c.world.fs.exists("C:\\a\\corvane.ini"));
  EXPECT_EQ(c.exitCode, 0);
}

TEST(frmstatus, RetryDeletesOnceTheFileIsFree) {
  Cleanup c;
  c.world.fs.addFile("C:\\a\\corvane.ini");
  c.world.fs.lock("C:\\a\\corvane.ini");
  int reports = 0;
  guard::setReporter([&](const std::string&, const std::string&) {
    if (++reports == 2) c.world.fs.unlock("C:\\a\\corvane.ini");
    return guard::kRetry;
  });
  c.run("C:\\Keep\\", "C:\\");
  EXPECT_EQ(reports, 2);
  EXPECT_FALSE(c.world.fs.exists("C:\\a\\corvane.ini"));
  EXPECT_EQ(c.world.trace().back(), "File:C:\\a\\corvane.ini Deleted!");
}

TEST(frmstatus, WithoutAReportAFailedDeletionEndsTheProgramWithItsNumber) {
  Cleanup c;
  c.world.fs.addFile("C:\\a\\corvane.ini");
  c.world.fs.addFile("C:\\b\\corvane.ini", platform::kAttrReadOnly);
  c.world.desktop.answers = {1};
  try {
    guard::runOutermost([&] { c.run("C:\\Keep\\", "C:\\"); });
  } catch (const fakes::ProgramEnded& ended) {
    c.exitCode = ended.exitCode;
  }
  EXPECT_EQ(c.exitCode, 75);
  ASSERT_EQ(c.world.desktop.boxes.size(), 1u);
  EXPECT_EQ(c.world.desktop.boxes[0].prompt, "Run-time error '75':\n\nPath/File access error");
  EXPECT_EQ(c.world.desktop.boxes[0].flags, 16);
  EXPECT_FALSE(c.world.fs.exists("C:\\a\\corvane.ini"));
  EXPECT_TRUE(c.world.fs.exists("C:\\b\\corvane.ini"));
}

TEST(frmstatus, RunsItsSequenceOnlyOnceAndRefusesAUserClose) {
  Cleanup c;
  c.world.fs.addFile("C:\\a\\corvane.ini");
  c.run("C:\\Keep\\", "C:\\");
  auto& form = cleanup::frmstatus::instance();
  EXPECT_FALSE(form.AllowUserClose());
  const auto lines = c.world.trace().size();
  form.Form_Activate();  // activated again, e.g. after another window closed over it
  EXPECT_EQ(c.world.trace().size(), lines);
}

}  // namespace

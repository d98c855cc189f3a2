// Where the trace log goes: the product folder, the application-data folder, or the program's own.
#include <gtest/gtest.h>

#include "startup/globals.h"
#include "support/fakes.h"
#include "trace/trace.h"

namespace {

using Lines = std::vector<std::string>;

TEST(GetWritePath, TakesTheFirstCandidateFolderThatExists) {
  struct {
    const char* name;
    const char* appData;  // what the lookup gives; "" when it fails
    Lines folders;        // folders on the drives
    const char* appPath;
    const char* expected;
  } cases[] = {
      {"product folder", "C:\\ProgramData", {"C:\\ProgramData\\corvane3"}, "C:\\App", "C:\\ProgramData\\corvane3\\"},
      {"application data", "C:\\ProgramData", {"C:\\ProgramData"}, "C:\\App", "C:\\ProgramData\\"},
      {"root as application data", "E:\\", {"E:\\corvane3"}, "C:\\App", "E:\\corvane3\\"},
      {"root without product folder", "E:\\", {"E:\\"}, "C:\\App", "E:\\"},
      {"lookup fails, product folder on the current drive", "", {"C:\\corvane3"}, "D:\\App", "\\corvane3\\"},
      {"lookup fails", "", {"C:\\Windows"}, "D:\\App", "\\"},
      {"nothing exists", "", {}, "D:\\App", "D:\\App\\"},
      {"program in a drive's root", "", {}, "D:\\", "D:\\"},
  };
  for (const auto& c : cases) {
    fakes::World world;
    world.fs = fakes::MemoryFileSystem{};
    world.folders.define(35, c.appData);
    for (const auto& folder : c.folders) world.fs.addFolder(folder);
    world.process.appPath = c.appPath;
    EXPECT_EQ(TRACE::GetWritePath(false), c.expected) << c.name;
  }
}

TEST(GetWritePath, TracesEachStepWhenALogIsOpen) {
  fakes::World world;
  world.fs.addFolder("C:\\ProgramData");
  TRACE::begintrace();  // its own resolution ran before the log was open
  TRACE::GetWritePath(false);
  EXPECT_EQ(world.trace(), (Lines{"Starting Trace at 12/6/2026 8:40:05 AM", "GetWritePath() - searchVentrika:False",
                                  "GetWritePath() - Common App Data Folder:C:\\ProgramData",
                                  "GetWritePath() - write path:C:\\ProgramData\\corvane3\\",
                                  "GetWritePath() - write path:C:\\ProgramData\\corvane3\\ Does not exist",
                                  "GetWritePath() - write path:C:\\ProgramData\\",
                                  "GetWritePath() - write path:C:\\ProgramData\\ Exists. Use this folder"}));
  EXPECT_EQ(world.folders.folderPathCalls.size(), 2u);
  EXPECT_EQ(world.folders.folderPathCalls[0].folder, 35) << "no create flag";
  EXPECT_EQ(world.folders.folderPathCalls[0].flags, 1u) << "the default path";
}

}  // namespace

namespace {

TEST(FileExists, FindsListedOrReadableFilesAndNeverRaises) {
  fakes::World world;
  world.process.appPath = "C:\\App";
  world.fs.addFile("C:\\App\\in-use.log");
  world.files.deny("C:\\App\\in-use.log");  // cannot be opened, but the folder lists it
  world.files.Open(9, "C:\\Data\\readable.txt", platform::TextFiles::Mode::Append);
  world.files.Close(9);
  world.files.deny("C:\\Data\\locked.txt");
  const struct {
    const char* path;
    bool bdir, expected;
  } cases[] = {
      {"", false, false},
      {"", true, false},
      {"c:\\app\\IN-USE.LOG", true, true},
      {"C:\\App\\in-use.log", false, false},
      {"C:\\Data\\readable.txt", true, true},
      {"C:\\Data\\readable.txt", false, true},
      {"C:\\Data\\locked.txt", false, false},
      {"C:\\Data\\missing.txt", true, false},
      {"C:\\App\\", true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TRACE::FileExists(c.path, c.bdir), c.expected) << c.path << " " << c.bdir;
    for (int n = 1; n <= 255; ++n) ASSERT_FALSE(world.files.IsOpen(n)) << "left open by " << c.path;
  }
  EXPECT_EQ(world.windows.loaded, (Lines{"frmpics"})) << "created once, never shown";
  EXPECT_TRUE(world.windows.shown.empty());
  EXPECT_EQ(world.windows.fileLists["FDirectory"].Path(), "C:\\App");
}

}  // namespace

// The recursive search over the in-memory file system.
#include <gtest/gtest.h>

#include "cleanup/search.h"
#include "support/fakes.h"

namespace {

using Lines = std::vector<std::string>;

struct Search {
  fakes::World world;
  fakes::RecordingLabel found, folder;
  Lines files{"", ""};
  rt::int16 fileCount = 0;
  rt::int32 dirCount = 0;

  void run(std::string path, const std::string& pattern) {
    module1::FINDFILESAPI(path, pattern, fileCount, dirCount, &found, &folder, files);
    lastPath = path;
  }
  Lines listed() const { return Lines(files.begin() + 2, files.end()); }
  std::string lastPath;
};

TEST(FINDFILESAPI, ListsFolderByFolderInPreOrderAndEnumerationOrder) {
  Search s;
  auto& fs = s.world.fs;
  fs.addFile("C:\\b\\deep\\corvane.ini");
  fs.addFile("C:\\b\\corvane.ini");
  fs.addFile("C:\\a\\CORVANE.INI");
  fs.addFile("C:\\corvane.ini");
  fs.addFile("C:\\corvane.mdb");
  fs.addFile("C:\\a\\other.ini");

  s.run("C:\\", "corvane.ini");

  EXPECT_EQ(s.listed(), (Lines{"C:\\corvane.ini", "C:\\b\\corvane.ini", "C:\\b\\deep\\corvane.ini",
                               "C:\\a\\CORVANE.INI"}));
  EXPECT_EQ(s.fileCount, 4);
  EXPECT_EQ(s.dirCount, 3);
  EXPECT_EQ(s.found.Caption(), "C:\\a\\CORVANE.INI");
  EXPECT_EQ(s.folder.Caption(), "C:\\a\\");
  EXPECT_EQ(fs.maxOpenSearches(), 1) << "one enumeration open at a time";
  EXPECT_EQ(fs.openSearches(), 0) << "every enumeration closed";
}

TEST(FINDFILESAPI, CompletesTheCallersPath) {
  struct {
    std::string given, completed;
  } cases[] = {{"C:", "C:\\"}, {"", "\\"}, {"C:\\x\\", "C:\\x\\"}};
  for (const auto& c : cases) {
    Search s;
    s.world.fs.addFile("C:\\corvane.ini");
    s.world.fs.addFolder("C:\\x");
    s.run(c.given, "corvane.ini");
    EXPECT_EQ(s.lastPath, c.completed) << c.given;
    EXPECT_EQ(s.folder.history.front(), c.completed) << c.given;
  }
}

TEST(FINDFILESAPI, FolderNamedLikeThePatternIsListedAndSearched) {
  Search s;
  s.world.fs.addFile("C:\\corvane.ini\\corvane.ini");
  s.run("C:\\", "corvane.ini");
  EXPECT_EQ(s.listed(), (Lines{"C:\\corvane.ini", "C:\\corvane.ini\\corvane.ini"}));
  EXPECT_EQ(s.fileCount, 2);
  EXPECT_EQ(s.dirCount, 1);
}

TEST(FINDFILESAPI, NamesWithoutADotAreCountedButNotListed) {
  Search s;
  s.world.fs.addFile("C:\\corvane");
  s.world.fs.addFile("C:\\corvane.x");
  s.run("C:\\", "corvane*");
  EXPECT_EQ(s.listed(), (Lines{"C:\\corvane.x"}));
  EXPECT_EQ(s.fileCount, 2);
}

TEST(FINDFILESAPI, DescendsByTheAttributeQueryButNotThroughFolderLinks) {
  Search s;
  auto& fs = s.world.fs;
  fs.addFile("C:\\link\\corvane.ini");
  fs.addLink("C:\\link");                 // a junction or symbolic link
  fs.addFile("C:\\odd\\corvane.ini");
  fs.failAttributes("C:\\odd");           // unreadable: taken for a folder
  fs.failEnumeration("C:\\odd\\");        // ...whose enumerations fail
  fs.addFile("C:\\locked\\corvane.ini");
  fs.failEnumeration("C:\\locked\\");
  fs.addFile("C:\\plain\\corvane.ini");

  s.run("C:\\", "corvane.ini");

  EXPECT_EQ(s.listed(), (Lines{"C:\\plain\\corvane.ini"}));
  EXPECT_EQ(s.dirCount, 3) << "odd, locked and plain; not the link";
}

TEST(FINDFILESAPI, AppendsToTheCallersListWithoutClearingIt) {
  Search s;
  s.world.fs.addFile("C:\\corvane.ini");
  s.files = {"", "", "kept"};
  s.run("C:\\", "corvane.ini");
  s.run("C:\\", "corvane.ini");
  EXPECT_EQ(s.files, (Lines{"", "", "kept", "C:\\corvane.ini", "C:\\corvane.ini"}));
}

TEST(FINDFILESAPI, EmptyFolderChangesOnlyTheFolderLabel) {
  Search s;
  s.world.fs.addFolder("C:\\empty");
  s.run("C:\\empty", "corvane.ini");
  EXPECT_TRUE(s.listed().empty());
  EXPECT_TRUE(s.found.history.empty());
  EXPECT_EQ(s.folder.Caption(), "C:\\empty\\");
  EXPECT_EQ(s.fileCount + s.dirCount, 0);
}

TEST(FINDFILESAPI, CountingPastTheRangeIsAnOverflow) {
  Search s;
  s.world.fs.addFile("C:\\sub\\corvane.ini");
  s.fileCount = 32767;
  try {
    s.run("C:\\", "corvane.ini");
    FAIL() << "no overflow";
  } catch (const rt::RuntimeError& e) {
    EXPECT_EQ(e.number, 6);
    EXPECT_EQ(e.description, "Overflow");
  }
  Search d;
  d.world.fs.addFolder("C:\\sub");
  d.dirCount = 2147483647;
  EXPECT_THROW(d.run("C:\\", "corvane.ini"), rt::RuntimeError);
}

TEST(FINDFILESAPI, LetsMessagesThroughAtEveryEntry) {
  Search s;
  s.world.fs.addFile("C:\\a.txt");
  s.world.fs.addFile("C:\\corvane.ini");
  // one per call + one per "*" entry (2) + one per pattern fetch (1)
  s.run("C:\\", "corvane.ini");
  EXPECT_EQ(s.world.desktop.doEvents, 4);
}

// Inside a busy loop the desktop may let messages wait a little; the loop must
// close again, also when an error leaves the search, or every later DoEvents
// of the program would be throttled too.
TEST(FINDFILESAPI, LetsMessagesThroughWithinABusyLoopThatItCloses) {
  Search s;
  s.world.fs.addFile("C:\\sub\\corvane.ini");
  s.run("C:\\", "corvane.ini");
  EXPECT_EQ(s.world.desktop.doEventsOutsideBusyLoops, 0);
  EXPECT_EQ(s.world.desktop.busyLoops, 0);

  Search e;
  e.world.fs.addFile("C:\\sub\\corvane.ini");
  e.fileCount = 32767;
  EXPECT_THROW(e.run("C:\\", "corvane.ini"), rt::RuntimeError);
  EXPECT_EQ(e.world.desktop.busyLoops, 0);
}

TEST(STRIPNULLS, CutsTheCallersTextAtTheFirstNul) {
  struct {
    std::string in, out;
  } cases[] = {{std::string("ab\0c", 4), "ab"}, {"abc", "abc"}, {std::string("\0x", 2), ""}, {"", ""}};
  fakes::World world;
  for (auto& c : cases) {
    std::string arg = c.in;
    EXPECT_EQ(module1::STRIPNULLS(arg), c.out);
    EXPECT_EQ(arg, c.out);
  }
}

}  // namespace

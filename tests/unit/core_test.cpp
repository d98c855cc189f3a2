// What a whole run cannot reach cheaply: what each answer to a report does,
// the trace log's one line per call whatever the text holds and its silence
// when it cannot write, the choice of the log's folder when the system's
// answers are unusual, the date text at midnight, and the search where Wine
// cannot take it (reparse tags, a folder whose search fails).
#include <gtest/gtest.h>

#include "cleanup/search.h"
#include "platform/kept.h"
#include "runtime/datetime.h"
#include "runtime/wtf8.h"
#include "support/doubles.h"
#include "trace/trace.h"

namespace {

using Lines = std::vector<std::string>;
using namespace std::string_literals;

Lines operator+(Lines a, const Lines& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

// A name is any sequence of 16-bit units: unpaired surrogates, either way round, come back as they went, and a
// pair is UTF-8's four bytes; bytes that never were WTF-8 stand for U+FFFD.
TEST(Wtf8, CarriesEveryNameBackUnchanged) {
  const std::u16string name{u'a', 0xD800, u'z', 0xDC00, 0xDBFF, 0xDFFF, 0xDC00, 0xD800, u'Я'};
  std::string text;
  rt::appendWtf8(std::u16string_view(name), text);
  EXPECT_EQ(text, "a\xED\xA0\x80z\xED\xB0\x80\xF4\x8F\xBF\xBF\xED\xB0\x80\xED\xA0\x80Я");
  std::u16string back;
  rt::appendUnits(text + "\xF8\x80\x80\xC0\x80", back);
  EXPECT_EQ(back, name + u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
}

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

// Each candidate must take the log for real; past the program's folder comes
// the account's own, made where missing. Where none takes it, no log and no report.
TEST(GetWritePath, TakesTheFirstCandidateFolderThatTakesTheLog) {
  const std::string local = R"(C:\Users\Ann\AppData\Local)", own = local + R"(\CorvaneFileCleanup\)";
  const struct {
    const char* name;
    std::string appData;  // what the lookup gives; empty when it fails
    Lines folders;
    std::string appPath, expected, linked = "";
    Lines unwritable = {};
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
      {"after Setup's run: the account's own folder, made", "C:\\ProgramData", {"C:\\ProgramData", local}, "C:\\App",
       own, "", {"C:\\ProgramData", "C:\\App"}},
      {"no folder takes it", "C:\\ProgramData", {"C:\\ProgramData", local}, "C:\\App", "", "",
       {"C:\\ProgramData", "C:\\App", local}},
  };
  for (const auto& c : cases) {
    doubles::World world;
    guard::setReporter([](auto&, auto&) {
      ADD_FAILURE() << "a report";
      return guard::kIgnore;
    });
    for (const auto& folder : c.folders) world.addFolder(folder);
    for (const auto& folder : c.unwritable) world.addFolder(folder, false, true);
    if (!c.linked.empty()) world.addFolder(c.linked, true);
    world.appData = c.appData;
    world.localAppData = local;
    world.appPath = c.appPath;
    EXPECT_EQ(TRACE::GetWritePath(false), c.expected) << c.name;
    TRACE::begintrace();
    EXPECT_EQ(world.files.empty(), c.expected.empty()) << c.name;
  }
}

// Both names searched as the cleanup searches them. A folder with a reparse
// tag is entered only where the tag says it is no link; a folder whose first
// search was abandoned (Abort there, Ignore above) still yields the second name.
TEST(FINDFILESAPI, EntersPlaceholdersButNoLinksAndFindsTheSecondNameEverywhere) {
  const Lines all = {R"(C:\F\corvane.mdb)", R"(C:\F\Sub\corvane.mdb)", R"(C:\G\corvane.mdb)"}, outside = {all[2]};
  const struct {
    uint32_t attributes, tag;
    std::string failsIn;  // the folder label's caption that fails, once
    Lines mdb;
  } cases[] = {
      {0x410, 0x9000701A, "", all},      // a sync client's placeholder
      {0x410, 0xA0000003, "", outside},  // a junction
      {0x410, 0xA000000C, "", outside},  // a symbolic link
      {0x410, 0, "", outside},           // one of Wine's links: no tag
      {0x10, 0, R"(C:\F\)", all},        // no link, but its search fails
  };
  struct Label final : ui::Label {
    std::string text, failsIn;
    void Caption(std::string_view caption) override {
      caption == failsIn ? failsIn.clear(), rt::raise(rt::errPathFileAccess) : void(text = caption);
    }
    std::string Caption() const override { return text; }
  };
  for (const auto& c : cases) {
    doubles::World world;
    for (const auto& entry : all + Lines{R"(C:\corvane.ini)"}) world.addEntry(entry);
    world.addEntry(R"(C:\F)", c.attributes, c.tag);
    world.addEntry(R"(C:\F\Sub)", platform::kAttrDirectory), world.addEntry(R"(C:\G)", platform::kAttrDirectory);
    std::deque<int32_t> answers{guard::kAbort, guard::kIgnore};
    guard::setReporter([&](auto&, auto&) {
      const int32_t answer = answers.front();
      return answers.pop_front(), answer;
    });
    Label file, folder;
    folder.failsIn = c.failsIn;
    module1::FolderList folders{"corvane.ini", "corvane.mdb"};
    const auto search = [&](const char* name, Lines found = {}) {
      std::string path = "C:";
      rt::int16 fileCount = 0;
      rt::int32 dirCount = 0;
      module1::FINDFILESAPI(path, name, fileCount, dirCount, &file, &folder, found, &folders);
      return found;
    };
    folders.Record();
    EXPECT_EQ(search("corvane.ini"), Lines{R"(C:\corvane.ini)"}) << c.tag;
    folders.Replay();
    EXPECT_EQ(search("corvane.mdb"), c.mdb) << c.tag;
    EXPECT_EQ(answers.size(), c.failsIn.empty() ? 2u : 0u) << "reports";
  }
}

// An existing folder of kept files serves only with the descriptor the program writes, however the system spells it.
TEST(Kept, AFolderServesOnlyWithTheDescriptorTheProgramWrites) {
  const struct {
    const char* present;
    bool same;
  } cases[] = {
      {"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true},
      {"O:S-1-5-32-544G:SYD:PAI(A;CIOI;0x1f01ff;;;S-1-5-32-544)(A;OICI;FA;;;S-1-5-18)", true},
      {"O:S-1-5-21-1-2-3-1001D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false},          // a user's own
      {"O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false},                            // inherits from above
      {"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", false},     // users may read
      {"O:BAD:P(A;OICIID;FA;;;SY)(A;OICI;FA;;;BA)", false},                         // an inherited entry
      {"O:BAD:P(A;;FA;;;SY)(A;OICI;FA;;;BA)", false},                               // not passed below
      {"O:BAD:P(A;CIIO;FA;;;SY)(A;CIIO;FA;;;BA)", false},                           // below only, folders only
      {"O:BAD:P(D;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false},
      {"O:BAD:P(A;OICI;FA;;;SY)", false},
      {"O:BAD:NO_ACCESS_CONTROL", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(kept::sameDescriptor(c.present, kept::kFolderSddl), c.same) << c.present;
}

// RESTORE reads back what the cleanup wrote, and takes no damaged line for a kept file.
TEST(Kept, ListLinesReadBackAsWritten) {
  const kept::Line line{"12.kept", "2026-12-08 20:33:55", 5000000000, "C:\\Users\\Zo\xC3\xAB\\corvane.ini", "O:BAD:(A;;FA;;;BA)"};
  kept::Line read;
  ASSERT_TRUE(kept::parse(kept::format(line), read));
  EXPECT_EQ(kept::format(read), kept::format(line));
  std::string folder;
  EXPECT_TRUE(kept::parseHead(kept::listHead("T:\\App\\"), folder) && folder == "T:\\App\\");
  for (const char* damaged : {"Installation folder:\tT:\\App\\", "1.kept\tnow\tbig\tC:\\x\t", "1.txt\tnow\t1\tC:\\x\t",
                              "1.kept\tnow\t1\t\t", "1.kept\tnow\t1\tC:\\x"})
    EXPECT_FALSE(kept::parse(damaged, read)) << damaged;
}

}  // namespace

// The automatic cleanup as Setup starts it, on trees planted on drive T: from
// the Unix side (where links, FIFOs and any name are at hand): what is
// deleted and kept, what the status window shows, and the trace log.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "e2e/driver.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

// The Unix side of a path on a mapped drive, names as given (UTF-8).
std::string unixPath(const std::string& windowsPath) {
  std::string rest = windowsPath.substr(3);
  std::replace(rest.begin(), rest.end(), '\\', '/');
  return hostPath(widen(windowsPath.substr(0, 3))) + "/" + rest;
}

// Asked of the Unix side: the program's ANSI calls cannot name some of these paths.
bool onDisk(const std::string& windowsPath) { return runHost("test -f " + shellQuote(unixPath(windowsPath))) == 0; }

// A path as the program writes it into its log: in the ANSI code page.
std::string ansi(const std::string& utf8) {
  const std::wstring wide = widen(utf8);
  std::string out(wide.size() * 2, '\0');
  out.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                                          out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

// The planting of one tree, as one shell run.
struct Tree {
  Lines deleted, kept;  // `deleted` in the order listed: every .ini before any .mdb, a folder's own first
  std::string script;
  void file(const std::string& path) {
    in(path.substr(0, path.rfind('\\') + 1), "printf 'left behind\\r\\n' >" + shellQuote(unixPath(path)));
  }
  // A command run in the Unix folder of `folder`, made first.
  void in(const std::string& folder, const std::string& command) {
    script += "mkdir -p " + shellQuote(unixPath(folder)) + " && (cd " + shellQuote(unixPath(folder)) + " && " + command + ")\n";
  }
};

struct Case {
  const char* name;
  std::string tail;
  Lines mainLines;
  void (*plant)(Tree&);
  bool watch = false;  // enough folders to watch the status window at work
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// The installation folder spelt otherwise than on disk, names that only look
// like a leftover, and leftovers in sibling folders, which the search takes in
// the order the system lists them.
void spared(Tree& t) {
  t.deleted = {R"(T:\corvane.ini)", R"(T:\Users\Ann\Deep\corvane.ini)", R"(T:\Old\corvane.ini)",
               R"(T:\Program Files\Approx\Data\corvane.mdb)"};
  t.kept = {R"(T:\Program Files\App\corvane.ini)", R"(T:\Program Files\App\Data\corvane.mdb)",
            R"(T:\Old\corvane.ini.bak)", R"(T:\Old\my-corvane.ini)", R"(T:\Old\corvane.txt)"};
  t.in(R"(T:\Ballast)", "mkdir $(seq -f B%g 1000)");
}

// A link out of the drive, one up to an ancestor and one to drive U: are not
// followed: each leftover is listed once and nothing behind them is touched.
void links(Tree& t) {
  t.deleted = {R"(T:\Loop\corvane.ini)", R"(T:\Loop\Inner\corvane.mdb)"};
  t.kept = {R"(U:\Away\corvane.ini)", R"(U:\Away\corvane.mdb)"};
  t.in("U:\\", "rm -rf Away");
  t.in(R"(T:\Loop\Inner)", "ln -s " + shellQuote(unixPath(R"(T:\Loop)")) + " Up && ln -s ../.. Root && ln -s " +
                               shellQuote(unixPath(R"(U:\Away)")) + " Away");
}

// Found before, beside and after entries that cannot be examined: dangling and
// looping links, a FIFO, folders named with a wildcard or with bytes that are
// no UTF-8.
void unexaminable(Tree& t) {
  t.deleted = {R"(T:\corvane.ini)", R"(T:\Mid\corvane.ini)", R"(T:\Mid\Next\corvane.mdb)"};
  t.kept = {R"(T:\Mid\Star*\corvane.ini)"};
  t.in(R"(T:\Mid)", "ln -s /nonexistent/corvane Dangling && ln -s Loop Loop && mkfifo Pipe && "
                    "mkdir \"$(printf 'Bad\\377')\" && printf x >\"$(printf 'Bad\\377')/corvane.ini\"");
}

// 259 characters, MAX_PATH less its NUL, is the longest path every ANSI call
// takes; deeper the enumerations fail and the search ends there quietly.
void deep(Tree& t) {
  std::string folder = R"(T:\Deep\)";
  t.deleted.push_back(folder + "corvane.ini");
  while (folder.size() + 60 < 248) folder += std::string(59, 'd') + "\\";
  folder += std::string(248 - folder.size() - 1, 'e') + "\\";
  t.deleted.push_back(folder + "corvane.mdb");  // 259 characters
  folder += "x\\";
  t.kept.push_back(folder + "corvane.ini");  // 261
  folder += std::string(59, 'f') + "\\";
  t.kept.push_back(folder + "corvane.mdb");
}

// Names the code page cannot hold. A best-fit mapping would turn "ｏｌｄ" into
// the sibling "old" (listing its leftover twice) and "．．＼App" into "..\App",
// the spared folder reached by another way; a name with a backslash of its own
// and "old." would do the same. A name the code page holds ("Café") is searched.
void foreignNames(Tree& t) {
  t.deleted = {R"(T:\Names\corvane.ini)", R"(T:\Names\Café\corvane.ini)", R"(T:\Names\corvane.mdb)",
               R"(T:\Names\old\corvane.mdb)"};
  t.kept = {R"(T:\Names\ｃｏｒｖａｎｅ.ｉｎｉ)", R"(T:\Names\日本語.ini)", R"(T:\Names\😀.mdb)",
            R"(T:\Names\ｏｌｄ\corvane.ini)", R"(T:\Names\Ελλάδα\corvane.mdb)", R"(T:\Names\．．＼App\corvane.mdb)"};
  t.in(R"(T:\Names)", R"(mkdir 'old.' '..\App' 'old\..\old')");
}

const Case kCases[] = {
    {"SparesTheInstallationFolderInAnyLetterCase", R"("T:\PROGRAM FILES\app\",CLEANUP )",
     {R"(Parameter:"T:\PROGRAM FILES\app\" iLoop:0)", "Parameter:CLEANUP  iLoop:1", "CLEANUP parameter provided",
      R"(Skip parameter provided:|T:\PROGRAM FILES\app\|)", "int_pos:2", R"(gstr_drive:T:\)"},
     spared, true},
    {"FollowsNoFolderLinks", R"(CLEANUP,"T:\App\")", kAppMainLines, links},
    {"SkipsEntriesThatCannotBeExamined", R"(CLEANUP,"T:\App\")", kAppMainLines, unexaminable},
    {"StopsQuietlyAtPathsPastTheLimit", R"(CLEANUP,"T:\App\")", kAppMainLines, deep},
    {"TouchesNothingThroughNamesOutsideTheCodePage", R"(CLEANUP,"T:\App\")", kAppMainLines, foreignNames},
};

// The folders of T:'s root in the order the system lists them.
Lines rootOrder() {
  Lines order;
  for (const auto& entry : fs::directory_iterator(fs::path(L"T:\\"))) order.push_back(narrow(entry.path().wstring()));
  return order;
}

// Every view a beginning of the final list; the .ini files once listed and counted alone; the folder label moving.
void checkStatus(const std::vector<StatusView>& views, const Lines& listed) {
  Lines ini;
  std::copy_if(listed.begin(), listed.end(), std::back_inserter(ini), [](auto& f) { return f.ends_with(".ini"); });
  bool iniPhase = false;
  std::set<std::wstring> folders;
  for (const auto& view : views) {
    Lines items;
    for (const auto& item : view.items) items.push_back(narrow(item));
    EXPECT_TRUE(items.size() <= listed.size() && std::equal(items.begin(), items.end(), listed.begin()))
        << testing::PrintToString(items);
    iniPhase |= items == ini && narrow(view.count) == std::to_string(ini.size());
    folders.insert(view.folder);
  }
  EXPECT_TRUE(iniPhase) << "never saw the .ini files listed and counted";
  EXPECT_GE(folders.size(), 3u) << "the folder label hardly changed while searching";
}

class Cleanup : public testing::TestWithParam<Case> {};

TEST_P(Cleanup, DeletesExactlyTheReachableLeftovers) {
  const Case& c = GetParam();
  Sandbox box;
  Tree tree;
  c.plant(tree);
  for (const auto& f : tree.deleted) tree.file(f);
  for (const auto& f : tree.kept) tree.file(f);
  host("set -e\n" + tree.script);
  // Sibling folders of the root come in the system's order, each with what is below it.
  const Lines order = rootOrder();
  const auto place = [&](const std::string& f) {
    const auto at = std::find_if(order.begin(), order.end(), [&](auto& root) { return f.starts_with(root + "\\"); });
    return std::make_pair(f.ends_with(".mdb"), at == order.end() ? -1 : at - order.begin());  // the root's own first
  };
  std::stable_sort(tree.deleted.begin(), tree.deleted.end(), [&](auto& a, auto& b) { return place(a) < place(b); });

  Process app = Process::start(box.exe(), c.tail);
  confirm(app);
  if (HasFatalFailure()) return;
  if (c.watch) {
    HWND status = waitStatusWindow(app, kStep);
    ASSERT_TRUE(status) << "no status window";
    checkLayout(status, ui::kFrmstatusLayout);
    checkStatus(watchStatus(app, status, Ms(60000)), tree.deleted);
  }
  const auto exitCode = app.waitExit(Ms(60000));
  if (auto report = exitCode ? std::nullopt : waitReportDialog(app, Ms(0)))
    ADD_FAILURE() << "a report: " << narrow(report->field(L"Description:"));
  EXPECT_EQ(exitCode, std::optional<DWORD>(0));
  for (const auto& f : tree.deleted) EXPECT_FALSE(onDisk(f)) << f;
  for (const auto& f : tree.kept) EXPECT_TRUE(onDisk(f)) << f;
  Lines traced;
  for (const auto& f : tree.deleted) traced.push_back(ansi(f));
  EXPECT_EQ(box.log(), cleanupTrace(c.mainLines, traced));
}

INSTANTIATE_TEST_SUITE_P(Automatic, Cleanup, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Automatic, NoEndsAtOnceAndTheLogGoesToTheProductFolderWhenThereIsOne) {
  Sandbox box;
  plant(R"(T:\Old\corvane.ini)");
  const auto decline = [&] {
    Process app = Process::start(box.exe(), R"(CLEANUP,"T:\App\")");
    auto ask = waitMessageBox(app, kTitle, kStart);
    ASSERT_TRUE(ask && answer(ask->hwnd, IDNO)) << "no question";
    EXPECT_EQ(app.waitExit(kStep), std::optional<DWORD>(0));
  };
  decline();
  decline();
  const Lines declined = Lines{"Starting Trace at {when}", "Start:{when}"} + kAppMainLines + Lines{"End:{when}"};
  EXPECT_EQ(box.log(), declined + declined) << "each run appends";
  EXPECT_TRUE(exists(R"(T:\Old\corvane.ini)"));
  EXPECT_FALSE(exists(box.folder() + "\\corvanefilecleanup.log")) << "nothing beside the program";

  const std::string product = appDataFolder() + "\\corvane3";
  ASSERT_TRUE(fs::create_directory(product));
  decline();
  EXPECT_EQ(box.log(Sandbox::logPath(product)), declined);
  EXPECT_EQ(box.log(), declined + declined) << "the application-data folder's log is left alone";
}

// Killed at no chosen moment while deleting: every line whole, what the log
// says was deleted is gone, what it never named is there, and the next run
// appends and deletes exactly the rest.
TEST(Automatic, KilledWhileDeletingKeepsEveryLineItWrote) {
  Sandbox box;
  std::set<std::string> left;
  for (int i = 0; i < 300; ++i) left.insert(R"(T:\Many\F)" + std::to_string(i) + R"(\corvane.ini)");
  for (const auto& f : left) plant(f);
  // One run's lines from `from` on, against the drive; what it deleted leaves `left`.
  const auto check = [&](const Lines& log, std::size_t from) {
    const Lines head = cleanupHead(kAppMainLines, left.size());
    ASSERT_GE(log.size(), from + head.size());
    EXPECT_EQ(Lines(log.begin() + from, log.begin() + from + head.size()), head);
    for (std::size_t i = from + head.size(); i < log.size(); ++i) {
      ASSERT_TRUE(log[i].starts_with("Delete File:")) << log[i];
      const std::string path = log[i].substr(12);
      EXPECT_TRUE(left.erase(path)) << "no leftover, or named twice: " << path;
      const bool traced = i + 1 < log.size() && log[i + 1] == "File:" + path + " Deleted!";
      EXPECT_TRUE(traced || i + 1 == log.size()) << "no \"Deleted!\" line for " << path;
      EXPECT_TRUE(!traced || !exists(path)) << "traced as deleted but there: " << path;
      if (!traced && exists(path)) left.insert(path);  // killed at its deletion
      i += traced;
    }
    for (const auto& f : left) EXPECT_TRUE(exists(f)) << "deleted without a trace line: " << f;
  };
  Process killed = Process::start(box.exe(), R"(CLEANUP,"T:\App\")");
  confirm(killed);
  // Read as it stands, perhaps mid-line: the program is writing it.
  poll(killed, Ms(60000), [] { return std::ranges::count(Sandbox::read(Sandbox::logPath()), '!') >= 5 ? HWND(1) : nullptr; });
  killed.kill();
  ASSERT_EQ(killed.waitExit(kStep), std::optional<DWORD>(9999)) << "it ended before the kill: more leftovers";
  const Lines first = box.log();
  check(first, 0);
  EXPECT_LT(left.size(), 296u) << "killed before the deletions";

  Process again = Process::start(box.exe(), R"(CLEANUP,"T:\App\")");
  confirm(again);
  EXPECT_EQ(again.waitExit(Ms(60000)), std::optional<DWORD>(0));
  const Lines both = box.log();
  ASSERT_GE(both.size(), first.size());
  EXPECT_EQ(Lines(both.begin(), both.begin() + first.size()), first) << "the next run appends";
  check(both, first.size());
  EXPECT_TRUE(left.empty());
}

}  // namespace
}  // namespace e2e

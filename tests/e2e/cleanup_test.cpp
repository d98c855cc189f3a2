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

using namespace std::string_literals;

namespace fs = std::filesystem;

// The files of a tree, and a script run in T:'s root on the Unix side once they are there.
struct Tree {
  Lines deleted, kept;  // `deleted` in the order listed: every .ini before any .mdb, a folder's own first
  std::string script;
  bool watch = false;  // folders enough to watch the status window at work
};

// Plants the tree, runs an automatic cleanup of T: that spares T:\App\ or as
// `tail` says, and checks the drive and the log.
void cleanup(Tree tree, const std::string& tail = R"(CLEANUP,"T:\App\")", const Lines& mainLines = kAppMainLines) {
  Sandbox box;
  std::string script = "set -e\n";
  for (const auto& f : tree.deleted + tree.kept)
    script += "mkdir -p " + shellQuote(unixPath(f.substr(0, f.rfind('\\') + 1))) + " && printf 'left behind\\r\\n' >" +
              shellQuote(unixPath(f)) + "\n";
  host(script + "cd " + shellQuote(unixPath("T:\\")) + "\n" + tree.script);
  // Sibling folders come in the order the system lists them, each with what is below it, a folder's own files
  // first; the first two levels tell them apart.
  const auto place = [&](const std::string& f) {
    std::vector<int> at{f.ends_with(".mdb") || f.ends_with(".Mdb")};
    for (auto end = f.find('\\', 3); end != std::string::npos && at.size() < 3; end = f.find('\\', end + 1)) {
      const fs::path folder(widen(f.substr(0, end)));
      auto it = fs::directory_iterator(folder.parent_path());
      for (at.push_back(0); it->path().filename() != folder.filename(); ++it) ++at.back();
    }
    return at;
  };
  std::stable_sort(tree.deleted.begin(), tree.deleted.end(), [&](auto& a, auto& b) { return place(a) < place(b); });

  Process app = Process::start(box.exe(), tail);
  confirm(app);
  if (testing::Test::HasFatalFailure()) return;
  if (HWND status = tree.watch ? waitStatusWindow(app, kStep) : nullptr) {
    checkCaptions(status, ui::kFrmstatusLayout);
    // While it searches: the .ini files listed and counted before the .mdb files come, the folder label moving.
    std::vector<std::wstring> ini;
    for (const auto& f : tree.deleted)
      if (f.ends_with(".ini")) ini.push_back(widen(f));
    std::set<std::wstring> folders;
    bool iniPhase = false;
    for (const auto& view : watchStatus(app, status, Ms(60000)))
      folders.insert(view.folder), iniPhase |= view.items == ini && view.count == std::to_wstring(ini.size());
    EXPECT_TRUE(iniPhase) << "never saw the .ini files listed and counted";
    EXPECT_GE(folders.size(), 3u) << "the folder label hardly changed while searching";
  }
  const auto exitCode = app.waitExit(Ms(60000));
  if (auto report = exitCode ? std::nullopt : waitReportDialog(app, Ms(0)))
    ADD_FAILURE() << "a report: " << narrow(report->field(L"Description:"));
  EXPECT_EQ(exitCode, std::optional<DWORD>(0));
  for (const auto& f : tree.deleted) EXPECT_FALSE(exists(f)) << f;
  for (const auto& f : tree.kept) EXPECT_TRUE(exists(f)) << f;
  // Each deleted file kept whole; nothing that stayed, the installation's files among them.
  std::map<std::string, std::string> kept;
  for (const auto& f : tree.deleted) kept[f] = "left behind\r\n";
  EXPECT_EQ(keptFiles(), kept);
  EXPECT_EQ(box.log(), cleanupTrace(mainLines, tree.deleted));
}

// The installation folder spelt otherwise than on disk, in a script the code page lacks and given in a Unicode
// command line, names that only look like a leftover, and leftovers in sibling folders, which the search takes
// in the order the system lists them; folders enough to watch the status window.
TEST(Automatic, SparesTheInstallationFolderInAnyLetterCase) {
  cleanup({{R"(T:\corvane.ini)", R"(T:\Users\Ann\Deep\corvane.ini)", R"(T:\Old\corvane.ini)",
            R"(T:\Program Files\Данныеx\Data\corvane.mdb)"},
           {R"(T:\Program Files\Данные\corvane.ini)", R"(T:\Program Files\Данные\Data\corvane.mdb)",
            R"(T:\Old\corvane.ini.bak)", R"(T:\Old\my-corvane.ini)", R"(T:\Old\corvane.txt)"},
           "mkdir Ballast && cd Ballast && mkdir $(seq -f B%g 3000)", true},
          R"("T:\PROGRAM FILES\дАННЫЕ\",CLEANUP )",
          {R"(Parameter:"T:\PROGRAM FILES\дАННЫЕ\" iLoop:0)", "Parameter:CLEANUP  iLoop:1", "CLEANUP parameter provided",
           R"(Skip parameter provided:|T:\PROGRAM FILES\дАННЫЕ\|)", "int_pos:2", R"(gstr_drive:T:\)"});
}

// What a cleanup meets in the field, side by side:
// - links up to an ancestor and to drive U:, not followed: each leftover is listed once, nothing behind them touched;
// - entries that cannot be examined beside leftovers: dangling and looping links, a FIFO, a folder named with a
//   wildcard;
// - any depth: past 259 characters, MAX_PATH less its NUL, the search goes on;
// - any name, in another letter case too: Cyrillic, CJK, a surrogate pair, fullwidth look-alikes. A best-fit
//   mapping would turn "ｏｌｄ" into the sibling "old" (listing its leftover twice) and "．．＼App" into "..\App", the
//   spared folder reached another way; a name with a backslash of its own and "old." would do the same.
TEST(Automatic, DeletesEveryLeftoverItCanReachWhateverItsNameAndDepth) {
  Tree t{{R"(T:\corvane.ini)", R"(T:\Loop\corvane.ini)", R"(T:\Mid\corvane.ini)", R"(T:\Names\CORVANE.INI)",
          R"(T:\Names\Café\corvane.ini)", R"(T:\Names\ｏｌｄ\corvane.ini)", R"(T:\Deep\corvane.ini)",
          R"(T:\旧版本\数据\Corvane.Mdb)", R"(T:\Emoji 😀 folder\corvane.ini)", R"(T:\Loop\Inner\corvane.mdb)",
          R"(T:\Mid\Next\corvane.mdb)", R"(T:\Names\corvane.mdb)", R"(T:\Names\old\corvane.mdb)",
          R"(T:\Names\Ελλάδα\corvane.mdb)", R"(T:\Names\．．＼App\corvane.mdb)"},
         {R"(U:\Away\corvane.ini)", R"(U:\Away\corvane.mdb)", R"(T:\Mid\Star*\corvane.ini)",
          R"(T:\Names\ｃｏｒｖａｎｅ.ｉｎｉ)", R"(T:\Names\日本語.ini)", R"(T:\Names\😀.mdb)"},
         "(cd Loop/Inner && ln -s ../../Loop Up && ln -s ../.. Root && ln -s " + shellQuote(unixPath(R"(U:\Away)")) +
             " Away)\n(cd Mid && ln -s /nonexistent/corvane Dangling && ln -s Loop Loop && mkfifo Pipe)\n"
             "(cd Names && mkdir 'old.' '..\\App' 'old\\..\\old')\n"};
  std::string deep = R"(T:\Deep\)";
  while (deep.size() + 60 < 248) deep += std::string(59, 'd') + "\\";
  deep += std::string(248 - deep.size() - 1, 'e') + "\\";
  t.deleted.insert(t.deleted.end(),
                   {deep + "corvane.mdb", deep + "x\\corvane.ini",  // 259 characters, 261, beyond
                    deep + "x\\" + std::string(59, 'f') + "\\" + std::string(59, 'g') + "\\corvane.mdb"});
  cleanup(t);
}

// A 32-bit program on 64-bit Windows finds SysWOW64 where System32 is; the
// search must see each as itself: each leftover listed once, the one in the
// real System32 found.
TEST(Automatic, SeesTheSystemFoldersAsTheyAre) {
  const Lines planted = {R"(C:\windows\system32\corvane.ini)", R"(C:\windows\syswow64\corvane.mdb)"};
  host("rm -rf " + shellQuote(unixPath(R"(C:\corvane-e2e)")));  // what the interactive test leaves on C:
  cleanup({planted, {}, ""}, R"(CLEANUP,"C:\App\")",
          {"Parameter:CLEANUP iLoop:0", "CLEANUP parameter provided", R"(Parameter:"C:\App\" iLoop:1)",
           R"(Skip parameter provided:|C:\App\|)", "int_pos:2", R"(gstr_drive:C:\)"});
  for (const auto& f : planted) host("rm -f " + shellQuote(unixPath(f)));  // the interactive Find searches C: too
}

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

  // Anyone may plant a product folder that is a link, and a library beside the program (which Wine, told to by
  // the scripts, looks for there first, as Windows does): the link is passed over, the library never loaded.
  const std::string product = appDataFolder() + "\\corvane3", elsewhere = unixPath(R"(U:\Elsewhere\)"),
                    planted = box.folder() + "\\shfolder.dll", ran = box.folder() + "\\planted-ran";
  host("rm -rf " + shellQuote(elsewhere) + " && mkdir " + shellQuote(elsewhere) + " && ln -s " + shellQuote(elsewhere) +
       " " + shellQuote(unixPath(product)));
  ASSERT_TRUE(CopyFileW(dosPath(CORVANE_REPORT_SERVER).c_str(), widen(planted).c_str(), FALSE));
  DeleteFileW(widen(ran).c_str());
  SetEnvironmentVariableA("CORVANE_PLANTED_MARK", ran.c_str());
  decline();
  SetEnvironmentVariableA("CORVANE_PLANTED_MARK", nullptr);
  DeleteFileW(widen(planted).c_str());
  host("rm " + shellQuote(unixPath(product)));
  EXPECT_FALSE(DeleteFileW(widen(ran).c_str())) << "the planted library ran";
  EXPECT_FALSE(exists(R"(U:\Elsewhere\corvanefilecleanup.log)")) << "the log went through the link";
  EXPECT_EQ(box.log(), declined + declined + declined);

  ASSERT_TRUE(fs::create_directory(product));
  decline();
  EXPECT_EQ(box.log(Sandbox::logPath(product)), declined);
  EXPECT_EQ(box.log(), declined + declined + declined) << "the application-data folder's log is left alone";

  // A log this account may not append to (an elevated run's, to a user) counts as missing. Wine lets root append
  // to a read-only file, not to an immutable one.
  const std::string locked = shellQuote(unixPath(Sandbox::logPath(product)));
  host("chattr +i " + locked);
  decline();
  host("chattr -i " + locked);
  EXPECT_EQ(box.log(Sandbox::logPath(product)), declined) << "the log it may not append to";
  EXPECT_EQ(box.log(), declined + declined + declined + declined);

  // After Setup's run a user may neither append to the all-users log nor create anything beside the program:
  // the log goes to the account's own folder, with no report, attended or not. Immutable stops root too.
  fs::remove_all(product);
  const std::string closed = shellQuote(unixPath(Sandbox::logPath())) + " " + shellQuote(unixPath(box.folder()));
  struct Closed {
    std::string paths;
    ~Closed() { host("chattr -i " + paths); }
  } undo{closed};
  host("chattr +i " + closed);
  Process window = Process::start(box.exe(), "");
  const HWND main = waitForm(window, ui::kForm1Layout);
  EXPECT_TRUE(main) << "no window";
  if (auto report = waitReportDialog(window, Ms(0))) ADD_FAILURE() << "a report: " << narrow(report->field(L"Description:"));
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(window.waitExit(kStep), std::optional<DWORD>(0));
  plant(R"(T:\Old\Deep\corvane.mdb)");
  Process silent = Process::start(box.exe(), R"(CLEANUP,SILENT,"T:\App\")");
  EXPECT_EQ(silent.waitExit(Ms(60000)), std::optional<DWORD>(0));
  const Lines interactive = {"Starting Trace at {when}", "Start:{when}", "Skip parameter provided:||",
                             "No cleanup parameter supplied display main screen",
                             "No parameters supplied display main screen", "End:{when}", "Ending Trace at {when}"};
  const Lines silentMain = Lines{"Parameter:CLEANUP iLoop:0", "CLEANUP parameter provided", "Parameter:SILENT iLoop:1",
                                 "SILENT parameter provided", R"(Parameter:"T:\App\" iLoop:2)"} +
                           Lines(kAppMainLines.begin() + 3, kAppMainLines.end());
  EXPECT_EQ(box.log(Sandbox::logPath(ownLogFolder())),
            interactive + cleanupTrace(silentMain, {R"(T:\Old\corvane.ini)", R"(T:\Old\Deep\corvane.mdb)"}));
  EXPECT_EQ(box.log(), declined + declined + declined + declined) << "the log it may not append to";
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

// RESTORE,SILENT after an unattended cleanup: with and without the installation folder, the latest run only; a
// file now at the place stays (58) until it is gone; a folder on the way swapped for a link leads nowhere (75).
// Of the leftovers, a hard-linked one goes uncopied. An existing folder of kept files with other rights is refused;
// a kept copy with a second name, or a list line naming a file not the program's, does not go back.
TEST(Restore, PutsBackWhatTheLatestRunKept) {
  Sandbox box;
  const std::string ini = R"(T:\Old\corvane.ini)", mdb = R"(T:\Old\Sub\corvane.mdb)", linked = R"(T:\Linked\corvane.mdb)",
                    spared = R"(T:\App\corvane.ini)", whole = "kept\0whole\xff\r\n"s;
  for (const auto& f : {mdb, spared, linked}) plant(f);
  std::ofstream(widen(ini).c_str(), std::ios::binary) << whole;
  host("ln " + shellQuote(unixPath(linked)) + " " + shellQuote(unixPath(R"(T:\Linked\other.dat)")));
  const auto run = [&](const std::string& args) {
    Process app = Process::start(box.exe(), args);
    confirm(app, true);
    return app.waitExit(Ms(60000)).value_or(9999);
  };
  const auto on = [](std::vector<std::string> paths) {
    std::vector<bool> there;
    for (const auto& p : paths) there.push_back(exists(p));
    return there;
  };
  EXPECT_EQ(run(R"(CLEANUP,SILENT,"T:\App\")"), 0u);
  EXPECT_EQ(on({ini, mdb, linked, spared}), (std::vector<bool>{false, false, false, true}));
  EXPECT_EQ(keptFiles(), (std::map<std::string, std::string>{{ini, whole}, {mdb, "left behind\r\n"}}));

  const std::string stale = keepingFolder() + R"(\Removed\20201108-000000-000)";  // a run more than 30 days old
  plant(stale + R"(\1.kept)");
  plant(ini);  // a file now at the place
  EXPECT_EQ(run("RESTORE,SILENT"), 58u);
  EXPECT_EQ(Sandbox::read(ini) + Sandbox::read(mdb), "left behind\r\nleft behind\r\n");
  EXPECT_EQ(keptFiles(), (std::map<std::string, std::string>{{ini, whole}}));
  const std::string old = shellQuote(unixPath(R"(T:\Old)")), away = shellQuote(unixPath(R"(U:\Elsewhere)"));
  host("rm -rf " + away + " && mkdir " + away + " && mv " + old + " " + old + ".aside && ln -s " + away + " " + old);
  EXPECT_EQ(run("RESTORE,SILENT"), 75u);
  EXPECT_FALSE(exists(R"(U:\Elsewhere\corvane.ini)")) << "written through the link";
  host("rm " + old + " && mv " + old + ".aside " + old + " && rm " + shellQuote(unixPath(ini)));

  // A later run that keeps nothing is the latest: RESTORE alone puts nothing back, the folder's own run still does.
  EXPECT_EQ(run(R"(CLEANUP,SILENT,"T:\")"), 0u);
  EXPECT_FALSE(exists(stale)) << "kept beyond 30 days";
  EXPECT_EQ(run("RESTORE,SILENT"), 0u);
  EXPECT_FALSE(exists(ini));
  EXPECT_EQ(run(R"(RESTORE,SILENT,"t:\app")"), 0u);
  EXPECT_EQ(Sandbox::read(ini), whole);
  const Lines log = box.log(), restoreLog = {
      "Starting Trace at {when}", "Start:{when}", "Parameter:RESTORE iLoop:0", "RESTORE parameter provided",
      "Parameter:SILENT iLoop:1", "SILENT parameter provided", R"(Parameter:"t:\app" iLoop:2)",
      R"(Skip parameter provided:|t:\app|)", "int_pos:2", R"(gstr_drive:t:\)", "Start Restore - using commandline",
      "Found 1 files to restore", "Restore File:" + ini, "File:" + ini + " Restored!", "End:{when}"};
  EXPECT_EQ(Lines(log.end() - std::min(log.size(), restoreLog.size()), log.end()), restoreLog);
  EXPECT_EQ(keptFiles(1), (std::map<std::string, std::string>{}));

  // Anyone given the right to change the folder could reach what is kept: not used, nothing deleted.
  const std::string removed = shellQuote(unixPath(keepingFolder() + R"(\Removed)"));
  host("chmod o+w " + removed);
  EXPECT_EQ(run(R"(CLEANUP,SILENT,"T:\App\")"), 75u);
  EXPECT_EQ(on({ini, mdb}), (std::vector<bool>{true, true}));
  host("chmod o-w " + removed);  // the prefix's other tests delete too

  // Changed behind the program's back: a copy with a second name, a list line naming another file. Both stay kept.
  EXPECT_EQ(run(R"(CLEANUP,SILENT,"T:\App\")"), 0u);
  fs::path latest;
  for (const auto& entry : fs::directory_iterator(widen(keepingFolder() + R"(\Removed)"))) latest = std::max(latest, entry.path());
  std::string list = Sandbox::read(narrow((latest / "kept.txt").wstring()));
  std::ofstream(latest / "kept.txt", std::ios::binary) << list.replace(list.find(R"(Sub\corvane.mdb)"), 15, R"(Sub\other.dat)");
  host("ln " + shellQuote(hostPath((latest / "1.kept").wstring())) + " " + shellQuote(unixPath(R"(T:\second)")));
  EXPECT_EQ(run("RESTORE,SILENT"), 75u);
  EXPECT_EQ(on({ini, mdb, R"(T:\Old\Sub\other.dat)"}), (std::vector<bool>{false, false, false}));
}

}  // namespace
}  // namespace e2e

// The real program, started the way Setup starts it, on a tree planted on
// drive T: (a folder of the build, mapped by scripts/wine-exec).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "e2e/scenario.h"
#include "ui/layouts.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

// Enough empty folders that the second search lasts long enough to be watched.
constexpr int kBallastFolders = 1000;

void plantBallast() {
  for (int i = 0; i < kBallastFolders; ++i) fs::create_directories(fs::path(L"T:\\Ballast\\B" + std::to_wstring(i)));
}

std::vector<std::string> narrowAll(const std::vector<std::wstring>& items) {
  std::vector<std::string> out;
  for (const auto& item : items) out.push_back(narrow(item));
  return out;
}

// What the status window showed: every list a beginning of the final one;
// while the .mdb files are searched, the .ini files listed and counted.
void checkStatus(const std::vector<StatusView>& views, const std::vector<std::string>& listed) {
  ASSERT_FALSE(views.empty()) << "the status window was never read";
  std::vector<std::string> iniListed;
  for (const auto& f : listed)
    if (f.ends_with("corvane.ini")) iniListed.push_back(f);
  bool sawIniPhase = false;
  std::set<std::wstring> folders;
  for (const auto& view : views) {
    folders.insert(view.folder);
    const auto items = narrowAll(view.items);
    EXPECT_LE(items.size(), listed.size());
    EXPECT_TRUE(std::equal(items.begin(), items.begin() + std::min(items.size(), listed.size()), listed.begin()))
        << "List1 shows " << testing::PrintToString(items);
    if (!view.folder.empty()) {
      EXPECT_EQ(view.folder.rfind(L"T:\\", 0), 0u) << narrow(view.folder);
    }
    sawIniPhase |= items == iniListed && narrow(view.count) == std::to_string(iniListed.size());
  }
  EXPECT_TRUE(sawIniPhase) << "never saw the .ini files listed and counted";
  // The folder being searched shows while the search runs, not only at its end.
  EXPECT_GE(folders.size(), 3u) << "the folder label hardly changed";
}

struct CleanupCase {
  const char* name;
  std::string commandTail;
  std::vector<std::string> deleted;  // in the order listed: .ini files first
  std::vector<std::string> kept;
  std::vector<std::string> mainLines;  // Main's lines about the command line
  std::string linkedFolder;  // when set: a Unix symlink there to a folder off T:
};

const CleanupCase kCleanupCases[] = {
    {"SparesTheSkipFolder",
     R"(CLEANUP,"T:\App\")",
     {R"(T:\Old\corvane.ini)"},
     {R"(T:\App\corvane.ini)"},
     kAppMainLines,
     {}},
    {"NestedMdbAndSkipInOtherCase",
     R"("T:\PROGRAM FILES\app\",CLEANUP )",
     {R"(T:\Users\Ann\Deep\corvane.ini)", R"(T:\Program Files\Approx\Data\corvane.mdb)"},
     {R"(T:\Program Files\App\corvane.ini)", R"(T:\Program Files\App\Data\corvane.mdb)", R"(T:\Old\corvane.ini.bak)",
      R"(T:\Old\my-corvane.ini)", R"(T:\Old\corvane.txt)", R"(T:\Old\readme.txt)"},
     {R"(Parameter:"T:\PROGRAM FILES\app\" iLoop:0)", "Parameter:CLEANUP  iLoop:1", "CLEANUP parameter provided",
      R"(Skip parameter provided:|T:\PROGRAM FILES\app\|)", "int_pos:2", R"(gstr_drive:T:\)"},
     {}},
    {"DoesNotFollowFolderLinks",
     R"(CLEANUP,"T:\App\")",
     {R"(T:\Old\Deep\corvane.ini)"},
     {},
     kAppMainLines,
     R"(T:\Old\Linked)"},
};

void PrintTo(const CleanupCase& c, std::ostream* os) { *os << c.name; }

class Cleanup : public testing::TestWithParam<CleanupCase> {};

TEST_P(Cleanup, DeletesWhatIsListedAndTracesIt) {
  const auto& c = GetParam();
  Sandbox box;
  for (const auto& f : c.deleted) plant(f);
  for (const auto& f : c.kept) plant(f);
  plantBallast();
  std::vector<std::string> offDrive;
  if (!c.linkedFolder.empty()) {
    const std::string target = box.file("outside");
    for (const char* name : {"corvane.ini", "corvane.mdb"}) offDrive.push_back(target + "\\" + name);
    for (const auto& f : offDrive) plant(f);
    host("ln -s " + shellQuote(hostPath(widen(target))) + " " + shellQuote(hostPath(widen(c.linkedFolder))));
    ASSERT_TRUE(exists(c.linkedFolder + "\\corvane.ini")) << "the link does not lead to the files";
  }

  Process app = Process::start(box.exe(), c.commandTail);
  ASSERT_TRUE(app.running());
  confirm(app);
  if (HasFatalFailure()) return;
  HWND status = waitStatusWindow(app, kStep);
  ASSERT_TRUE(status) << "no status window";
  checkStatus(watchStatus(app, status, Ms(60000)), c.deleted);

  EXPECT_EQ(app.waitExit(kStep), std::optional<DWORD>(0));
  for (const auto& f : c.deleted) EXPECT_FALSE(exists(f)) << f;
  for (const auto& f : c.kept) EXPECT_TRUE(exists(f)) << f;
  for (const auto& f : offDrive) EXPECT_TRUE(exists(f)) << f;
  EXPECT_EQ(box.log(), cleanupTrace(c.mainLines, c.deleted));
}

INSTANTIATE_TEST_SUITE_P(Automatic, Cleanup, testing::ValuesIn(kCleanupCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Automatic, DecliningEndsWithoutTouchingAnything) {
  Sandbox box;
  const std::vector<std::string> tree = {R"(T:\Old\corvane.ini)", R"(T:\Old\corvane.mdb)", R"(T:\App\corvane.ini)"};
  for (const auto& f : tree) plant(f);

  Process app = Process::start(box.exe(), R"(CLEANUP,"T:\App\")");
  auto ask = waitMessageBox(app, kTitle, kStart);
  ASSERT_TRUE(ask);
  EXPECT_EQ(ask->text, kAsk);
  ASSERT_TRUE(answer(ask->hwnd, IDNO));

  EXPECT_EQ(app.waitExit(kStep), std::optional<DWORD>(0));
  for (const auto& f : tree) EXPECT_TRUE(exists(f)) << f;
  EXPECT_EQ(box.log(), (std::vector<std::string>{
                           "Starting Trace at {when}", "Start:{when}", "Parameter:CLEANUP iLoop:0",
                           "CLEANUP parameter provided", R"(Parameter:"T:\App\" iLoop:1)",
                           R"(Skip parameter provided:|T:\App\|)", "int_pos:2", R"(gstr_drive:T:\)", "End:{when}"}));
}

TEST(Automatic, TheLogGoesToTheProductFolderWhenItExistsAndRunsAppend) {
  Sandbox box;
  const std::vector<std::string> declined = {"Starting Trace at {when}",   "Start:{when}",
                                             "Parameter:CLEANUP iLoop:0",  "CLEANUP parameter provided",
                                             "Skip parameter provided:||", "End:{when}"};
  const auto decline = [&] {
    Process app = Process::start(box.exe(), "CLEANUP");
    auto ask = waitMessageBox(app, kTitle, kStart);
    ASSERT_TRUE(ask);
    ASSERT_TRUE(answer(ask->hwnd, IDNO));
    EXPECT_EQ(app.waitExit(kStep), std::optional<DWORD>(0));
  };
  decline();
  decline();
  std::vector<std::string> twice = declined;
  twice.insert(twice.end(), declined.begin(), declined.end());
  EXPECT_EQ(box.log(), twice);
  EXPECT_FALSE(exists(box.file("corvanefilecleanup.log"))) << "nothing beside the program";

  const std::string product = appDataFolder() + "\\corvane3";
  ASSERT_TRUE(fs::create_directory(product));
  decline();
  EXPECT_EQ(box.log(Sandbox::logPath(product)), declined);
  EXPECT_EQ(box.log(), twice) << "the application-data folder's log is left alone";
}

// A leftover that cannot be deleted is reported in the program's own dialog
// (no report object is registered in the test prefix); drive U:.
class ReadOnlyLeftover : public testing::Test {
 protected:
  const std::string first = R"(U:\A\corvane.ini)", locked = R"(U:\B\corvane.mdb)", spared = R"(U:\App\corvane.mdb)";

  // Runs the cleanup up to the report of the failed deletion.
  void SetUp() override {
    for (const auto& f : {first, locked, spared}) plant(f);
    host("chmod a-w " + shellQuote(hostPath(widen(locked))));
    app.emplace(Process::start(box.exe(), R"(CLEANUP,"U:\App\")"));
    confirm(*app);
    if (HasFatalFailure()) return;
    status = waitStatusWindow(*app, kStep);
    ASSERT_TRUE(status) << "no status window";
    auto shown = waitReportDialog(*app, kStep);
    ASSERT_TRUE(shown) << "no report";
    report = *shown;
    checkReport(report, L"DeleteFiles", L"103");
    EXPECT_NE(variables(report).find(L"\ti\tInteger\t1\r\n"), std::wstring::npos) << narrow(variables(report));
    EXPECT_NE(variables(report).find(L"\tstr_files\tString()\t("), std::wstring::npos);
    // Modal: the status window takes no input meanwhile.
    EXPECT_FALSE(IsWindowEnabled(status));
  }

  void checkReport(const ReportView& r, const std::wstring& procedure, const std::wstring& line) {
    EXPECT_EQ(r.title, kReportTitle);
    EXPECT_EQ(reportField(r, L"Error Number:"), L"75");
    EXPECT_EQ(reportField(r, L"Description:"), L"Path/File access error");
    EXPECT_EQ(reportField(r, L"Module Name:"), L"frmstatus");
    EXPECT_EQ(reportField(r, L"Procedure Name:"), procedure);
    EXPECT_EQ(reportField(r, L"Line Number:"), line);
    EXPECT_FALSE(reportField(r, L"Date and time:").empty());
    EXPECT_FALSE(GetWindowLongW(r.hwnd, GWL_STYLE) & WS_SYSMENU) << "a close box";
  }

  // Whether the keyboard focus is, or comes to be within a step, on the control `id`.
  static bool focusReaches(HWND dialog, int id) {
    const auto deadline = std::chrono::steady_clock::now() + kStep;
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    while (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) || GetDlgCtrlID(info.hwndFocus) != id) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      Sleep(10);
    }
    return true;
  }

  static std::wstring variables(const ReportView& r) { return r.texts.empty() ? L"" : r.texts.back(); }

  void checkLogEnds(const std::vector<std::string>& last) {
    std::vector<std::string> tail = {"Found 2 files to delete", "Delete File:" + first, "File:" + first + " Deleted!",
                                     "Delete File:" + locked};
    tail.insert(tail.end(), last.begin(), last.end());
    const auto log = box.log();
    ASSERT_GE(log.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(log.end() - static_cast<std::ptrdiff_t>(tail.size()), log.end()), tail);
  }

  Sandbox box{L"U:\\"};
  std::optional<Process> app;
  HWND status = nullptr;
  ReportView report;
};

TEST_F(ReadOnlyLeftover, IgnoreKeepsTheFileAndTheRunEndsNormally) {
  // Esc and a close request do not end the report; Tab, Tab, Enter reach Ignore.
  EXPECT_TRUE(focusReaches(report.hwnd, IDABORT));
  ASSERT_TRUE(typeKey(report.hwnd, WM_KEYDOWN, VK_ESCAPE));
  ASSERT_TRUE(closeWindow(report.hwnd));
  ASSERT_TRUE(typeKey(report.hwnd, WM_KEYDOWN, VK_TAB));
  ASSERT_TRUE(focusReaches(report.hwnd, IDRETRY));
  EXPECT_TRUE(IsWindowVisible(report.hwnd)) << "Esc or closing ended the report";
  ASSERT_TRUE(typeKey(report.hwnd, WM_KEYDOWN, VK_TAB));
  ASSERT_TRUE(focusReaches(report.hwnd, IDIGNORE));
  ASSERT_TRUE(typeKey(report.hwnd, WM_KEYDOWN, VK_RETURN));

  EXPECT_EQ(app->waitExit(kStep), std::optional<DWORD>(0));
  EXPECT_FALSE(exists(first));
  EXPECT_TRUE(exists(locked));
  EXPECT_TRUE(exists(spared));
  checkLogEnds({});
}

TEST_F(ReadOnlyLeftover, RetryDeletesTheFileOnceItIsWritable) {
  host("chmod u+w " + shellQuote(hostPath(widen(locked))));
  ASSERT_TRUE(typeKey(report.hwnd, WM_SYSCHAR, 'r'));  // Alt+R

  EXPECT_EQ(app->waitExit(kStep), std::optional<DWORD>(0));
  EXPECT_FALSE(exists(first));
  EXPECT_FALSE(exists(locked));
  EXPECT_TRUE(exists(spared));
  checkLogEnds({"File:" + locked + " Deleted!"});
}

TEST_F(ReadOnlyLeftover, AbortReportsAgainFromTheCallerThenEnds) {
  ASSERT_TRUE(answer(report.hwnd, IDABORT));
  auto caller = waitReportDialog(*app, kStep);
  ASSERT_TRUE(caller) << "no report from the caller";
  checkReport(*caller, L"Form_Activate", L"123");
  ASSERT_TRUE(answer(caller->hwnd, IDABORT));

  // Form_Activate is where the window's activation starts: the error ends there.
  auto further = waitReportDialog(*app, kStep);
  EXPECT_FALSE(further) << "a report from " << narrow(reportField(*further, L"Procedure Name:"));
  EXPECT_EQ(app->waitExit(kStep), std::optional<DWORD>(75));
  EXPECT_TRUE(exists(locked));
  checkLogEnds({});
}

TEST(Interactive, ClosingTheWindowEndsTheProgram) {
  Sandbox box;
  plant(R"(T:\Old\corvane.ini)");

  Process app = Process::start(box.exe(), "");
  HWND main = waitWindow(
      app, [](const Window& w) { return w.title == L"Cleanup Corvane Files" && w.className != L"#32770"; }, kStart);
  ASSERT_TRUE(main) << "no main window";
  const auto& layout = ui::kForm1Layout;
  EXPECT_EQ(text(child(main, layout.controlId("Command1"))), L"Find");
  EXPECT_EQ(text(child(main, layout.controlId("Command2"))), L"Delete Files");
  ASSERT_TRUE(closeWindow(main));

  EXPECT_EQ(app.waitExit(kStep), std::optional<DWORD>(0));
  EXPECT_TRUE(exists(R"(T:\Old\corvane.ini)"));
  EXPECT_EQ(box.log(), (std::vector<std::string>{"Starting Trace at {when}", "Start:{when}",
                                                 "Skip parameter provided:||",
                                                 "No cleanup parameter supplied display main screen",
                                                 "No parameters supplied display main screen", "End:{when}",
                                                 "Ending Trace at {when}"}));
}

}  // namespace
}  // namespace e2e

// The real program, started the way Setup starts it, on a tree planted on
// drive T: (a folder of the build, mapped by scripts/wine-exec).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "e2e/driver.h"
#include "ui/layouts.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const Ms kStart{30000};  // a cold Wine may take long for the first window
const Ms kStep{20000};
const std::wstring kTitle = L"Corvane File Cleanup";
const std::wstring kAsk = L"Have you previously installed Corvane on this computer?";
const std::wstring kInform = L"A file cleanup will now be performed";
// Enough empty folders that the second search lasts long enough to be watched.
constexpr int kBallastFolders = 150;

bool exists(const std::string& windowsPath) {
  return GetFileAttributesW(widen(windowsPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void plant(const std::string& windowsPath) {
  const fs::path path(widen(windowsPath));
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "left behind\r\n";
}

int host(const std::string& command) {
  const int status = runHost(command);
  EXPECT_EQ(status, 0) << command;
  return status;
}

// A private copy of the program (its log goes beside it) and an empty T:.
class Sandbox {
 public:
  Sandbox() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    const std::string unixFolder = std::string(CORVANE_E2E_WORK) + "/" + name;
    host("rm -rf " + shellQuote(unixFolder) + " && mkdir -p " + shellQuote(unixFolder) + " && find " +
         shellQuote(hostPath(L"T:\\")) + " -mindepth 1 -maxdepth 1 -exec rm -rf -- {} +");
    folder_ = narrow(dosPath(unixFolder));
    exe_ = folder_ + "\\CorvaneFileCleanup.exe";
    EXPECT_TRUE(CopyFileW(dosPath(CORVANE_EXE).c_str(), widen(exe_).c_str(), FALSE)) << exe_;
  }

  const std::string& exe() const { return exe_; }
  std::string file(const std::string& name) const { return folder_ + "\\" + name; }

  // The trace, split at CR LF; the dates are replaced by "{when}".
  std::vector<std::string> log() const {
    std::ifstream in(widen(file("corvanefilecleanup.log")).c_str(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    const std::string text = content.str();
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", at)) {
      lines.push_back(whenless(text.substr(at, end - at)));
      at = end + 2;
    }
    EXPECT_EQ(at, text.size()) << "an unfinished last line";
    for (const auto& line : lines) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    return lines;
  }

 private:
  static std::string whenless(const std::string& line) {
    static const std::regex dated("(Starting Trace at |Start:|End:|Ending Trace at )[0-9][^ ]*( [0-9].*)?");
    std::smatch m;
    return std::regex_match(line, m, dated) ? m[1].str() + "{when}" : line;
  }

  std::string folder_, exe_;
};

void plantBallast() {
  for (int i = 0; i < kBallastFolders; ++i) fs::create_directories(fs::path(L"T:\\Ballast\\B" + std::to_wstring(i)));
}

// Answers the two boxes of an automatic run: Yes, then OK.
void confirm(const Process& app) {
  auto ask = waitMessageBox(app, kTitle, kStart);
  ASSERT_TRUE(ask) << "no first box";
  EXPECT_EQ(ask->text, kAsk);
  EXPECT_EQ(ask->buttons, (std::vector<int>{IDYES, IDNO}));
  ASSERT_TRUE(answer(ask->hwnd, IDYES));

  auto inform = waitMessageBox(app, kTitle, kStep);
  ASSERT_TRUE(inform) << "no second box";
  EXPECT_EQ(inform->text.rfind(kInform, 0), 0u) << narrow(inform->text);
  EXPECT_EQ(inform->buttons, (std::vector<int>{IDOK}));
  ASSERT_TRUE(answer(inform->hwnd, IDOK));
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
  for (const auto& view : views) {
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
}

struct CleanupCase {
  const char* name;
  std::string commandTail;
  std::vector<std::string> deleted;  // in the order listed: .ini files first
  std::vector<std::string> kept;
  std::vector<std::string> log;
  std::string linkedFolder;  // when set: a Unix symlink there to a folder off T:
};

const CleanupCase kCleanupCases[] = {
    {"SparesTheSkipFolder",
     R"(CLEANUP,"T:\App\")",
     {R"(T:\Old\corvane.ini)"},
     {R"(T:\App\corvane.ini)"},
     {"Starting Trace at {when}", "Start:{when}", "Parameter:CLEANUP iLoop:0", "CLEANUP parameter provided",
      R"(Parameter:"T:\App\" iLoop:1)", R"(Skip parameter provided:|T:\App\|)", "int_pos:2", R"(gstr_drive:T:\)",
      "Start Cleanup - using commandline", "Search for corvane.ini files", R"(gstr_drive:T:\)",
      "Search for corvane.mdb files", "Found 1 files to delete", R"(Delete File:T:\Old\corvane.ini)",
      R"(File:T:\Old\corvane.ini Deleted!)"},
     {}},
    {"NestedMdbAndSkipInOtherCase",
     R"("T:\PROGRAM FILES\app\",CLEANUP )",
     {R"(T:\Users\Ann\Deep\corvane.ini)", R"(T:\Program Files\Approx\Data\corvane.mdb)"},
     {R"(T:\Program Files\App\corvane.ini)", R"(T:\Program Files\App\Data\corvane.mdb)", R"(T:\Old\corvane.ini.bak)",
      R"(T:\Old\my-corvane.ini)", R"(T:\Old\corvane.txt)", R"(T:\Old\readme.txt)"},
     {"Starting Trace at {when}", "Start:{when}", R"(Parameter:"T:\PROGRAM FILES\app\" iLoop:0)",
      "Parameter:CLEANUP  iLoop:1", "CLEANUP parameter provided", R"(Skip parameter provided:|T:\PROGRAM FILES\app\|)",
      "int_pos:2", R"(gstr_drive:T:\)", "Start Cleanup - using commandline", "Search for corvane.ini files",
      R"(gstr_drive:T:\)", "Search for corvane.mdb files", "Found 2 files to delete",
      R"(Delete File:T:\Users\Ann\Deep\corvane.ini)", R"(File:T:\Users\Ann\Deep\corvane.ini Deleted!)",
      R"(Delete File:T:\Program Files\Approx\Data\corvane.mdb)",
      R"(File:T:\Program Files\Approx\Data\corvane.mdb Deleted!)"},
     {}},
    {"DoesNotFollowFolderLinks",
     R"(CLEANUP,"T:\App\")",
     {R"(T:\Old\Deep\corvane.ini)"},
     {},
     {"Starting Trace at {when}", "Start:{when}", "Parameter:CLEANUP iLoop:0", "CLEANUP parameter provided",
      R"(Parameter:"T:\App\" iLoop:1)", R"(Skip parameter provided:|T:\App\|)", "int_pos:2", R"(gstr_drive:T:\)",
      "Start Cleanup - using commandline", "Search for corvane.ini files", R"(gstr_drive:T:\)",
      "Search for corvane.mdb files", "Found 1 files to delete", R"(Delete File:T:\Old\Deep\corvane.ini)",
      R"(File:T:\Old\Deep\corvane.ini Deleted!)"},
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
  EXPECT_EQ(box.log(), c.log);
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

TEST(Automatic, ReadOnlyLeftoverStopsTheRunWithError75) {
  Sandbox box;
  const std::string first = R"(T:\A\corvane.ini)", locked = R"(T:\B\corvane.mdb)", spared = R"(T:\App\corvane.mdb)";
  for (const auto& f : {first, locked, spared}) plant(f);
  plantBallast();
  host("chmod a-w " + shellQuote(hostPath(widen(locked))));

  Process app = Process::start(box.exe(), R"(CLEANUP,"T:\App\")");
  confirm(app);
  if (HasFatalFailure()) return;
  HWND status = waitStatusWindow(app, kStep);
  ASSERT_TRUE(status) << "no status window";
  checkStatus(watchStatus(app, status, Ms(60000)), {first, locked});

  auto error = waitMessageBox(app, L"CorvaneFileCleanup", kStep);
  ASSERT_TRUE(error) << "no error box";
  // The status window stays behind the box, showing what was to be deleted.
  const auto& layout = ui::kFrmstatusLayout;
  ASSERT_TRUE(IsWindow(status));
  EXPECT_EQ(listItems(child(status, layout.controlId("List1"))),
            std::optional(std::vector<std::wstring>{widen(first), widen(locked)}));
  EXPECT_EQ(text(child(status, layout.controlId("Label7"))), L"2");
  EXPECT_EQ(error->text, L"Run-time error '75':\n\nPath/File access error");
  EXPECT_EQ(error->buttons, (std::vector<int>{IDOK}));
  ASSERT_TRUE(answer(error->hwnd, IDOK));

  EXPECT_EQ(app.waitExit(kStep), std::optional<DWORD>(75));
  EXPECT_FALSE(exists(first));
  EXPECT_TRUE(exists(locked));
  EXPECT_TRUE(exists(spared));
  const auto log = box.log();
  const std::vector<std::string> tail = {"Found 2 files to delete", R"(Delete File:T:\A\corvane.ini)",
                                         R"(File:T:\A\corvane.ini Deleted!)", R"(Delete File:T:\B\corvane.mdb)"};
  ASSERT_GE(log.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(log.end() - static_cast<std::ptrdiff_t>(tail.size()), log.end()), tail);
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

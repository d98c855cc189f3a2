// Deletions that fail under the real program: a leftover another program holds
// open, one that vanishes between listing and deletion, and a run killed in
// the middle of its deletions; the automatic runs on drive T:, the
// interactive one on C:.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "e2e/scenario.h"
#include "ui/layouts.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

const std::string kTail = R"(CLEANUP,"T:\App\")";

Lines runHead(std::size_t found) { return cleanupHead(kAppMainLines, found); }

Lines cleanupLog(const Lines& listed, const std::set<std::string>& failed = {}) {
  return cleanupTrace(kAppMainLines, listed, failed);
}

Lines slice(const Lines& lines, std::size_t from, std::size_t to) {
  return Lines(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.begin() + static_cast<std::ptrdiff_t>(to));
}

Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The log as it is on disk at this moment, without checking its lines: it may
// be read while the program writes.
std::string rawLog() {
  std::ifstream in(widen(Sandbox::logPath()).c_str(), std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// A file held open without sharing, as by another program that uses it.
class Holder {
 public:
  explicit Holder(const std::string& path)
      : handle_(CreateFileW(widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr)) {}
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  ~Holder() { release(); }
  bool holding() const { return handle_ != INVALID_HANDLE_VALUE; }
  void release() {
    if (holding()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

void checkReport(const ReportView& r, const std::wstring& number, const std::wstring& description,
                 const std::wstring& module, const std::wstring& procedure, const std::wstring& line) {
  EXPECT_EQ(r.title, kReportTitle);
  EXPECT_EQ(reportField(r, L"Error Number:"), number);
  EXPECT_EQ(reportField(r, L"Description:"), description);
  EXPECT_EQ(reportField(r, L"Module Name:"), module);
  EXPECT_EQ(reportField(r, L"Procedure Name:"), procedure);
  EXPECT_EQ(reportField(r, L"Line Number:"), line);
}

// Three leftovers whose listing order the search fixes (a folder's own
// matches before its subfolders', every .ini before any .mdb); the fault
// meets the middle one. One more is spared in the installation folder.
class DeleteFaults : public testing::Test {
 protected:
  const std::string first = R"(T:\Old\corvane.ini)", middle = R"(T:\Old\Held\corvane.ini)",
                    last = R"(T:\Old\corvane.mdb)", spared = R"(T:\App\corvane.mdb)";
  const Lines listed{first, middle, last};

  void SetUp() override {
    for (const auto& f : {first, middle, last, spared}) plant(f);
  }

  // Starts a cleanup and answers its two boxes; the status window.
  HWND start() {
    app.emplace(Process::start(box.exe(), kTail));
    confirm(*app);
    if (HasFatalFailure()) return nullptr;
    HWND status = waitStatusWindow(*app, kStep);
    EXPECT_TRUE(status) << "no status window";
    return status;
  }

  // The report of the failed deletion of `middle`, the second entry.
  std::optional<ReportView> middleReport(const std::wstring& number, const std::wstring& description) {
    auto report = waitReportDialog(*app, kStep);
    if (!report) return report;
    checkReport(*report, number, description, L"frmstatus", L"DeleteFiles", L"103");
    EXPECT_NE(report->texts.back().find(L"\ti\tInteger\t1\r\n"), std::wstring::npos) << narrow(report->texts.back());
    return report;
  }

  // Starts a cleanup while `holder` keeps `middle` open; the report of its deletion.
  std::optional<ReportView> heldReport(const Holder& holder) {
    EXPECT_TRUE(holder.holding()) << "could not hold " << middle;
    if (!holder.holding() || !start()) return std::nullopt;
    return middleReport(L"70", L"Permission denied");
  }

  void expectOnDrive(const Lines& gone, const Lines& there) {
    for (const auto& f : gone) EXPECT_FALSE(exists(f)) << f;
    for (const auto& f : there) EXPECT_TRUE(exists(f)) << f;
  }

  Sandbox box;
  std::optional<Process> app;
};

TEST_F(DeleteFaults, HeldOpenAndIgnoredIsKeptAndTheRunCompletes) {
  Holder holder(middle);
  auto report = heldReport(holder);
  ASSERT_TRUE(report) << "no report";
  ASSERT_TRUE(answer(report->hwnd, IDIGNORE));

  EXPECT_EQ(app->waitExit(kStep), std::optional<DWORD>(0));
  expectOnDrive({first, last}, {middle, spared});
  EXPECT_EQ(box.log(), cleanupLog(listed, {middle}));
}

TEST_F(DeleteFaults, HeldOpenIsReportedAgainOnRetryAndDeletedOnceLetGo) {
  Holder holder(middle);
  auto report = heldReport(holder);
  ASSERT_TRUE(report) << "no report";
  ASSERT_TRUE(answer(report->hwnd, IDRETRY));
  auto again = middleReport(L"70", L"Permission denied");
  ASSERT_TRUE(again) << "Retry while the file is held did not report again";
  EXPECT_TRUE(exists(middle));
  holder.release();
  ASSERT_TRUE(answer(again->hwnd, IDRETRY));

  EXPECT_EQ(app->waitExit(kStep), std::optional<DWORD>(0));
  expectOnDrive({first, middle, last}, {spared});
  EXPECT_EQ(box.log(), cleanupLog(listed));
}

// The listed file goes after the status window showed it, while the second
// search still runs; a folder of its name may take its place.
struct Vanishing {
  const char* name;
  bool folderInstead;
  std::wstring number, description;
};

const Vanishing kVanishing[] = {
    {"Vanished", false, L"53", L"File not found"},
    {"ReplacedByAFolder", true, L"75", L"Path/File access error"},
};

void PrintTo(const Vanishing& v, std::ostream* os) { *os << v.name; }

class VanishingLeftover : public DeleteFaults, public testing::WithParamInterface<Vanishing> {};

TEST_P(VanishingLeftover, IsReportedAndIgnoreGoesOn) {
  const auto& c = GetParam();
  // The second search walks these too: time to remove the listed file before
  // the deletions begin.
  for (int i = 0; i < 400; ++i) fs::create_directories(fs::path(L"T:\\Ballast\\B" + std::to_wstring(i)));
  HWND status = start();
  ASSERT_TRUE(status);
  const HWND list = child(status, ui::kFrmstatusLayout.controlId("List1"));
  const auto deadline = Clock::now() + kStep;
  bool shown = false;
  while (!shown && app->running() && Clock::now() < deadline) {
    const auto items = listItems(list, Ms(500));
    shown = items && std::find(items->begin(), items->end(), widen(middle)) != items->end();
    if (!shown) std::this_thread::sleep_for(Ms(2));
  }
  ASSERT_TRUE(shown) << "the status window never listed " << middle;
  ASSERT_TRUE(DeleteFileW(widen(middle).c_str())) << "the program was quicker: more ballast";
  if (c.folderInstead) plant(middle + R"(\kept.txt)");
  ASSERT_EQ(occurrences(rawLog(), "Found "), 0u) << "removed after the searches ended";

  auto report = middleReport(c.number, c.description);
  ASSERT_TRUE(report) << "no report";
  ASSERT_TRUE(answer(report->hwnd, IDIGNORE));

  EXPECT_EQ(app->waitExit(kStep), std::optional<DWORD>(0));
  expectOnDrive({first, last}, {spared});
  EXPECT_EQ(exists(middle + R"(\kept.txt)"), c.folderInstead) << "the folder in its place was deleted";
  EXPECT_EQ(box.log(), cleanupLog(listed, {middle}));
}

INSTANTIATE_TEST_SUITE_P(DeleteFaults, VanishingLeftover, testing::ValuesIn(kVanishing),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeleteFaults, KilledDuringAReportKeepsItsLinesAndTheNextRunAppends) {
  Holder holder(middle);
  ASSERT_TRUE(heldReport(holder)) << "no report";
  app->kill();
  ASSERT_TRUE(app->waitExit(kStep)) << "still running after the kill";

  const Lines killed =
      runHead(listed.size()) + Lines{"Delete File:" + first, "File:" + first + " Deleted!", "Delete File:" + middle};
  EXPECT_EQ(box.log(), killed);
  expectOnDrive({first}, {middle, last, spared});

  holder.release();
  ASSERT_TRUE(start());
  EXPECT_EQ(app->waitExit(kStep), std::optional<DWORD>(0));
  expectOnDrive({first, middle, last}, {spared});
  EXPECT_EQ(box.log(), killed + cleanupLog({middle, last}));
}

// The deletions of one run as traced: each "Delete File:" line, and whether
// its "Deleted!" line follows. Anything else after the head is a fault.
struct Deletions {
  std::vector<std::pair<std::string, bool>> attempts;
  bool wellFormed = true;
};

Deletions deletions(const Lines& lines) {
  Deletions d;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.starts_with("Delete File:")) {
      d.wellFormed = false;
      continue;
    }
    const std::string path = line.substr(12);
    const bool deleted = i + 1 < lines.size() && lines[i + 1] == "File:" + path + " Deleted!";
    d.attempts.emplace_back(path, deleted);
    if (deleted) ++i;
  }
  return d;
}

TEST_F(DeleteFaults, KilledWhileDeletingLeavesWholeLinesThatMatchTheDrive) {
  // Killed at no chosen moment: what the log says was deleted is gone, what it
  // never named is there, and the next run picks up the rest.
  Lines all = listed;
  for (int i = 0; i < 300; ++i) all.push_back(R"(T:\Many\F)" + std::to_string(i) + R"(\corvane.ini)");
  for (const auto& f : all) plant(f);
  const std::set<std::string> planted(all.begin(), all.end());

  ASSERT_TRUE(start());
  const auto deadline = Clock::now() + Ms(60000);
  while (occurrences(rawLog(), " Deleted!\r\n") < 5 && app->running() && Clock::now() < deadline)
    std::this_thread::sleep_for(Ms(1));
  app->kill();
  ASSERT_TRUE(app->waitExit(kStep)) << "still running after the kill";

  const Lines killed = box.log();  // every line whole
  const Lines head = runHead(all.size());
  ASSERT_GE(killed.size(), head.size());
  EXPECT_EQ(slice(killed, 0, head.size()), head);
  const auto firstRun = deletions(slice(killed, head.size(), killed.size()));
  EXPECT_TRUE(firstRun.wellFormed) << testing::PrintToString(killed);
  ASSERT_GE(firstRun.attempts.size(), 5u) << "killed before the deletions";
  ASSERT_LT(firstRun.attempts.size(), all.size()) << "killed after the deletions: more leftovers";
  std::set<std::string> named;
  for (std::size_t i = 0; i < firstRun.attempts.size(); ++i) {
    const auto& [path, deleted] = firstRun.attempts[i];
    EXPECT_TRUE(planted.contains(path) && named.insert(path).second) << "not a leftover, or named twice: " << path;
    EXPECT_TRUE(deleted || i + 1 == firstRun.attempts.size()) << "no \"Deleted!\" line for " << path;
    if (deleted) {
      EXPECT_FALSE(exists(path)) << "traced as deleted but there: " << path;
    }
  }
  Lines left;
  for (const auto& f : all) {
    if (!named.contains(f)) {
      EXPECT_TRUE(exists(f)) << "deleted without a trace line: " << f;
    }
    if (exists(f)) left.push_back(f);
  }

  ASSERT_TRUE(start());
  EXPECT_EQ(app->waitExit(Ms(60000)), std::optional<DWORD>(0));
  expectOnDrive(all, {spared});
  const Lines both = box.log();
  ASSERT_GE(both.size(), killed.size() + head.size());
  EXPECT_EQ(slice(both, 0, killed.size()), killed) << "the next run appends";
  EXPECT_EQ(slice(both, killed.size(), killed.size() + head.size()), runHead(left.size()));
  const auto secondRun = deletions(slice(both, killed.size() + head.size(), both.size()));
  EXPECT_TRUE(secondRun.wellFormed);
  std::set<std::string> deletedNow;
  for (const auto& [path, deleted] : secondRun.attempts)
    if (deleted) deletedNow.insert(path);
  EXPECT_EQ(deletedNow, std::set<std::string>(left.begin(), left.end()));
  EXPECT_EQ(secondRun.attempts.size(), left.size());
}

// Delete Files of the interactive window, on C:, which its Find searches whole.
TEST(DeleteFaultsInteractive, HeldOpenIsReportedIgnoreDeletesTheRest) {
  const std::string planted = R"(C:\corvane-e2e-faults)";
  const std::string first = planted + R"(\Old\corvane.ini)", middle = planted + R"(\Old\Held\corvane.ini)",
                    last = planted + R"(\Old\corvane.mdb)";
  fs::remove_all(fs::path(widen(planted)));
  struct Tidy {
    std::string folder;
    ~Tidy() { fs::remove_all(fs::path(widen(folder))); }
  } tidy{planted};
  Sandbox box;  // the log; drive T: stays empty
  for (const auto& f : {first, middle, last}) plant(f);
  Holder holder(middle);
  ASSERT_TRUE(holder.holding());

  Process app = Process::start(box.exe(), "");
  const auto& layout = ui::kForm1Layout;
  HWND main = waitWindow(
      app, [&](const Window& w) { return w.title == widen(layout.caption) && w.className != L"#32770"; }, kStart);
  ASSERT_TRUE(main) << "no main window";
  const HWND count = child(main, layout.controlId("Label5")), list = child(main, layout.controlId("List1"));
  ASSERT_TRUE(press(main, layout.controlId("Command1")));
  const auto deadline = Clock::now() + Ms(300000);
  while (text(count).empty() && app.running() && Clock::now() < deadline) std::this_thread::sleep_for(Ms(10));
  const std::vector<std::wstring> found{widen(first), widen(middle), widen(last)};
  ASSERT_EQ(listItems(list), std::optional(found));

  ASSERT_TRUE(press(main, layout.controlId("Command2")));
  const auto ask = waitMessageBox(app, L"Delete Found Files", kStep);
  ASSERT_TRUE(ask) << "no question";
  ASSERT_TRUE(answer(ask->hwnd, IDYES));
  const auto report = waitReportDialog(app, kStep);
  ASSERT_TRUE(report) << "no report";
  checkReport(*report, L"70", L"Permission denied", L"Form1", L"Command2_Click", L"102");
  EXPECT_FALSE(IsWindowEnabled(main)) << "the window takes input under its report";
  EXPECT_TRUE(exists(middle));
  ASSERT_TRUE(answer(report->hwnd, IDIGNORE));

  const auto done = waitMessageBox(app, L"Deleted", kStep);
  ASSERT_TRUE(done) << "no closing box";
  EXPECT_EQ(done->text, L"Files deleted!");
  ASSERT_TRUE(answer(done->hwnd, IDOK));
  EXPECT_FALSE(exists(first));
  EXPECT_TRUE(exists(middle));
  EXPECT_FALSE(exists(last));
  EXPECT_EQ(listItems(list), std::optional(found)) << "the entries stay listed";

  ASSERT_TRUE(closeWindow(main));
  EXPECT_EQ(app.waitExit(kStep), std::optional<DWORD>(0));
  EXPECT_EQ(box.log(), (Lines{"Starting Trace at {when}", "Start:{when}", "Skip parameter provided:||",
                              "No cleanup parameter supplied display main screen",
                              "No parameters supplied display main screen", "End:{when}", "Ending Trace at {when}"}));
}

}  // namespace
}  // namespace e2e

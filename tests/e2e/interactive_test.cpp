// The interactive window at work on drive C: of the prefix, which its Find
// searches whole: the look of the window, Find, Delete Files with a leftover
// another program holds open, a second Find, and closing.
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "e2e/driver.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

TEST(Interactive, FindListsDeleteFilesDeletesAndClosingEnds) {
  const std::string planted = R"(C:\corvane-e2e)";
  host("rm -rf " + shellQuote(unixPath(planted)));  // links and all
  Sandbox box;  // the log; T: stays empty
  // Names in another letter case, in scripts the code page lacks, past 259 characters.
  const std::string tail = R"(\A\旧版本\😀 Старые\)" + std::string(240, 'd') + "\\Corvane.Mdb";
  const std::string first = planted + R"(\Old\CORVANE.INI)", held = planted + R"(\Old\Held\corvane.ini)",
                    mdb = planted + R"(\Deep)" + tail;
  for (const auto& f : {first, held, mdb, planted + R"(\Old\corvane.ini.bak)"}) plant(f);
  // Folders enough that a Find lasts until the buttons have been pressed.
  for (int i = 0; i < 300; ++i) fs::create_directories(widen(planted + R"(\Ballast\B)" + std::to_string(i)));
  const HANDLE holder = CreateFileW(widen(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);

  Process app = Process::start(box.exe(), "");
  const auto& layout = ui::kForm1Layout;
  HWND main = waitForm(app, layout);
  ASSERT_TRUE(main) << "no main window";
  checkCaptions(main, layout);
  const HWND folder = control(main, layout, "Label2"), count = control(main, layout, "Label5");
  // Presses Find and waits for its count; the list then.
  const auto find = [&] {
    const std::wstring before = text(count);
    std::vector<std::wstring> folders;
    bool pressed = false;
    EXPECT_TRUE(press(main, layout.controlId("Command1")));
    poll(app, Ms(600000), [&]() -> HWND {
      if (folders.empty() || text(folder) != folders.back()) folders.push_back(text(folder));
      // While it runs the window answers and ignores both buttons: a second Find, a deletion's question.
      if (folders.size() == 3 && !std::exchange(pressed, true)) {
        EXPECT_TRUE(pressNow(main, layout.controlId("Command1"), kStep) && pressNow(main, layout.controlId("Command2"), kStep));
        EXPECT_EQ(text(count), before) << "the Find ended before the presses arrived";
      }
      return text(count) == before ? nullptr : main;
    });
    EXPECT_GT(folders.size(), 3u) << "the folder label hardly changed during the Find";
    return listItems(control(main, layout, "List1")).value_or(std::vector<std::wstring>{});
  };
  const std::vector<std::wstring> found{widen(first), widen(held), widen(mdb)};
  EXPECT_EQ(find(), found);
  EXPECT_EQ(text(count), L"3");

  const auto deleteFiles = [&](int reply) {
    EXPECT_TRUE(press(main, layout.controlId("Command2")));
    const auto ask = waitMessageBox(app, L"Delete Found Files", kStep);
    ASSERT_TRUE(ask) << "no question (or one left from a press during the Find)";
    EXPECT_EQ(ask->text, L"Delete Files?");
    EXPECT_EQ(ask->buttons, (std::vector<int>{IDYES, IDNO}));
    ASSERT_TRUE(answer(ask->hwnd, reply));
  };
  deleteFiles(IDNO);
  EXPECT_TRUE(exists(first) && exists(mdb)) << "deleted on No";
  // Since the Find, Deep has become a link to another drive's folder that holds the same names.
  const std::string away = R"(U:\Install)", deep = shellQuote(unixPath(planted + R"(\Deep)"));
  plant(away + tail);
  host("mv " + deep + " " + deep + ".aside && ln -s " + shellQuote(unixPath(away)) + " " + deep);
  deleteFiles(IDYES);
  for (const char* expected : {"70 Permission denied Form1.Command2_Click@102", "75 Path/File access error Form1.Command2_Click@102"}) {
    const auto report = waitReportDialog(app, kStep);
    ASSERT_TRUE(report) << "no report: " << expected;
    EXPECT_EQ(report->summary(), expected);
    EXPECT_FALSE(IsWindowEnabled(main)) << "the window takes input under its report";
    ASSERT_TRUE(answer(report->hwnd, IDIGNORE));
  }
  const auto done = waitMessageBox(app, L"Deleted", kStep);
  ASSERT_TRUE(done) << "no closing box";
  EXPECT_EQ(done->text, L"Files deleted!");
  ASSERT_TRUE(answer(done->hwnd, IDOK));
  CloseHandle(holder);
  EXPECT_FALSE(exists(first));
  EXPECT_TRUE(exists(held) && exists(planted + R"(\Old\corvane.ini.bak)") && exists(away + tail));
  host("rm " + deep + " && mv " + deep + ".aside " + deep);
  EXPECT_TRUE(exists(mdb));

  EXPECT_EQ(keptFiles(), (std::map<std::string, std::string>{{first, "left behind\r\n"}}));

  // A second Find adds to the list, which kept its entries; what was kept is not found again.
  EXPECT_EQ(find(), (std::vector<std::wstring>{widen(first), widen(held), widen(mdb), widen(held), widen(mdb)}));
  EXPECT_EQ(text(count), L"5");
  ASSERT_TRUE(PostMessageW(main, WM_CLOSE, 0, 0));
  EXPECT_EQ(app.waitExit(kStep), std::optional<DWORD>(0));
  EXPECT_EQ(box.log(), (Lines{"Starting Trace at {when}", "Start:{when}", "Skip parameter provided:||",
                              "No cleanup parameter supplied display main screen",
                              "No parameters supplied display main screen", "End:{when}", "Ending Trace at {when}"}));
}

// RESTORE: the kept files in a list, all selected; Restore puts them back and says how many went; Close ends it.
TEST(Interactive, RestoreWindowPutsBackTheSelectedFiles) {
  Sandbox box;
  const std::string ini = R"(T:\Old\corvane.ini)", mdb = R"(T:\Old\corvane.mdb)";
  for (const auto& f : {ini, mdb}) plant(f);
  Process cleanup = Process::start(box.exe(), R"(CLEANUP,SILENT,"T:\App\")");
  ASSERT_EQ(cleanup.waitExit(Ms(60000)), std::optional<DWORD>(0));
  plant(mdb);  // a file now at the place
  Process app = Process::start(box.exe(), "RESTORE");
  const auto& layout = ui::kFrmrestoreLayout;
  HWND window = waitForm(app, layout);
  ASSERT_TRUE(window) << "no window";
  checkCaptions(window, layout);
  const HWND list = control(window, layout, "List1");
  const auto items = listItems(list).value_or(std::vector<std::wstring>{});
  ASSERT_EQ(items.size(), 2u);
  EXPECT_TRUE(items[0].ends_with(L"   " + widen(mdb)) && items[1].ends_with(L"   " + widen(ini))) << "newest first";
  EXPECT_EQ(send(list, LB_GETSELCOUNT, 0, 0), std::optional<LRESULT>(2)) << "all selected";
  EXPECT_TRUE(press(window, layout.controlId("Command1")));
  const auto said = waitMessageBox(app, L"Restore Corvane Files", kStep);
  ASSERT_TRUE(said) << "no message";
  EXPECT_EQ(said->text, L"1 file restored.\r\n\r\nStill kept:\r\n" + widen(mdb) + L": File already exists (58)");
  ASSERT_TRUE(answer(said->hwnd, IDOK));
  EXPECT_TRUE(exists(ini));
  EXPECT_EQ(listItems(list).value_or(std::vector<std::wstring>{}).size(), 1u) << "what went back is no longer listed";
  EXPECT_TRUE(press(window, layout.controlId("Command2")));
  EXPECT_EQ(app.waitExit(kStep), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace e2e

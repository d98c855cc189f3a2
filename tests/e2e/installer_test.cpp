// The installer examples, built around the program (examples/setup.nsi by
// makensis, examples/msi/product.wxs by wixl): each installs it in
// T:\Program Files\Corvane\ and calls it as Setup does; the NSIS script must
// receive its exit code, and the package must go on whatever the code.
#include <gtest/gtest.h>

#include "e2e/driver.h"

namespace e2e {
namespace {

using namespace std::string_literals;

// A leftover outside the installation folder, free, then one the cleanup
// cannot delete (read-only: error 75, Abort to every report when attended).
// `switches` start the installer: NSIS's as a person would or silent (/S), msiexec's quiet (/qn) or basic (/qb).
void install(const std::string& switches) {
  const bool msi = switches.starts_with("/q"), attended = switches == "/D=";
  if (const char* skipped = msi ? CORVANE_MSI_SKIPPED : CORVANE_SETUP_SKIPPED; *skipped) GTEST_SKIP() << skipped;
  const std::string folder = R"(T:\Program Files\Corvane)", leftover = R"(T:\Old\corvane.ini)";
  // Every call names the folder: Wine's msiexec does not recall it on repair or removal.
  const std::string package = " \"" + narrow(dosPath(CORVANE_MSI)) + "\" INSTALLDIR=\"" + folder + "\"";
  const auto msiexec = [&](const char* s) { return Process::start(R"(C:\windows\system32\msiexec.exe)", s + package); };
  for (const bool stuck : {false, true}) {
    SCOPED_TRACE(stuck ? "read-only" : "free");
    Sandbox box;
    if (msi) msiexec("/qn /x").waitExit(Ms(60000));  // a package left installed by an earlier run counts as Installed
    plant(leftover);
    if (stuck) host("chmod a-w " + shellQuote(unixPath(leftover)));
    Process setup = msi ? msiexec(switches.c_str()) : Process::start(narrow(dosPath(CORVANE_SETUP)), switches + folder);
    if (attended) {  // a person's part: Install, Yes and OK, Abort to every report, Close
      const auto button = [&](Ms timeout) {
        return waitFor(setup, timeout, [](HWND w) { return IsWindowEnabled(GetDlgItem(w, IDOK)) ? w : nullptr; });
      };
      ASSERT_TRUE(press(button(kStart), IDOK)) << "no installer window";
      Process app = Process::showing(kTitle, kStart);
      confirm(app);
      while (auto report = waitReportDialog(app, kStep)) ASSERT_TRUE(answer(report->hwnd, IDABORT));
      ASSERT_TRUE(press(button(kStep), IDOK)) << "no Close";
    }
    // Unattended, its status window is there but hidden: no window of it may show while the install runs.
    while (!attended && setup.running()) confirm(Process::showing(kTitle, Ms(100)), true);
    EXPECT_EQ(setup.waitExit(Ms(60000)), std::optional<DWORD>(0));
    EXPECT_FALSE(Process::showing(kTitle, Ms(0)).running()) << "the program still runs";
    EXPECT_EQ(exists(leftover), stuck);
    EXPECT_TRUE(exists(folder + R"(\corvane.ini)") && exists(folder + R"(\CorvaneFileCleanup.exe)")) << "not installed";
    EXPECT_EQ(Sandbox::read(folder + R"(\install.log)"),  // the NSIS script's
              msi ? "" : std::string("Cleanup of earlier files: ") + (stuck ? "75" : "0") + "\r\n");
    if (attended) continue;
    for (const char* again : {"/qn REINSTALL=ALL /i", "/qn /x"})  // a repair, a removal: neither may add to the log
      EXPECT_TRUE(!msi || msiexec(again).waitExit(Ms(60000)) == std::optional<DWORD>(0)) << again;
    // The log in the application-data folder; of a report, its title, number and answer (the fault tests read it).
    Lines log = box.log();
    if (const auto title = std::find(log.begin(), log.end(), "CorvaneFileCleanup - Error"); log.end() - title > 2)
      log.erase(title + 2, std::find(title, log.end(), "Answer: Ignore"));
    EXPECT_EQ(log, cleanupTrace({"Parameter:CLEANUP iLoop:0", "CLEANUP parameter provided", "Parameter:SILENT iLoop:1",
                                 "SILENT parameter provided", "Parameter:\"" + folder + "\\\" iLoop:2",
                                 "Skip parameter provided:|" + folder + "\\|", "int_pos:2", R"(gstr_drive:T:\)"},
                                {leftover}, {stuck ? leftover : ""}) +
                       (stuck ? Lines{"CorvaneFileCleanup - Error", "Error Number: 75", "Answer: Ignore"} : Lines{}));
  }
}

// An install that fails after the cleanup (a later step of the package ends badly) rolls back: the leftovers the
// cleanup deleted come back, byte for byte, and the product goes.
TEST(Installer, PackageThatFailsAfterTheCleanupPutsTheLeftoversBack) {
  if (*CORVANE_MSI_SKIPPED) GTEST_SKIP() << CORVANE_MSI_SKIPPED;
  Sandbox box;
  const std::string folder = R"(T:\Program Files\Corvane)", leftover = R"(T:\Old\corvane.mdb)",
                    whole = "an\0earlier\xff database\r\n"s;
  Process::start(R"(C:\windows\system32\msiexec.exe)", "/qn /x \"" + narrow(dosPath(CORVANE_MSI)) + "\"").waitExit(Ms(60000));
  fs::create_directories(widen(R"(T:\Old)"));
  std::ofstream(widen(leftover).c_str(), std::ios::binary) << whole;
  Process setup = Process::start(R"(C:\windows\system32\msiexec.exe)",
                                 "/qn /i \"" + narrow(dosPath(CORVANE_MSI_FAILS)) + "\" INSTALLDIR=\"" + folder + "\"");
  const auto code = setup.waitExit(Ms(60000));
  EXPECT_TRUE(code == std::optional<DWORD>(1603) || code == std::optional<DWORD>(1627)) << "not failed: " << code.value_or(0);
  EXPECT_EQ(Sandbox::read(leftover), whole);
  EXPECT_FALSE(exists(folder + R"(\CorvaneFileCleanup.exe)")) << "still installed";
  EXPECT_EQ(keptFiles(), (std::map<std::string, std::string>{}));
}

TEST(Installer, AttendedCallHandsTheExitCodeToTheScript) { install("/D="); }
TEST(Installer, UnattendedCallHandsTheExitCodeToTheScript) { install("/S /D="); }
TEST(Installer, PackageRunsTheCleanupUnseenAndGoesOn) { install("/qn /i"); }
TEST(Installer, PackageWithItsBasicInterfaceShowsNoWindowOfTheCleanup) { install("/qb /i"); }

}  // namespace
}  // namespace e2e

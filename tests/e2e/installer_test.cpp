// The installer example (examples/setup.nsi), built by makensis around the
// program: it installs it in T:\Program Files\Corvane\ and calls it as Setup
// does, and its script must receive the program's exit code.
#include <gtest/gtest.h>

#include "e2e/driver.h"

namespace e2e {
namespace {

// A leftover outside the installation folder, free, then held open by another
// program (the cleanup stops at error 70); `silent` installs with /S.
void install(bool silent) {
  if (*CORVANE_SETUP_SKIPPED) GTEST_SKIP() << CORVANE_SETUP_SKIPPED;
  for (const bool held : {false, true}) {
    SCOPED_TRACE(held ? "held open" : "free");
    Sandbox box;
    const std::string folder = R"(T:\Program Files\Corvane)", leftover = R"(T:\Old\corvane.ini)";
    plant(leftover);
    const HANDLE holder =
        held ? CreateFileW(widen(leftover).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
             : INVALID_HANDLE_VALUE;
    Process setup = Process::start(narrow(dosPath(CORVANE_SETUP)), (silent ? "/S /D=" : "/D=") + folder);
    if (!silent) {  // a person's part: Install, Yes and OK, Abort to every report, Close
      const auto button = [&](Ms timeout) {
        return waitFor(setup, timeout, [](HWND w) { return IsWindowEnabled(GetDlgItem(w, IDOK)) ? w : nullptr; });
      };
      ASSERT_TRUE(press(button(kStart), IDOK)) << "no installer window";
      Process app = Process::showing(kTitle, kStart);
      confirm(app);
      while (auto report = waitReportDialog(app, kStep)) ASSERT_TRUE(answer(report->hwnd, IDABORT));
      ASSERT_TRUE(press(button(kStep), IDOK)) << "no Close";
    }
    EXPECT_EQ(setup.waitExit(Ms(60000)), std::optional<DWORD>(0));
    EXPECT_FALSE(Process::showing(kTitle, Ms(0)).running()) << "the program still runs";
    if (held) CloseHandle(holder);
    EXPECT_EQ(exists(leftover), held);
    EXPECT_TRUE(exists(folder + R"(\corvane.ini)")) << "the installed file";
    EXPECT_EQ(Sandbox::read(folder + R"(\install.log)"),
              std::string("Cleanup of earlier files: ") + (held ? "70" : "0") + "\r\n");
  }
}

TEST(Installer, AttendedCallHandsTheExitCodeToTheScript) { install(false); }

TEST(Installer, UnattendedCallHandsTheExitCodeToTheScript) { install(true); }

}  // namespace
}  // namespace e2e

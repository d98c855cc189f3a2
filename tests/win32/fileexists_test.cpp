// The existence test against the real file list of the hidden window.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32/services.h"
#include "trace/trace.h"
#include "ui/win32/window_host.h"

namespace {

TEST(FileExists, ListsTheProgramsFolderInAHiddenWindowAndOpensTheRest) {
  win32::FileSystem fileSystem;
  win32::TextFiles files;
  win32::Process process;
  win32::Desktop desktop;
  win32::WindowHost host;
  platform::install({&fileSystem, &files, &process, &desktop});
  ui::install(&host);

  const std::string folder = process.AppPath() + "\\";
  const std::string held = folder + "held-without-sharing.txt";
  const HANDLE lock = CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);

  const struct {
    std::string path;
    bool bdir, expected;
  } cases[] = {
      {held, true, true},    // listed, though it cannot be opened
      {held, false, false},  // cannot be opened
      {folder + "WIN32_TESTS.EXE", true, true},
      {folder + "win32_tests.exe", false, true},
      {folder + "missing.txt", true, false},
      {folder, true, false},
      {"", true, false},
  };
  for (const auto& c : cases) EXPECT_EQ(TRACE::FileExists(c.path, c.bdir), c.expected) << c.path << " " << c.bdir;
  for (int n = 1; n <= 255; ++n) EXPECT_FALSE(files.IsOpen(n)) << n;

  const HWND pictures = FindWindowA(nullptr, "Pictures");
  ASSERT_NE(pictures, nullptr);
  EXPECT_FALSE(IsWindowVisible(pictures));
  EXPECT_FALSE(host.AnyOpen()) << "a hidden window keeps nothing alive";

  CloseHandle(lock);
  DeleteFileA(held.c_str());
  platform::install({});
  ui::install(nullptr);
}

}  // namespace

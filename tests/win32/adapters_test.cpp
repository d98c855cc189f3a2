// What a whole run does not show: the command line cut on every shape, and
// the special folders through the real loader and shell in both of their ways.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32/services.h"
#include "sysfolders/csystemfolders.h"

namespace {

TEST(CommandLineArguments, CutsTheProgramName) {
  const struct {
    const char *full, *expected;
  } cases[] = {
      {"", ""},
      {"prog.exe", ""},
      {"prog.exe   CLEANUP,\"C:\\App\\\"", "CLEANUP,\"C:\\App\\\""},
      {"prog.exe\tCLEANUP", "CLEANUP"},
      {"prog.exe \t  a b  ", "a b  "},
      {"\"C:\\Program Files\\prog.exe\" CLEANUP", "CLEANUP"},
      {"\"C:\\Program Files\\prog.exe\"CLEANUP", "CLEANUP"},
      {"\"C:\\Program Files\\prog.exe\"   ", ""},
      {"\"unclosed name", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(win32::commandLineArguments(c.full), c.expected) << c.full;
}

// A loader that finds nothing, so the class takes the shell's older way.
class NoLibraries final : public platform::Libraries {
 public:
  platform::ModuleHandle GetModuleHandleA(const std::string&) override { return 0; }
  platform::ModuleHandle LoadLibraryA(const std::string&) override { return 0; }
  platform::ProcAddress GetProcAddress(platform::ModuleHandle, const std::string&) override { return 0; }
  bool FreeLibrary(platform::ModuleHandle) override { return false; }
};

bool shfolderLoaded() { return GetModuleHandleA("shfolder") != nullptr; }

TEST(CSystemFolders, ResolvesTheSameFoldersBothWaysAndLeavesTheLoaderAsItFoundIt) {
  win32::FileSystem files;
  win32::Libraries libraries;
  NoLibraries none;
  win32::SpecialFolders shell;
  ASSERT_FALSE(shfolderLoaded()) << "something else holds shfolder; the test cannot tell";
  for (platform::Libraries* loader : std::initializer_list<platform::Libraries*>{&none, &libraries}) {
    platform::install({&files, nullptr, nullptr, nullptr, loader, &shell});
    CSystemFolders sf;
    SCOPED_TRACE(sf.Enhanced() ? "enhanced" : "fallback");
    EXPECT_EQ(sf.Enhanced(), loader == &libraries);
    EXPECT_FALSE(shfolderLoaded()) << "the probe kept what it loaded, or the query was bound before its first use";
    EXPECT_EQ(sf.Path(sysfolders::CSIDL_COMMON_APPDATA), "C:\\ProgramData");
    EXPECT_TRUE(sf.Exists(sysfolders::CSIDL_COMMON_APPDATA));
    EXPECT_EQ(sf.Path(17), "") << "a virtual folder has no path";
    EXPECT_EQ(sf.Path(0x7F), "");
    EXPECT_FALSE(sf.Exists(0x7F));
    const std::string windows = sf.WinDir(), temp = sf.TmpDir();
    EXPECT_EQ(sf.SysDir().rfind(windows + "\\", 0), 0u) << windows;
    EXPECT_TRUE(!temp.empty() && temp.back() == '\\') << temp;
    for (const int32_t csidl : {15, 60, -1, sysfolders::CSIDL_COMMON_APPDATA | 0x8000})
      EXPECT_EQ(sf.Description(csidl), "{unknown constant}") << csidl;
    EXPECT_EQ(sf.Description(sysfolders::CSIDL_COMMON_APPDATA), "\\Application Data (all users)");
  }
  EXPECT_TRUE(shfolderLoaded()) << "the folder-path query is bound at its first call and kept";
  platform::install({});
}

}  // namespace

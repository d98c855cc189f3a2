// CSystemFolders on the real loader, shell and directory queries.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/win32/services.h"
#include "sysfolders/csystemfolders.h"

namespace {

constexpr int32_t kAppData = sysfolders::CSIDL_COMMON_APPDATA;
constexpr int32_t kMyComputer = 17;
constexpr int32_t kUnknown = 0x7F;

bool shfolderLoaded() { return GetModuleHandleA("shfolder") != nullptr; }

bool isDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A loader that finds nothing, so the class takes the shell's older route.
class NoLibraries final : public platform::Libraries {
 public:
  platform::ModuleHandle GetModuleHandleA(const std::string&) override { return 0; }
  platform::ModuleHandle LoadLibraryA(const std::string&) override { return 0; }
  platform::ProcAddress GetProcAddress(platform::ModuleHandle, const std::string&) override { return 0; }
  bool FreeLibrary(platform::ModuleHandle) override { return false; }
};

class Win32SystemFolders : public ::testing::Test {
 protected:
  void SetUp() override { use(libraries_); }
  void TearDown() override { platform::install({}); }
  void use(platform::Libraries& libraries) {
    platform::install({&files_, nullptr, nullptr, nullptr, &libraries, &folders_});
  }

  win32::FileSystem files_;
  win32::Libraries libraries_;
  win32::SpecialFolders folders_;  // lets go of "shfolder" when the test ends
};

TEST_F(Win32SystemFolders, ProbeLeavesShfolderLoadedExactlyAsItFoundIt) {
  ASSERT_FALSE(shfolderLoaded()) << "something else holds shfolder; the test cannot tell";
  EXPECT_TRUE(CSystemFolders().Enhanced());
  EXPECT_FALSE(shfolderLoaded()) << "the probe kept the library it loaded";

  const HMODULE ours = LoadLibraryA("shfolder");
  ASSERT_NE(ours, nullptr);
  EXPECT_TRUE(CSystemFolders().Enhanced());
  ASSERT_TRUE(shfolderLoaded()) << "the probe unloaded a library it did not load";
  FreeLibrary(ours);
  EXPECT_FALSE(shfolderLoaded()) << "the probe left a reference behind";
}

TEST_F(Win32SystemFolders, BindsTheFolderPathQueryAtItsFirstCall) {
  ASSERT_FALSE(shfolderLoaded());
  CSystemFolders sf;
  EXPECT_FALSE(shfolderLoaded());
  EXPECT_EQ(sf.Path(kAppData), "C:\\ProgramData");
  EXPECT_TRUE(shfolderLoaded());
}

TEST_F(Win32SystemFolders, ResolvesFoldersInBothModes) {
  NoLibraries none;
  platform::Libraries* const loaders[] = {&libraries_, &none};
  for (platform::Libraries* libraries : loaders) {
    use(*libraries);
    CSystemFolders sf;
    SCOPED_TRACE(sf.Enhanced() ? "enhanced" : "fallback");
    EXPECT_EQ(sf.Enhanced(), libraries != &none);
    EXPECT_EQ(sf.Path(kAppData), "C:\\ProgramData");
    EXPECT_TRUE(sf.Exists(kAppData));
    EXPECT_EQ(sf.Path(kMyComputer), "");
    EXPECT_EQ(sf.Path(kUnknown), "");
    EXPECT_FALSE(sf.Exists(kUnknown));
  }
}

TEST_F(Win32SystemFolders, DirectoriesKeepTheirOwnEndings) {
  CSystemFolders sf;
  const std::string sys = sf.SysDir(), tmp = sf.TmpDir(), win = sf.WinDir();
  for (const auto& dir : {sys, tmp, win}) EXPECT_TRUE(isDirectory(dir)) << dir;
  ASSERT_FALSE(tmp.empty());
  EXPECT_EQ(tmp.back(), '\\');
  ASSERT_FALSE(win.empty());
  EXPECT_NE(win.back(), '\\');
  EXPECT_EQ(sys.rfind(win + "\\", 0), 0u) << sys << " is not below " << win;
  EXPECT_EQ(sys.find('\0'), std::string::npos);
}

}  // namespace

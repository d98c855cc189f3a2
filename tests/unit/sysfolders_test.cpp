// CSystemFolders against doubles of the library loader and the shell.
#include <gtest/gtest.h>

#include "guard/guard.h"
#include "support/fakes.h"
#include "sysfolders/csystemfolders.h"

namespace {

constexpr int32_t kAppData = sysfolders::CSIDL_COMMON_APPDATA;
constexpr int32_t kMyComputer = 17;  // virtual: no place on disk
constexpr int32_t kUnknown = 15;
const std::string kAppDataPath = "C:\\ProgramData";

enum class Mode { Enhanced, Fallback };

// Fallback: "shfolder" is there but lacks the folder-path query.
void setMode(fakes::World& w, Mode mode) {
  if (mode == Mode::Fallback) w.libraries.provide("shfolder", {});
}

TEST(CSystemFoldersProbe, LoadsOnlyWhatItMustAndUnloadsIt) {
  enum class Library { AlreadyLoaded, OnDisk, WithoutExport, Missing };
  const struct {
    Library library;
    bool enhanced;
    int loads, frees, referencesAfter;
  } cases[] = {
      {Library::AlreadyLoaded, true, 0, 0, 1},
      {Library::OnDisk, true, 1, 1, 0},
      {Library::WithoutExport, false, 1, 1, 0},
      {Library::Missing, false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.library));
    fakes::World w;
    if (c.library == Library::AlreadyLoaded) w.libraries.preload("shfolder");
    if (c.library == Library::WithoutExport) setMode(w, Mode::Fallback);
    if (c.library == Library::Missing) w.libraries.remove("shfolder");

    CSystemFolders sf;
    EXPECT_EQ(sf.Enhanced(), c.enhanced);
    EXPECT_EQ(w.libraries.loads, c.loads);
    EXPECT_EQ(w.libraries.frees, c.frees);
    EXPECT_EQ(w.libraries.references("shfolder"), c.referencesAfter);
    EXPECT_FALSE(w.folders.folderPathBound()) << "bound during construction";

    // Each instance probes afresh.
    CSystemFolders again;
    EXPECT_EQ(w.libraries.loads, 2 * c.loads);
  }
}

TEST(CSystemFoldersPath, BindsTheFolderPathQueryAtItsFirstCallOnly) {
  fakes::World w;
  w.fs.addFolder(kAppDataPath);
  CSystemFolders sf;
  EXPECT_EQ(w.libraries.references("shfolder"), 0);

  EXPECT_EQ(sf.Path(kAppData), kAppDataPath);
  EXPECT_TRUE(w.folders.folderPathBound());
  EXPECT_EQ(w.libraries.references("shfolder"), 1);
  EXPECT_EQ(sf.Path(kAppData), kAppDataPath);
  EXPECT_EQ(w.libraries.loads, 2) << "the probe's load and the binding, nothing more";
  EXPECT_TRUE(w.folders.locationCalls.empty());
}

TEST(CSystemFoldersPath, EnhancedAsksTheFolderPathQuery) {
  const struct {
    int32_t csidl;
    bool Default, ForceCreation, onDisk;
    std::string expected;
    int32_t asked;
    uint32_t flags;
  } cases[] = {
      {kAppData, true, false, true, kAppDataPath, kAppData, 1},
      {kAppData, false, false, true, kAppDataPath, kAppData, 0},
      {kAppData, true, false, false, "", kAppData, 1},  // answer 1: the folder is missing
      {kAppData, true, true, false, kAppDataPath, kAppData | 0x8000, 1},
      {kMyComputer, true, false, true, "", kMyComputer, 1},
      {kUnknown, true, true, true, "", kUnknown | 0x8000, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.csidl);
    fakes::World w;
    if (c.onDisk) w.fs.addFolder(kAppDataPath);
    CSystemFolders sf;
    int32_t csidl = c.csidl;
    EXPECT_EQ(sf.Path(csidl, c.Default, c.ForceCreation), c.expected);
    EXPECT_EQ(csidl, c.csidl) << "the caller's number changed";
    ASSERT_EQ(w.folders.folderPathCalls.size(), 1u);
    EXPECT_EQ(w.folders.folderPathCalls[0].folder, c.asked);
    EXPECT_EQ(w.folders.folderPathCalls[0].flags, c.flags);
    EXPECT_EQ(w.fs.exists(kAppDataPath), c.onDisk || (c.ForceCreation && c.csidl == kAppData));
  }
}

TEST(CSystemFoldersPath, FallbackGoesThroughItemIdentifiersAndReleasesEachOnce) {
  constexpr platform::HResult kEFail = static_cast<platform::HResult>(0x80004005u);
  const struct {
    int32_t csidl;
    bool ForceCreation;
    platform::HResult failure;
    std::string expected;
    bool handedOut;
  } cases[] = {
      {kAppData, false, 0, kAppDataPath, true},
      {kAppData, true, 0, kAppDataPath, true},  // the flag is not passed and nothing is created
      {kMyComputer, false, 0, "", true},        // an identifier without a file-system path
      {kUnknown, false, 0, "", false},          // invalid number
      {kAppData, false, kEFail, "", false},     // any other failure
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.csidl);
    fakes::World w;
    setMode(w, Mode::Fallback);
    if (c.failure) w.folders.failLocation(c.csidl, c.failure);
    CSystemFolders sf;
    EXPECT_EQ(sf.Path(c.csidl, true, c.ForceCreation), c.expected);
    EXPECT_EQ(w.folders.locationCalls, std::vector<int32_t>{c.csidl});
    EXPECT_EQ(w.folders.handedOut.size(), c.handedOut ? 1u : 0u);
    EXPECT_EQ(w.folders.released, w.folders.handedOut);
    EXPECT_FALSE(w.fs.exists(kAppDataPath));
    EXPECT_FALSE(w.folders.folderPathBound());
    EXPECT_EQ(w.libraries.references("shfolder"), 0);
  }
}

TEST(CSystemFoldersExists, TellsWhetherTheFolderIsThereWithoutCreatingIt) {
  enum OnDisk { Folder, File, Nothing };
  const struct {
    Mode mode;
    int32_t csidl;
    OnDisk onDisk;
    bool expected;
  } cases[] = {
      {Mode::Enhanced, kAppData, Folder, true},      {Mode::Enhanced, kAppData, Nothing, false},
      {Mode::Enhanced, kUnknown, Nothing, false},    {Mode::Fallback, kAppData, Folder, true},
      {Mode::Fallback, kAppData, File, false},       {Mode::Fallback, kAppData, Nothing, false},
      {Mode::Fallback, kMyComputer, Nothing, false}, {Mode::Fallback, kUnknown, Nothing, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(c.mode) << " " << c.csidl << " " << c.onDisk);
    fakes::World w;
    setMode(w, c.mode);
    if (c.onDisk == Folder) w.fs.addFolder(kAppDataPath);
    if (c.onDisk == File) w.fs.addFile(kAppDataPath);
    CSystemFolders sf;
    EXPECT_EQ(sf.Exists(c.csidl), c.expected);
    EXPECT_EQ(w.fs.exists(kAppDataPath), c.onDisk != Nothing);
    for (const auto& call : w.folders.folderPathCalls) {
      EXPECT_EQ(call.folder, c.csidl);
      EXPECT_EQ(call.flags, 0u);
    }
  }
}

// An attribute query that raises, as a drive that is not ready would.
class RaisingAttributes final : public platform::FileSystem {
 public:
  platform::SearchHandle FindFirstFileA(const std::string&, platform::FindData&) override {
    return platform::kInvalidSearchHandle;
  }
  bool FindNextFileA(platform::SearchHandle, platform::FindData&) override { return false; }
  bool FindClose(platform::SearchHandle) override { return false; }
  uint32_t GetFileAttributesA(const std::string&) override { rt::raise(rt::errPathNotFound); }
  void Kill(const std::string&) override {}
};

TEST(CSystemFoldersExists, SwallowsAnErrorOfTheAttributeQueryWithoutAReport) {
  fakes::World w;
  setMode(w, Mode::Fallback);
  RaisingAttributes raising;
  platform::install({&raising, &w.files, &w.process, &w.desktop, &w.libraries, &w.folders});
  int reports = 0;
  guard::setReporter([&](const std::string&, const std::string&) { return ++reports, guard::kAbort; });
  CSystemFolders sf;
  EXPECT_FALSE(sf.Exists(kAppData));
  EXPECT_EQ(reports, 0);
}

TEST(CSystemFoldersDirectories, PassTheAnswerThroughWithinTheBuffer) {
  using Field = std::string fakes::FakeSpecialFolders::*;
  using Member = std::string (CSystemFolders::*)() const;
  const std::string longest(259, 'x');
  const struct {
    Field field;
    Member member;
    std::string answer, expected;
  } cases[] = {
      {&fakes::FakeSpecialFolders::tempPath, &CSystemFolders::TmpDir, "C:\\Temp\\", "C:\\Temp\\"},
      {&fakes::FakeSpecialFolders::systemDirectory, &CSystemFolders::SysDir, "C:\\WINNT\\system32",
       "C:\\WINNT\\system32"},
      {&fakes::FakeSpecialFolders::windowsDirectory, &CSystemFolders::WinDir, "C:\\", "C:\\"},
      {&fakes::FakeSpecialFolders::windowsDirectory, &CSystemFolders::WinDir, "", ""},  // the query fails
      {&fakes::FakeSpecialFolders::systemDirectory, &CSystemFolders::SysDir, longest, longest},
      // Too long for 260 characters: the answer is the size needed and nothing was written.
      {&fakes::FakeSpecialFolders::tempPath, &CSystemFolders::TmpDir, longest + "\\", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    fakes::World w;
    w.folders.*c.field = c.answer;
    CSystemFolders sf;
    EXPECT_EQ((sf.*c.member)(), c.expected);
  }
}

TEST(CSystemFolders, TrimNullCutsAtTheFirstNul) {
  using namespace std::string_literals;
  const struct {
    std::string in, out;
  } cases[] = {{"C:\\Windows", "C:\\Windows"}, {"\0abc"s, ""}, {"", ""}, {"ab\0c\0d"s, "ab"}, {"ab   \0  "s, "ab   "}};
  fakes::World w;
  CSystemFolders sf;
  for (const auto& c : cases) EXPECT_EQ(sf.TrimNull(c.in), c.out) << c.in;
}

TEST(CSystemFolders, DescriptionSpotChecks) {
  const struct {
    int32_t csidl;
    std::string text;
  } cases[] = {
      {0, "Desktop (virtual)"},
      {16, "\\Desktop (current user)"},
      {25, "\\Desktop (all users)"},
      {26, "\\Application Data (current user)"},
      {35, "\\Application Data (all users)"},
      {40, "\\{username} (current user)"},
      {41, "x86 system directory on RISC"},
      {49, "Network and Dial-up Connections"},
      {57, "C:\\Windows\\Resources\\{LCID} (system)"},
      {61, "Computers Near Me (virtual)"},
      {32768, "Combine with any other CSIDL to force the creation of the associated folder."},
      {15, "{unknown constant}"},
      {60, "{unknown constant}"},
      {-1, "{unknown constant}"},
      {kAppData | 0x8000, "{unknown constant}"},
  };
  fakes::World w;
  setMode(w, Mode::Fallback);
  CSystemFolders sf;
  for (const auto& c : cases) EXPECT_EQ(sf.Description(c.csidl), c.text) << c.csidl;

  int known = 0;
  for (int32_t n = -2; n <= 0x8001; ++n) known += sf.Description(n) != "{unknown constant}";
  EXPECT_EQ(known, 58);
}

TEST(CSystemFolders, AnErrorIsReportedWithTheMembersNamesAndTheObjectsField) {
  using guard::dump;
  const std::string spaces(260, ' '), nuls(260, '\0');
  const struct {
    Mode mode;
    std::function<std::string(const CSystemFolders&)> call;
    std::string result, procedure;
    int line;
    guard::VariableDump params, locals;
  } cases[] = {
      {Mode::Enhanced, [](auto& sf) { return sf.Path(kAppData); }, "", "Path[Property Get]", 102,
       dump("CSIDL", rt::int32(kAppData), "Default", true, "ForceCreation", false),
       dump("Buffer", spaces, "pidl", rt::int32(0), "nRtn", rt::int32(0))},
      {Mode::Fallback, [](auto& sf) { return sf.Path(kAppData, false, true); }, "", "Path[Property Get]", 104,
       dump("CSIDL", rt::int32(kAppData), "Default", false, "ForceCreation", true),
       dump("Buffer", spaces, "pidl", rt::int32(0), "nRtn", rt::int32(0))},
      {Mode::Enhanced, [](auto& sf) { return sf.Exists(kAppData) ? "true" : "false"; }, "false", "Exists[Property Get]",
       101, dump("CSIDL", rt::int32(kAppData)), dump("Buffer", spaces)},
      {Mode::Fallback, [](auto& sf) { return sf.TmpDir(); }, "", "TmpDir[Property Get]", 101, guard::marker(),
       dump("Buffer", nuls, "nRet", rt::int32(0))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.procedure);
    fakes::World w;
    setMode(w, c.mode);
    w.fs.addFolder(kAppDataPath);
    CSystemFolders sf;
    w.folders.onCall = [] { rt::raise(rt::errOutOfMemory); };
    std::vector<std::string> reports;
    guard::setReporter([&](const std::string& module, const std::string& procedure) {
      reports.push_back(module + "." + procedure + "@" + std::to_string(guard::currentError().line));
      EXPECT_EQ(guard::slots().GuardParams, c.params);
      EXPECT_EQ(guard::slots().GuardLocals, c.locals);
      EXPECT_EQ(guard::slots().GuardModuleVars, dump("m_Enhanced", c.mode == Mode::Enhanced));
      return guard::kIgnore;
    });
    EXPECT_EQ(c.call(sf), c.result);
    EXPECT_EQ(reports, std::vector<std::string>{"CSystemFolders." + c.procedure + "@" + std::to_string(c.line)});
  }
}

}  // namespace

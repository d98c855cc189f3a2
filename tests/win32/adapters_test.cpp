// What a whole run does not show: the command line cut on every shape, the
// special folders through the real loader and shell in both of their ways,
// every COM function the program binds at run time, called once, and where
// deleting and appending refuse beyond links.
#include <gtest/gtest.h>
#include <windows.h>

#include <tuple>

#include "platform/win32/com.h"
#include "platform/win32/held_path.h"
#include "platform/win32/keep.h"
#include "platform/win32/services.h"
#include "runtime/error.h"
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

// Names compare as the file system compares them: ordinal, every script, no look-alike taken for the letter; the
// adapters hand the system paths shorter than MAX_PATH, or made whole and in the long form.
TEST(Process, UpperCaseMatchesNamesAsTheFileSystemDoesAndPathsGoInTheLongFormPastMaxPath) {
  // The last: a surrogate pair, and one unpaired.
  const std::tuple<const char*, const char*, bool> names[] = {{"corvane.ini", "CORVANE.INI", true},
                                                              {"Приложение", "ПРИЛОЖЕНИЕ", true},
                                                              {"ｃｏｒｖａｎｅ.ｉｎｉ", "CORVANE.INI", false},
                                                              {"App¥", "App\\", false},
                                                              {"😀\xED\xB0\x80", "😀\xED\xB0\x80", true}};
  win32::Process process;
  for (const auto& [a, b, same] : names) EXPECT_EQ(process.UCase(a) == process.UCase(b), same) << a;
  // From 248 characters on (a folder's limit) the long form; what the system would clean up is cleaned first,
  // which it does up to MAX_PATH only: deeper, such a path is refused (expected empty).
  const std::string d(300, 'd'), a(240, 'a');
  const std::wstring w(300, L'd'), wa(240, L'a');
  const std::pair<std::string, std::wstring> paths[] = {
      {"C:\\Прил\\😀\\" + a.substr(10), L"C:\\Прил\\😀\\" + wa.substr(10)},
      {"C:\\Приложение\\😀\\" + a, L"\\\\?\\C:\\Приложение\\😀\\" + wa},
      {"C:\\" + a + "\\x\\..\\y.", L"\\\\?\\C:\\" + wa + L"\\y"},
      {"C:\\" + d + "\\x\\..\\y.", L""},
      {"\\\\server\\share\\" + d, L"\\\\?\\UNC\\server\\share\\" + w},
  };
  std::wstring wide;
  for (const auto& [path, expected] : paths)
    EXPECT_EQ(win32::widePath(path, wide) ? wide : L"", expected) << path;
}

// A loader that finds nothing, so the class takes the shell's older way.
class NoLibraries final : public platform::Libraries {
 public:
  platform::ModuleHandle GetModuleHandleA(const std::string&) override { return 0; }
  platform::ModuleHandle LoadLibraryA(const std::string&) override { return 0; }
  platform::ProcAddress GetProcAddress(platform::ModuleHandle, const std::string&) override { return 0; }
  bool FreeLibrary(platform::ModuleHandle) override { return false; }
};

// The redirection guard is looked up in kernel32 at run time and asked for
// with its number and its one flag; a system without it is no failure.
// Wine's own call is a stub: only the asking shows.
struct Asked {
  int policy = 0;
  DWORD flags = 0;
  SIZE_T size = 0;
} asked;
BOOL WINAPI recordPolicy(int policy, void* buffer, SIZE_T size) {
  asked = {policy, *static_cast<DWORD*>(buffer), size};
  return TRUE;
}
class Kernel32Only final : public platform::Libraries {
 public:
  platform::ModuleHandle GetModuleHandleA(const std::string& name) override { return name == "kernel32"; }
  platform::ModuleHandle LoadLibraryA(const std::string&) override { return 0; }
  platform::ProcAddress GetProcAddress(platform::ModuleHandle module, const std::string& name) override {
    return module == 1 && name == "SetProcessMitigationPolicy" ? reinterpret_cast<platform::ProcAddress>(&recordPolicy) : 0;
  }
  bool FreeLibrary(platform::ModuleHandle) override { return false; }
};

TEST(GuardRedirection, AsksForTheEnforcedRedirectionTrustPolicyWhereThereIsOne) {
  NoLibraries none;
  Kernel32Only kernel32;
  EXPECT_FALSE(win32::guardRedirection(none));
  EXPECT_TRUE(win32::guardRedirection(kernel32));
  EXPECT_EQ(std::tuple(asked.policy, asked.flags, asked.size), std::tuple(16, DWORD(1), sizeof(DWORD)));
}

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

// A function bound to a wrong address or type crashes here, not first in a report.
TEST(Com, EveryLateBoundFunctionAnswers) {
  namespace com = win32::com;
  ASSERT_TRUE(SUCCEEDED(com::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  CLSID clsid;
  EXPECT_EQ(com::CLSIDFromProgID(L"No.Such.Report", &clsid), CO_E_CLASSSTRING);
  IDispatch* object = nullptr;
  EXPECT_EQ(com::CoCreateInstance(CLSID_NULL, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&object)),
            REGDB_E_CLASSNOTREG);
  com::CoTaskMemFree(nullptr);
  SYSTEMTIME st{2000, 1, 6, 1, 12, 0, 0, 0};
  VARIANT number, text, list;
  com::VariantInit(&number);
  ASSERT_TRUE(com::SystemTimeToVariantTime(&st, &number.date));
  EXPECT_EQ(number.date, 36526.5);
  number.vt = VT_DATE;
  com::VariantInit(&text);
  ASSERT_EQ(com::VariantChangeType(&text, &number, 0, VT_R8), S_OK);
  EXPECT_EQ(text.dblVal, 36526.5);
  text.vt = VT_BSTR;
  text.bstrVal = com::SysAllocStringLen(L"abc", 2);
  ASSERT_NE(text.bstrVal, nullptr);
  EXPECT_STREQ(text.bstrVal, L"ab");
  list.vt = VT_ARRAY | VT_VARIANT;
  list.parray = com::SafeArrayCreateVector(VT_VARIANT, 0, 1);
  LONG index = 0;
  ASSERT_NE(list.parray, nullptr);
  EXPECT_EQ(com::SafeArrayPutElement(list.parray, &index, &text), S_OK);
  EXPECT_EQ(com::VariantClear(&list), S_OK);
  EXPECT_EQ(list.vt, VT_EMPTY);
  com::SysFreeString(text.bstrVal);
}

// The spared folder's real place decides, however its path is spelt; a log
// file with a second name would be written wherever that name is.
TEST(FileSystem, SparesTheFolderWhereverItIsAndAppendsOnlyToAFileOfOneName) {
  char temp[MAX_PATH] = {};
  ASSERT_TRUE(GetTempPathA(MAX_PATH, temp));
  const std::string root = std::string(temp) + "corvane-adapters", app = root + "\\App", file = app + "\\corvane.mdb";
  CreateDirectoryA(root.c_str(), nullptr);
  CreateDirectoryA(app.c_str(), nullptr);
  const auto plant = [&] { CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)); };
  win32::FileSystem files;
  win32::SpecialFolders shell;  // where the deleted file is kept
  platform::install({&files, nullptr, nullptr, nullptr, nullptr, &shell});
  const auto kill = [&](const std::string& spared) {
    try {
      files.Kill(file, spared);
    } catch (const rt::RuntimeError& error) {
      return error.number;
    }
    return 0;
  };
  plant();
  for (const auto& spared : {app, root + "\\.\\Other\\..\\app\\"}) EXPECT_EQ(kill(spared), 75) << spared;
  EXPECT_EQ(kill(root + "\\Ap"), 0) << "a folder whose name only begins alike";
  EXPECT_EQ(kill(""), 53);

  win32::TextFiles text;
  plant();
  EXPECT_TRUE(text.Appendable(file) && text.Appendable(app + "\\new.log"));
  ASSERT_TRUE(CreateHardLinkA((app + "\\second").c_str(), file.c_str(), nullptr));
  EXPECT_FALSE(text.Appendable(file));
  EXPECT_THROW(text.Open(1, file, platform::TextFiles::Mode::Append), rt::RuntimeError);
  for (const auto& name : {file, app + "\\second"}) DeleteFileA(name.c_str());
  RemoveDirectoryA(app.c_str());
  RemoveDirectoryA(root.c_str());
}

}  // namespace

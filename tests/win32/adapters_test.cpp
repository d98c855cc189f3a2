// The Win32 adapters against the real API, on a scratch tree in the temp folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>

#include "platform/win32/services.h"
#include "runtime/error.h"

namespace fs = std::filesystem;
using Mode = platform::TextFiles::Mode;

namespace {

// The run-time error number `action` raises, 0 when it raises none.
int errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const rt::RuntimeError& e) {
    return e.number;
  }
  return 0;
}

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class Win32Adapters : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(root_);
    fs::create_directories(root_ / "sub");
    for (const char* name : {"a.txt", "b.ini", "sub\\c.txt", "locked.txt", "held.txt"})
      std::ofstream(root_ / name) << "x";
    fs::permissions(root_ / "locked.txt", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  }
  void TearDown() override {
    textFiles_.CloseAll();
    fs::permissions(root_ / "locked.txt", fs::perms::owner_write, fs::perm_options::add);
    fs::remove_all(root_);
  }

  std::string path(const char* name) const { return (root_ / name).string(); }

  std::set<std::string> names(const std::string& pattern) {
    std::set<std::string> found;
    platform::FindData data;
    const auto search = files_.FindFirstFileA(pattern, data);
    if (search == platform::kInvalidSearchHandle) return found;
    do found.insert(data.cFileName);
    while (files_.FindNextFileA(search, data));
    EXPECT_TRUE(files_.FindClose(search));
    return found;
  }

  const fs::path root_ = fs::temp_directory_path() / "corvane-win32-test";
  win32::FileSystem files_;
  win32::TextFiles textFiles_;
};

TEST_F(Win32Adapters, EnumeratesWhatMatches) {
  const struct {
    const char* pattern;
    std::set<std::string> expected;
  } cases[] = {
      {"*", {".", "..", "a.txt", "b.ini", "held.txt", "locked.txt", "sub"}},
      {"sub\\*", {".", "..", "c.txt"}},
      {"*.ini", {"b.ini"}},
      {"nothing.*", {}},
      {"missing\\*", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(names(path(c.pattern)), c.expected) << c.pattern;

  platform::FindData data;
  EXPECT_EQ(files_.FindFirstFileA(path("missing\\*"), data), platform::kInvalidSearchHandle);
  const auto search = files_.FindFirstFileA(path("su*"), data);
  ASSERT_NE(search, platform::kInvalidSearchHandle);
  EXPECT_STREQ(data.cFileName, "sub");
  EXPECT_TRUE(data.dwFileAttributes & platform::kAttrDirectory);
  files_.FindClose(search);
}

TEST_F(Win32Adapters, ReadsAttributes) {
  EXPECT_TRUE(files_.GetFileAttributesA(path("sub")) & platform::kAttrDirectory);
  EXPECT_FALSE(files_.GetFileAttributesA(path("a.txt")) & platform::kAttrDirectory);
  EXPECT_TRUE(files_.GetFileAttributesA(path("locked.txt")) & platform::kAttrReadOnly);
  EXPECT_EQ(files_.GetFileAttributesA(path("missing.txt")), platform::kInvalidAttributes);
  EXPECT_EQ(files_.GetFileAttributesA(path("missing\\a.txt")), platform::kInvalidAttributes);
}

TEST_F(Win32Adapters, KillDeletesExactlyTheFileOrRaises) {
  std::ofstream held(path("held.txt"), std::ios::app);  // open while the deletion is tried
  ASSERT_TRUE(held.is_open());
  const struct {
    const char* target;
    std::set<int> errors;  // acceptable numbers, {0} for success
  } cases[] = {
      {"a.txt", {0}}, {"missing.txt", {53}},  {"missing\\a.txt", {53}}, {"locked.txt", {75}},
      {"sub", {75}},  {"held.txt", {70, 75}}, {"*.ini", {52, 53, 75}},
  };
  for (const auto& c : cases) {
    const int error = errorOf([&] { files_.Kill(path(c.target)); });
    EXPECT_TRUE(c.errors.count(error)) << c.target << " gave " << error;
  }
  held.close();
  EXPECT_FALSE(fs::exists(root_ / "a.txt"));
  for (const char* stays : {"b.ini", "locked.txt", "sub", "sub\\c.txt", "held.txt"})
    EXPECT_TRUE(fs::exists(root_ / stays)) << stays;
}

TEST_F(Win32Adapters, AppendKeepsEveryLineAndEachIsWrittenAtOnce) {
  const std::string log = path("log.txt");
  textFiles_.Open(1, log, Mode::Append);
  textFiles_.WriteLine(1, "first");
  EXPECT_EQ(contents(log), "first\r\n");  // before Close, through another handle
  textFiles_.Close(1);
  EXPECT_FALSE(textFiles_.IsOpen(1));

  textFiles_.Open(511, log, Mode::Append);
  EXPECT_TRUE(textFiles_.IsOpen(511));
  textFiles_.WriteLine(511, "");
  textFiles_.WriteLine(511, "second");
  textFiles_.CloseAll();
  EXPECT_FALSE(textFiles_.IsOpen(511));
  EXPECT_EQ(contents(log), "first\r\n\r\nsecond\r\n");

  textFiles_.Open(2, log, Mode::Input);
  EXPECT_TRUE(textFiles_.IsOpen(2));
}

TEST_F(Win32Adapters, TextFileErrors) {
  textFiles_.Open(3, path("open.txt"), Mode::Append);
  const struct {
    const char* what;
    std::function<void()> action;
    int expected;
  } cases[] = {
      {"number 0", [&] { textFiles_.Open(0, path("x.txt"), Mode::Append); }, 52},
      {"number 512", [&] { textFiles_.Open(512, path("x.txt"), Mode::Append); }, 52},
      {"number in use", [&] { textFiles_.Open(3, path("x.txt"), Mode::Append); }, 55},
      {"input of a missing file", [&] { textFiles_.Open(4, path("missing.txt"), Mode::Input); }, 53},
      {"input in a missing folder", [&] { textFiles_.Open(4, path("missing\\x.txt"), Mode::Input); }, 76},
      {"append in a missing folder", [&] { textFiles_.Open(4, path("missing\\x.txt"), Mode::Append); }, 76},
      {"write to a closed number", [&] { textFiles_.WriteLine(5, "x"); }, 52},
      {"write to number 0", [&] { textFiles_.WriteLine(0, "x"); }, 52},
      {"closing a closed number", [&] { textFiles_.Close(6); }, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(errorOf(c.action), c.expected) << c.what;
  EXPECT_FALSE(textFiles_.IsOpen(4));
}

TEST(CommandLineArguments, CutsTheProgramName) {
  const struct {
    const char* full;
    const char* expected;
  } cases[] = {
      {"", ""},
      {"prog.exe", ""},
      {"prog.exe CLEANUP", "CLEANUP"},
      {"prog.exe   CLEANUP,\"C:\\App\\\"", "CLEANUP,\"C:\\App\\\""},
      {"prog.exe\tCLEANUP", "CLEANUP"},
      {"prog.exe \t  a b  ", "a b  "},
      {"\"C:\\Program Files\\prog.exe\" CLEANUP", "CLEANUP"},
      {"\"C:\\Program Files\\prog.exe\"", ""},
      {"\"C:\\Program Files\\prog.exe\"CLEANUP", "CLEANUP"},
      {"\"C:\\Program Files\\prog.exe\"   ", ""},
      {"\"unclosed name", ""},
      {"prog.exe    ", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(win32::commandLineArguments(c.full), c.expected) << c.full;
}

TEST(Win32Process, AppPathIsTheProgramsFolder) {
  win32::Process process;
  const std::string folder = process.AppPath();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(folder.size() == 3 || folder.back() != '\\') << folder;
  EXPECT_TRUE(fs::exists(fs::path(folder) / "win32_tests.exe")) << folder;
}

TEST(Win32Process, FormatsAndUpperCases) {
  win32::Process process;
  EXPECT_EQ(process.UCase("c:\\Program Files\\corvane.ini"), "C:\\PROGRAM FILES\\CORVANE.INI");
  EXPECT_EQ(process.UCase(""), "");
  const std::string date = process.ShortDate({2031, 12, 27, 13, 7, 9});
  EXPECT_NE(date.find("27"), std::string::npos) << date;
  EXPECT_NE(date.find("12"), std::string::npos) << date;
  EXPECT_NE(date.find("31"), std::string::npos) << date;
  const std::string time = process.LongTime({2031, 12, 27, 13, 7, 9});
  EXPECT_NE(time.find("07:09"), std::string::npos) << time;
}

}  // namespace

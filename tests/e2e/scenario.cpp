// What every end-to-end test of the program needs.
#include "e2e/scenario.h"

#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace e2e {

namespace fs = std::filesystem;

bool exists(const std::string& windowsPath) {
  return GetFileAttributesW(widen(windowsPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void plant(const std::string& windowsPath) {
  const fs::path path(widen(windowsPath));
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "left behind\r\n";
}

int host(const std::string& command) {
  const int status = runHost(command);
  EXPECT_EQ(status, 0) << command;
  return status;
}

std::string appDataFolder() {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

namespace {

std::string whenless(const std::string& line) {
  static const std::regex dated("(Starting Trace at |Start:|End:|Ending Trace at )[0-9][^ ]*( [0-9].*)?");
  std::smatch m;
  return std::regex_match(line, m, dated) ? m[1].str() + "{when}" : line;
}

}  // namespace

Sandbox::Sandbox(const std::wstring& drive) {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  const std::string unixFolder = std::string(CORVANE_E2E_WORK) + "/" + name;
  host("rm -rf " + shellQuote(unixFolder) + " && mkdir -p " + shellQuote(unixFolder) + " && find " +
       shellQuote(hostPath(drive)) + " -mindepth 1 -maxdepth 1 -exec rm -rf -- {} +");
  folder_ = narrow(dosPath(unixFolder));
  exe_ = folder_ + "\\CorvaneFileCleanup.exe";
  EXPECT_TRUE(CopyFileW(dosPath(CORVANE_EXE).c_str(), widen(exe_).c_str(), FALSE)) << exe_;
  std::error_code ignored;
  fs::remove(logPath(), ignored);
  fs::remove_all(appDataFolder() + "\\corvane3", ignored);
}

std::string Sandbox::logPath(const std::string& folder) {
  return folder + "\\corvanefilecleanup.log";
}

std::vector<std::string> Sandbox::log(const std::string& path) const {
  std::ifstream in(widen(path).c_str(), std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  const std::string text = content.str();
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", at)) {
    lines.push_back(whenless(text.substr(at, end - at)));
    at = end + 2;
  }
  EXPECT_EQ(at, text.size()) << "an unfinished last line";
  for (const auto& line : lines) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
  return lines;
}

void confirm(const Process& app) {
  auto ask = waitMessageBox(app, kTitle, kStart);
  ASSERT_TRUE(ask) << "no first box";
  EXPECT_EQ(ask->text, kAsk);
  EXPECT_EQ(ask->buttons, (std::vector<int>{IDYES, IDNO}));
  ASSERT_TRUE(answer(ask->hwnd, IDYES));

  auto inform = waitMessageBox(app, kTitle, kStep);
  ASSERT_TRUE(inform) << "no second box";
  EXPECT_EQ(inform->text.rfind(kInform, 0), 0u) << narrow(inform->text);
  EXPECT_EQ(inform->buttons, (std::vector<int>{IDOK}));
  ASSERT_TRUE(answer(inform->hwnd, IDOK));
}

std::vector<std::string> cleanupHead(const std::vector<std::string>& mainLines, std::size_t found) {
  std::vector<std::string> log{"Starting Trace at {when}", "Start:{when}"};
  log.insert(log.end(), mainLines.begin(), mainLines.end());
  log.insert(log.end(), {"Start Cleanup - using commandline", "Search for corvane.ini files", R"(gstr_drive:T:\)",
                         "Search for corvane.mdb files", "Found " + std::to_string(found) + " files to delete"});
  return log;
}

std::vector<std::string> cleanupTrace(const std::vector<std::string>& mainLines, const std::vector<std::string>& listed,
                                      const std::set<std::string>& failed) {
  std::vector<std::string> log = cleanupHead(mainLines, listed.size());
  for (const auto& f : listed) {
    log.push_back("Delete File:" + f);
    if (!failed.contains(f)) log.push_back("File:" + f + " Deleted!");
  }
  return log;
}

}  // namespace e2e

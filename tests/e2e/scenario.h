#pragma once
// What every end-to-end test of the program needs: a private copy of the
// program on an empty test drive, planting files, the host side, and the two
// boxes that open an automatic run.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "e2e/driver.h"

namespace e2e {

inline const Ms kStart{30000};  // a cold Wine may take long for the first window
inline const Ms kStep{20000};
inline const std::wstring kTitle = L"Corvane File Cleanup";
inline const std::wstring kAsk = L"Have you previously installed Corvane on this computer?";
inline const std::wstring kInform = L"A file cleanup will now be performed";
inline const std::wstring kReportTitle = L"CorvaneFileCleanup - Error";

bool exists(const std::string& windowsPath);
// A file with a line of text, and the folders it needs.
void plant(const std::string& windowsPath);
// runHost, expecting success.
int host(const std::string& command);
// The all-users application-data folder, where the program writes its log.
std::string appDataFolder();

// A private copy of the program, an empty test drive (T: unless told
// otherwise), and no trace log nor product folder left from earlier runs.
class Sandbox {
 public:
  explicit Sandbox(const std::wstring& drive = L"T:\\");

  static std::string logPath(const std::string& folder = appDataFolder());

  const std::string& exe() const { return exe_; }
  std::string file(const std::string& name) const { return folder_ + "\\" + name; }

  // The trace, split at CR LF; the dates are replaced by "{when}". Each line
  // is checked to be whole: no CR or LF inside, none unfinished.
  std::vector<std::string> log(const std::string& path = logPath()) const;

 private:
  std::string folder_, exe_;
};

// Answers the two boxes of an automatic run: Yes, then OK.
void confirm(const Process& app);

// Main's trace lines for the command line CLEANUP,"T:\App\". (Inline: the
// tables of cases in other files copy it while the program starts.)
inline const std::vector<std::string> kAppMainLines = {"Parameter:CLEANUP iLoop:0",
                                                       "CLEANUP parameter provided",
                                                       R"(Parameter:"T:\App\" iLoop:1)",
                                                       R"(Skip parameter provided:|T:\App\|)",
                                                       "int_pos:2",
                                                       R"(gstr_drive:T:\)"};

// The trace of an automatic cleanup of T: up to its count of `found` files,
// after Main's lines `mainLines`.
std::vector<std::string> cleanupHead(const std::vector<std::string>& mainLines, std::size_t found);
// The whole trace of an automatic cleanup of T: that lists `listed`; the
// deletions in `failed` are traced as attempted only.
std::vector<std::string> cleanupTrace(const std::vector<std::string>& mainLines, const std::vector<std::string>& listed,
                                      const std::set<std::string>& failed = {});

}  // namespace e2e

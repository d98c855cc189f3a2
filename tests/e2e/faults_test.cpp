// Deletions that fail under the real program, the error report that follows
// in its own dialog or in a registered report object, and the user's answers:
// Ignore goes on, Retry tries again, Abort passes the error to the caller.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "e2e/driver.h"

namespace e2e {
namespace {

using namespace std::string_literals;

// Three leftovers in the order the search lists them (a folder's own before
// its subfolder's, .ini before .mdb); the fault meets the middle one. The
// installation's files are spared.
const std::string kFirst = R"(T:\Old\corvane.ini)", kMiddle = R"(T:\Old\Held\corvane.ini)",
                  kLast = R"(T:\Old\corvane.mdb)", kSpared = R"(T:\App\corvane.ini)", kDatabase = R"(T:\App\corvane.mdb)";

enum class Step { Ignore, Retry, RetryOnceFree, Abort };
enum class Fault { Held, ReadOnly, LinkToTheDatabase };  // held: open in another program without sharing

struct Case {
  const char* name;
  Fault fault;
  std::vector<Step> answers;  // one per report, in order
  Lines reports;              // what each report says: number, description, procedure and line
  DWORD exitCode;             // not 0: the run ends before the last deletion
  const char* reportObjectAnswer = nullptr;  // a registered report object answers instead of the dialog
  // Under the first report, T:\Old is moved aside and a link to this folder, which holds a corvane.mdb, put there.
  const char* swapTo = nullptr;
  bool unattended = false;  // nothing shown: the report goes to the log, the run goes on
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const std::string kRefused = "75 Path/File access error frmstatus.DeleteFiles@103";
const Case kCases[] = {
    {"HeldOpenAndIgnored", Fault::Held, {Step::Ignore}, {"70 Permission denied frmstatus.DeleteFiles@103"}, 0},
    {"HeldOpenRetriedUntilLetGo", Fault::Held, {Step::Retry, Step::RetryOnceFree},
     {"70 Permission denied frmstatus.DeleteFiles@103", "70 Permission denied frmstatus.DeleteFiles@103"}, 0},
    {"ReadOnlyAbortedTwice", Fault::ReadOnly, {Step::Abort, Step::Abort},
     {kRefused, "75 Path/File access error frmstatus.Form_Activate@123"}, 75},
    {"ReportObjectAnswersIgnoreAsText", Fault::ReadOnly, {}, {}, 0, "5"},
    // Links are never followed, and never deleted through: the user may have swapped a folder for one meanwhile.
    {"ALinkToTheInstallationsDatabaseIsRefused", Fault::LinkToTheDatabase, {Step::Ignore}, {kRefused}, 0},
    {"AFolderSwappedForALinkIntoTheInstallation", Fault::ReadOnly, {Step::Ignore, Step::Ignore}, {kRefused, kRefused}, 0,
     nullptr, R"(T:\App)"},
    {"AFolderSwappedForALinkOffTheDrive", Fault::ReadOnly, {Step::Ignore, Step::Ignore}, {kRefused, kRefused}, 0, nullptr,
     R"(U:\Away)"},
    {"UnattendedHeldOpen", Fault::Held, {}, {}, 70, nullptr, nullptr, true},
    {"UnattendedReadOnly", Fault::ReadOnly, {}, {}, 75, nullptr, nullptr, true},
};

std::string onHost(const std::string& windowsPath) { return shellQuote(unixPath(windowsPath)); }

// Registers report_server.dll as the report object for as long as it lives.
struct ReportObject {
  const std::string guid = "{6D1A3C52-9E0B-4F7A-B4C1-2F58A0C3E7D1}",
                    progId = "Software\\Classes\\VBGuardReport.clsVBGuardReport", clsid = "Software\\Classes\\CLSID\\" + guid;
  explicit ReportObject(const std::string& record) {
    DeleteFileW(widen(record).c_str());
    SetEnvironmentVariableW(L"CORVANE_REPORT_RECORD", widen(record).c_str());
    // Windows looks in the user's part of the registry as well; Wine only in the machine's.
    for (const auto& [key, name, value] : {std::tuple(progId + "\\CLSID", "", guid),
                                           std::tuple(clsid + "\\InprocServer32", "", narrow(dosPath(CORVANE_REPORT_SERVER))),
                                           std::tuple(clsid + "\\InprocServer32", "ThreadingModel", std::string("Apartment"))})
      RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), *name ? name : nullptr, REG_SZ, value.c_str(), DWORD(value.size() + 1));
  }
  ~ReportObject() {
    for (const auto& key : {progId, clsid}) RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
  }
};

class DeleteFaults : public testing::TestWithParam<Case> {};

TEST_P(DeleteFaults, AreReportedAndAnsweredAsTheUserChooses) {
  const Case& c = GetParam();
  Sandbox box;
  // The installation's database only where a link leads to it: the report object's record lists what was found.
  const bool database = c.fault == Fault::LinkToTheDatabase || c.swapTo;
  for (const auto& f : {kFirst, kMiddle, kLast, kSpared, database ? kDatabase : kSpared, R"(U:\Away\corvane.mdb)"s}) plant(f);
  const bool isHeld = c.fault == Fault::Held;
  // Unattended, the last leftover fails too, the other way: the exit code is the first error's number.
  const std::string readOnly = isHeld ? kLast : kMiddle, heldOpen = isHeld ? kMiddle : kLast;
  if (c.fault == Fault::ReadOnly || c.unattended) host("chmod a-w " + onHost(readOnly));
  if (c.fault == Fault::LinkToTheDatabase) host("ln -sf " + onHost(kDatabase) + " " + onHost(kMiddle));
  HANDLE held = isHeld || c.unattended
                    ? CreateFileW(widen(heldOpen).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                    : INVALID_HANDLE_VALUE;
  const std::string record = box.folder() + "\\record.txt";
  std::optional<ReportObject> object;
  if (c.reportObjectAnswer) object.emplace(record);
  SetEnvironmentVariableA("CORVANE_REPORT_ANSWER", c.reportObjectAnswer);

  Process app = Process::start(box.exe(), c.unattended ? R"(CLEANUP,"T:\App\",SILENT)" : R"(CLEANUP,"T:\App\")");
  confirm(app, c.unattended);
  if (HasFatalFailure()) return;
  Lines reports;
  for (const Step step : c.answers) {
    const auto report = waitReportDialog(app, kStep);
    ASSERT_TRUE(report) << "no report " << reports.size() + 1;
    reports.push_back(report->summary());
    EXPECT_EQ(report->title, L"CorvaneFileCleanup - Error");
    if (reports.size() == 1 && reports.back().ends_with("DeleteFiles@103")) {  // the variables, at the second entry
      EXPECT_NE(report->texts.back().find(L"\ti\tInteger\t1\r\n"), std::wstring::npos) << narrow(report->texts.back());
    }
    EXPECT_FALSE(IsWindowEnabled(waitStatusWindow(app, kStep))) << "the status window takes input under its report";
    if (step == Step::RetryOnceFree) CloseHandle(std::exchange(held, INVALID_HANDLE_VALUE));
    if (c.swapTo && reports.size() == 1)
      host("cd " + onHost(R"(T:\)") + " && mv Old Old.aside && ln -s " + onHost(c.swapTo) + " Old");
    ASSERT_TRUE(answer(report->hwnd, step == Step::Ignore ? IDIGNORE : step == Step::Abort ? IDABORT : IDRETRY));
    EXPECT_TRUE(step != Step::Retry || exists(kMiddle));
  }
  EXPECT_EQ(app.waitExit(kStep), std::optional<DWORD>(c.exitCode));
  const bool freed = held == INVALID_HANDLE_VALUE && isHeld;
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  EXPECT_EQ(reports, c.reports);
  if (c.swapTo) {
    EXPECT_TRUE(exists(c.swapTo + R"(\corvane.mdb)"s)) << "deleted through the link";
    host("cd " + onHost(R"(T:\)") + " && rm Old && mv Old.aside Old");
  }
  EXPECT_EQ((std::vector<bool>{exists(kFirst), exists(kMiddle), exists(kLast), exists(kSpared), exists(kDatabase)}),
            (std::vector<bool>{false, !freed, c.exitCode != 0 || c.swapTo, true, database}))
      << "on the drive: first, middle, last, spared, the installation's database";
  std::map<std::string, std::string> kept;  // what was deleted, and nothing that stayed
  for (const auto& f : {kFirst, kMiddle, kLast})
    if (!exists(f)) kept[f] = "left behind\r\n";
  EXPECT_EQ(keptFiles(), kept);
  std::set<std::string> failed{kMiddle};
  if (freed) failed.clear();
  if (c.swapTo || c.unattended) failed.insert(kLast);
  Lines main = kAppMainLines;
  if (c.unattended) main.insert(main.begin() + 3, {"Parameter:SILENT iLoop:2", "SILENT parameter provided"});
  Lines log = cleanupTrace(main, {kFirst, kMiddle, kLast}, failed);
  // Unattended, each report as the dialog shows it, a line each, after its attempt.
  const auto report = [&](bool heldOpen, int i) {
    return Lines{"CorvaneFileCleanup - Error", std::string("Error Number: ") + (heldOpen ? "70" : "75"),
                 std::string("Description: ") + (heldOpen ? "Permission denied" : "Path/File access error"),
                 "Build Number: 16", "Module Name: frmstatus", "Procedure Name: DeleteFiles", "Line Number: 103",
                 "Date and time: {when}", "Program: " + box.folder(),
                 "Contact: Corvane Support, support@corvane.example, Corvane", "Variables:", "Parameters", "\t(none)",
                 "Local variables", "\ti\tInteger\t" + std::to_string(i), "Module variables",
                 "\tstr_files\tString()\t(\"\", \"\", \"" + kLast + "\")", "Global variables",
                 "\tgstr_skip\tString\t\"T:\\App\\\"", "\tgstr_drive\tString\t\"T:\\\"",
                 "\tgi_trace_num\tInteger\t256", "Answer: Ignore"};
  };
  if (c.unattended) {
    const Lines middle = report(isHeld, 1);
    log.insert(log.end() - 1, middle.begin(), middle.end());
    log = log + report(!isHeld, 2);
  }
  if (c.exitCode && !c.unattended) log.resize(log.size() - 2);  // it ended before the last deletion
  EXPECT_EQ(box.log(), log);

  if (!c.reportObjectAnswer) return;
  SYSTEMTIME t{};
  GetLocalTime(&t);
  const std::string date = "D:" + std::to_string(t.wYear) + "-" + std::to_string(t.wMonth) + "-" + std::to_string(t.wDay);
  // What the report object was given: particulars, program, support data, the four dumps; then asked; then let go.
  const std::string expected =
      "ErrDescription=[S:Error Number  ,I4:75,S:Description   ,S:Path/File access error,S:Build Number  ,S:16,"
      "S:Module Name   ,S:frmstatus,S:Procedure Name,S:DeleteFiles,S:Line Number   ,I4:103,S:Date and time ," + date +
      "]\nAppPath=S:" + box.folder() + "\nAppTitle=S:CorvaneFileCleanup\n"
      "UserData=[S:Corvane Support,S:support@corvane.example,S:Corvane Support,S:Corvane]\n"
      "SetVariables;&[S:Empty];&[S:i,I2:1];&[S:str_files,[S:,S:,S:" + kLast +
      "]];&[S:gstr_skip,S:T:\\App\\,S:gstr_drive,S:T:\\,S:gi_trace_num,I2:256]\nReportError\nreleased\n";
  EXPECT_EQ(Sandbox::read(record), expected);
}

INSTANTIATE_TEST_SUITE_P(Automatic, DeleteFaults, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e

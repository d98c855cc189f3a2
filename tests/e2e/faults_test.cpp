// Deletions that fail under the real program, the error report that follows
// in its own dialog or in a registered report object, and the user's answers:
// Ignore goes on, Retry tries again, Abort passes the error to the caller.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "e2e/driver.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

// Three leftovers in the order the search lists them (a folder's own before
// its subfolder's, .ini before .mdb); the fault meets the middle one. One more is spared.
const std::string kFirst = R"(T:\Old\corvane.ini)", kMiddle = R"(T:\Old\Held\corvane.ini)",
                  kLast = R"(T:\Old\corvane.mdb)", kSpared = R"(T:\App\corvane.ini)";

enum class Fault { Held, ReadOnly, Vanishes, BecomesFolder };
enum class Step { Ignore, Retry, RetryOnceFree, Abort };

struct Case {
  const char* name;
  Fault fault;
  std::vector<Step> answers;  // one per report, in order
  Lines reports;              // what each report says: number, description, procedure and line
  DWORD exitCode;
  bool middleDeleted, lastDeleted;
  const char* reportObjectAnswer = nullptr;  // a registered report object answers instead of the dialog
  const char* missingMember = "";
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Lines kDeleteFiles = {"75 Path/File access error frmstatus.DeleteFiles@103"};
const Case kCases[] = {
    {"HeldOpenAndIgnored", Fault::Held, {Step::Ignore}, {"70 Permission denied frmstatus.DeleteFiles@103"}, 0, false, true},
    {"HeldOpenRetriedUntilLetGo", Fault::Held, {Step::Retry, Step::RetryOnceFree},
     {"70 Permission denied frmstatus.DeleteFiles@103", "70 Permission denied frmstatus.DeleteFiles@103"}, 0, true, true},
    {"ReadOnlyAbortedTwice", Fault::ReadOnly, {Step::Abort, Step::Abort},
     kDeleteFiles + Lines{"75 Path/File access error frmstatus.Form_Activate@123"}, 75, false, false},
    {"VanishedAfterListing", Fault::Vanishes, {Step::Ignore}, {"53 File not found frmstatus.DeleteFiles@103"}, 0, false, true},
    {"ReplacedByAFolder", Fault::BecomesFolder, {Step::Ignore}, kDeleteFiles, 0, false, true},
    {"ReportObjectAnswersIgnoreAsText", Fault::ReadOnly, {}, {}, 0, false, true, "5"},
    {"ReportObjectWithoutAMember", Fault::ReadOnly, {}, {}, 438, false, false, "5", "SetVariables"},
};

// Registers report_server.dll as the report object for as long as it lives.
struct ReportObject {
  const std::string guid = "{6D1A3C52-9E0B-4F7A-B4C1-2F58A0C3E7D1}",
                    progId = "Software\\Classes\\VBGuardReport.clsVBGuardReport", clsid = "Software\\Classes\\CLSID\\" + guid;
  explicit ReportObject(const std::string& record) {
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
  for (const auto& f : {kFirst, kMiddle, kLast, kSpared}) plant(f);
  // Enough folders that the second search lasts until the listed file is gone.
  if (c.fault >= Fault::Vanishes) host("cd " + shellQuote(hostPath(L"T:\\")) + " && mkdir Ballast && cd Ballast && mkdir $(seq -f B%g 400)");
  if (c.fault == Fault::ReadOnly) host("chmod a-w " + shellQuote(hostPath(widen(kMiddle))));
  HANDLE held = c.fault != Fault::Held ? INVALID_HANDLE_VALUE
                                       : CreateFileW(widen(kMiddle).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  const std::string record = box.folder() + "\\record.txt";
  std::optional<ReportObject> object;
  if (c.reportObjectAnswer) object.emplace(record);
  SetEnvironmentVariableA("CORVANE_REPORT_ANSWER", c.reportObjectAnswer);
  SetEnvironmentVariableA("CORVANE_REPORT_MISSING", c.missingMember);

  Process app = Process::start(box.exe(), R"(CLEANUP,"T:\App\")");
  confirm(app);
  if (HasFatalFailure()) return;
  if (c.fault >= Fault::Vanishes) {
    HWND status = waitStatusWindow(app, kStep);
    const auto listed = [&]() -> HWND {
      const auto items = listItems(control(status, ui::kFrmstatusLayout, "List1"), Ms(500));
      return items && std::count(items->begin(), items->end(), widen(kMiddle)) ? status : nullptr;
    };
    ASSERT_TRUE(status && poll(app, kStep, listed)) << "the status window never listed " << kMiddle;
    ASSERT_TRUE(DeleteFileW(widen(kMiddle).c_str()));
    if (c.fault == Fault::BecomesFolder) plant(kMiddle + R"(\kept.txt)");
    ASSERT_EQ(Sandbox::read(Sandbox::logPath()).find("Found "), std::string::npos) << "gone after the searches: more ballast";
  }
  Lines reports;
  for (const Step step : c.answers) {
    const auto report = waitReportDialog(app, kStep);
    ASSERT_TRUE(report) << "no report " << reports.size() + 1;
    reports.push_back(narrow(report->field(L"Error Number:") + L" " + report->field(L"Description:") + L" " +
                             report->field(L"Module Name:") + L"." + report->field(L"Procedure Name:") + L"@" +
                             report->field(L"Line Number:")));
    EXPECT_EQ(report->title, L"CorvaneFileCleanup - Error");
    EXPECT_FALSE(report->field(L"Date and time:").empty());
    if (reports.back().ends_with("DeleteFiles@103")) {  // the variables, at the deletion of the second entry
      EXPECT_NE(report->texts.back().find(L"\ti\tInteger\t1\r\n"), std::wstring::npos) << narrow(report->texts.back());
    }
    EXPECT_FALSE(IsWindowEnabled(waitStatusWindow(app, kStep))) << "the status window takes input under its report";
    // Neither Esc nor closing ends a report: only its three buttons do.
    ASSERT_TRUE(typeKey(report->hwnd, WM_KEYDOWN, VK_ESCAPE) && closeWindow(report->hwnd));
    if (step == Step::RetryOnceFree) CloseHandle(std::exchange(held, INVALID_HANDLE_VALUE));
    ASSERT_TRUE(step == Step::Ignore  ? answer(report->hwnd, IDIGNORE)
                : step == Step::Abort ? answer(report->hwnd, IDABORT)
                                      : typeKey(report->hwnd, WM_SYSCHAR, 'r'));  // Alt+R
    poll(app, kStep, [&] { return IsWindowVisible(report->hwnd) ? nullptr : report->hwnd; });  // gone before the next
    EXPECT_TRUE(step != Step::Retry || exists(kMiddle));
  }
  if (c.exitCode != 0 && c.answers.empty()) {  // a failing report object: the error ends the program, shown in a box
    const auto box = waitMessageBox(app, L"CorvaneFileCleanup", kStep);
    ASSERT_TRUE(box) << "no box";
    EXPECT_EQ(box->text, L"Run-time error '438':\n\nObject doesn't support this property or method");
    answer(box->hwnd, IDOK);
  }
  EXPECT_EQ(app.waitExit(kStep), std::optional<DWORD>(c.exitCode));
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  EXPECT_EQ(reports, c.reports);
  EXPECT_FALSE(exists(kFirst));
  EXPECT_EQ(exists(kMiddle), !c.middleDeleted && c.fault != Fault::Vanishes);
  EXPECT_EQ(exists(kLast), !c.lastDeleted);
  EXPECT_TRUE(exists(kSpared));
  EXPECT_EQ(exists(kMiddle + R"(\kept.txt)"), c.fault == Fault::BecomesFolder) << "the folder in its place";
  Lines log = cleanupTrace(kAppMainLines, {kFirst, kMiddle, kLast}, {kMiddle});
  if (c.middleDeleted) log = cleanupTrace(kAppMainLines, {kFirst, kMiddle, kLast});
  if (!c.lastDeleted) log.resize(log.size() - 2);  // it ended before the last deletion
  EXPECT_EQ(box.log(), log);

  if (!c.reportObjectAnswer) return;
  SYSTEMTIME today{};
  GetLocalTime(&today);
  char date[16];
  std::snprintf(date, sizeof date, "D:%04u-%02u-%02u", today.wYear, today.wMonth, today.wDay);
  const auto seen = [&](const std::string& error, const std::string& procedure, int line) {
    return Lines{"ErrDescription=[S:Error Number  ," + error + ",S:Build Number  ,S:16,S:Module Name   ,S:frmstatus,"
                 "S:Procedure Name,S:" + procedure + ",S:Line Number   ,I4:" + std::to_string(line) +
                 ",S:Date and time ," + date + "]",
                 "AppPath=S:" + box.folder(), "AppTitle=S:CorvaneFileCleanup",
                 "UserData=[S:Corvane Support,S:support@corvane.example,S:Corvane Support,S:Corvane]"};
  };
  const std::string access = "I4:75,S:Description   ,S:Path/File access error";
  const std::string full = "SetVariables;&[S:Empty];&[S:i,I2:1];&[S:str_files,[S:,S:,S:" + kLast +
                           "]];&[S:gstr_skip,S:T:\\App\\,S:gstr_drive,S:T:\\,S:gi_trace_num,I2:256]";
  std::string expected;
  // Without the member the report fails; its error is the caller's, whose report fails the same way.
  for (const auto& line : *c.missingMember ? seen(access, "DeleteFiles", 103) + Lines{"released"} +
                                                 seen("I4:438,S:Description   ,S:Object doesn't support this property or method",
                                                      "Form_Activate", 123) + Lines{"released"}
                                           : seen(access, "DeleteFiles", 103) + Lines{full, "ReportError", "released"})
    expected += line + "\n";
  EXPECT_EQ(Sandbox::read(record), expected);
}

INSTANTIATE_TEST_SUITE_P(Automatic, DeleteFaults, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e

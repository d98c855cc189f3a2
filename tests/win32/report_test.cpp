// The report routine through the real automation adapter, against a report
// object of the tests' own (report_server.dll) registered for each test.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "guard/guard.h"
#include "guard/modvbguard.h"
#include "guard/win32/report.h"
#include "startup/globals.h"
#include "support/fakes.h"
#include "support/recording_component.h"

namespace {

const std::string kClsid = "{6D1A3C52-9E0B-4F7A-B4C1-2F58A0C3E7D1}";
const std::string kProgIdKey = std::string("Software\\Classes\\") + win32::kReportProgId;
const std::string kOtherClsid = "{6D1A3C52-9E0B-4F7A-B4C1-2F58A0C3E7D2}";  // not served by the DLL
std::string clsidKey(const std::string& clsid) { return "Software\\Classes\\CLSID\\" + clsid; }

std::string serverPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\')) + "\\report_server.dll";
}

// Windows looks for classes in the user's part of the registry as well;
// Wine only in the machine's.
const HKEY kRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

void setValue(HKEY root, const std::string& key, const char* name, const std::string& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(handle);
}

// Registers the server's DLL under the report ProgID and `clsid`; an empty path unregisters it.
void registerServer(const std::string& dllPath, const std::string& clsid = kClsid) {
  for (const HKEY root : kRoots) {
    RegDeleteTreeA(root, kProgIdKey.c_str());
    for (const auto& id : {kClsid, kOtherClsid}) RegDeleteTreeA(root, clsidKey(id).c_str());
    if (dllPath.empty()) continue;
    setValue(root, kProgIdKey + "\\CLSID", nullptr, clsid);
    setValue(root, clsidKey(clsid) + "\\InprocServer32", nullptr, dllPath);
    setValue(root, clsidKey(clsid) + "\\InprocServer32", "ThreadingModel", "Apartment");
  }
}

struct Sample {
  virtual ~Sample() = default;
};

class RegisteredReport : public testing::Test {
 protected:
  void SetUp() override {
    registerServer(serverPath());
    server_ = LoadLibraryA(serverPath().c_str());
    ASSERT_TRUE(server_) << serverPath();
    take_ = reinterpret_cast<const char* (*)()>(
        reinterpret_cast<void*>(GetProcAddress(server_, "ReportServerTakeRecord")));
    ASSERT_TRUE(take_);
    take_();
    platform::install({nullptr, nullptr, &process_});
    guard::installComponentFactory(win32::reportComponents(win32::kReportProgId, [this] {
      return std::make_unique<fakes::RecordingComponent>(fallback_);
    }));
    answer("i4:5", "");
    auto& error = guard::currentError();
    error = rt::RuntimeError{};
    error.number = 75;
    error.description = "Path/File access error";
    error.line = 103;
    auto& slots = guard::slots();
    slots.GuardParams = guard::dump("Path", std::string("U:\\caf\xe9"), "DirCount", rt::int32(70000), "sf", &sample_,
                                    "nobody", static_cast<Sample*>(nullptr));
    slots.GuardLocals = guard::dump("i", rt::int16(-2), "yes", true, "no", false, "when", rt::DateTime{2024, 2, 29, 23, 59, 58},
                                    "files", std::vector<std::string>{"a", "b\"c"}, "none", std::vector<std::string>{});
    slots.GuardModuleVars = guard::marker();
    gstr_skip = "U:\\App\\";
    gstr_drive = "U:\\";
    gi_trace_num = 2;
  }
  void TearDown() override {
    registerServer("");
    guard::installComponentFactory(nullptr);
    platform::install({});
    answer(nullptr, nullptr);
    if (server_) FreeLibrary(server_);
  }

  static void answer(const char* answer, const char* missing) {
    SetEnvironmentVariableA("CORVANE_REPORT_ANSWER", answer);
    SetEnvironmentVariableA("CORVANE_REPORT_MISSING", missing);
  }

  HMODULE server_ = nullptr;
  const char* (*take_)() = nullptr;
  fakes::FakeProcess process_;
  fakes::ComponentScript fallback_;
  Sample sample_;
};

TEST_F(RegisteredReport, HandsEverythingOverByLateBindingWithItsOwnType) {
  ASSERT_EQ(GetACP(), 1252u) << "the expected texts assume the Western code page";
  EXPECT_EQ(modVBGuard::GuardReportError("frmstatus", "DeleteFiles"), 5);
  std::string userData;
  for (const auto& entry : modVBGuard::UserDataList()) userData += (userData.empty() ? "S:" : ",S:") + entry;
  EXPECT_EQ(std::string(take_()),
            "created\n"
            "ErrDescription=[S:Error Number  ,I4:75,S:Description   ,S:Path/File access error,S:Build Number  ,S:16,"
            "S:Module Name   ,S:frmstatus,S:Procedure Name,S:DeleteFiles,S:Line Number   ,I4:103,"
            "S:Date and time ,D:2026-12-06 08:40:05]\n"
            "AppPath=S:C:\\Program Files\\Corvane\n"
            "AppTitle=S:CorvaneFileCleanup\n"
            "UserData=[" + userData + "]\n"
            "SetVariables(&[S:Path,S:U:\\caf\\u00e9,S:DirCount,I4:70000,S:sf,O:S:(anonymous namespace)::Sample,S:nobody,O:null];"
            "&[S:i,I2:-2,S:yes,B:-1,S:no,B:0,S:when,D:2024-02-29 23:59:58,S:files,[S:a,S:b\"c],S:none,[]];"
            "&[S:Empty];&[S:gstr_skip,S:U:\\App\\,S:gstr_drive,S:U:\\,S:gi_trace_num,I2:2])\n"
            "ReportError()\n"
            "released\n");
  EXPECT_TRUE(fallback_.reports.empty());
}

struct AnswerCase {
  const char* answer;
  const char* missing;  // a member the object lacks
  int32_t result;       // when no error
  int32_t error;        // the run-time error the report raises, 0 for none
  const char* description;
};

const AnswerCase kAnswers[] = {
    {"i4:4", "", 4, 0, ""},
    {"i4:-7", "", -7, 0, ""},
    {"str:3", "", 3, 0, ""},
    {"", "", 0, 0, ""},  // no value at all converts to 0
    {"str:four", "", 0, 13, "Type mismatch"},
    {"str:99999999999", "", 0, 6, "Overflow"},
    {"raise", "", 0, 1004, "The report could not be sent"},
    {"i4:4", "ErrDescription", 0, 438, "Object doesn't support this property or method"},
    {"i4:4", "SetVariables", 0, 438, "Object doesn't support this property or method"},
    {"i4:4", "ReportError", 0, 438, "Object doesn't support this property or method"},
};

TEST_F(RegisteredReport, ConvertsTheAnswerOrRaises) {
  for (const auto& c : kAnswers) {
    SCOPED_TRACE(std::string(c.answer) + " / missing " + c.missing);
    answer(c.answer, c.missing);
    int32_t result = -1, error = 0;
    std::string description;
    try {
      result = modVBGuard::GuardReportError("frmstatus", "DeleteFiles");
    } catch (const rt::RuntimeError& e) {
      error = e.number;
      description = e.description;
    }
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(description, c.description);
    if (!c.error) {
      EXPECT_EQ(result, c.result);
    }
    const std::string record = take_();
    EXPECT_TRUE(record.ends_with("released\n")) << record;  // also after a failure
  }
}

TEST_F(RegisteredReport, WithoutARegisteredObjectTheFallbackReports) {
  registerServer("");
  fallback_.answers = {4};
  EXPECT_EQ(modVBGuard::GuardReportError("module1", "Main"), 4);
  ASSERT_EQ(fallback_.reports.size(), 1u);
  EXPECT_EQ(fallback_.reports[0].calls.back(), "ReportError");
  EXPECT_EQ(std::string(take_()), "");
}

TEST_F(RegisteredReport, ARegisteredObjectThatCannotBeCreatedIsError429) {
  registerServer(serverPath(), kOtherClsid);
  try {
    modVBGuard::GuardReportError("module1", "Main");
    ADD_FAILURE() << "no error";
  } catch (const rt::RuntimeError& e) {
    EXPECT_EQ(e.number, rt::errCannotCreateObject);
  }
  EXPECT_TRUE(fallback_.reports.empty());
}

TEST(ReportDialogRows, ShowNameTypeAndValue) {
  Sample sample;
  const auto rows = win32::variableRows(guard::dump(
      "i", rt::int16(7), "n", rt::int32(-70000), "s", std::string("a\"b"), "b", false, "f",
      std::vector<std::string>{"x", "y"}, "o", &sample, "p", static_cast<Sample*>(nullptr)));
  EXPECT_EQ(rows, (std::vector<win32::VariableRow>{{"i", "Integer", "7"},
                                                    {"n", "Long", "-70000"},
                                                    {"s", "String", "\"a\"\"b\""},
                                                    {"b", "Boolean", "False"},
                                                    {"f", "String()", "(\"x\", \"y\")"},
                                                    {"o", "Object", "(anonymous namespace)::Sample"},
                                                    {"p", "Object", "Nothing"}}));
  EXPECT_TRUE(win32::variableRows(guard::marker()).empty());
  EXPECT_EQ(win32::variableRows(guard::dump("when", rt::DateTime{2024, 2, 29, 1, 2, 3}))[0].type, "Date");
}

}  // namespace

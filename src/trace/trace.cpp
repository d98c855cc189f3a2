#include "trace/trace.h"

#include <algorithm>
#include <memory>

#include "guard/guard.h"
#include "platform/platform.h"
#include "runtime/datetime.h"
#include "runtime/strings.h"
#include "startup/globals.h"
#include "sysfolders/csystemfolders.h"
#include "trace/frmpics.h"

namespace TRACE {

void DumpModuleVariables() { guard::slots().GuardModuleVars = guard::marker(); }

namespace {
constexpr const char* kLogName = "corvanefilecleanup.log";
}  // namespace

void begintrace() {
  std::string ls_trace_file;
  guard::Guarded g{"TRACE", "begintrace", guard::noParameters(),
                   [&] { return guard::dump("ls_trace_file", ls_trace_file); }, DumpModuleVariables};
  g.body([&] {
    // Where no folder takes the log, the run goes on without one.
    g(100, [&] {
      ls_trace_file = GetWritePath(false);
      if (!ls_trace_file.empty()) ls_trace_file += kLogName;
    });
    if (ls_trace_file.empty()) return;
    // 1 to 255 are left to the rest of the program.
    g(101, [&] { gi_trace_num = platform::FreeFile(256, 511); });
    g(102, [&] { platform::textFiles().Open(gi_trace_num, ls_trace_file, platform::TextFiles::Mode::Append); });
    g(103, [&] { writetrace("Starting Trace at " + rt::dateTimeText()); });
  });
}

void writetrace(std::string as_line) {
  try {
    if (gi_trace_num == 0) return;
    // A line break inside the text (a command-line element may hold one)
    // would make one call several lines: the log stays a line per call.
    std::replace_if(
        as_line.begin(), as_line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    platform::textFiles().WriteLine(gi_trace_num, as_line);
  } catch (const rt::RuntimeError&) {
    // A trace line must never disturb the program.
  }
}

void endtrace() {
  guard::Guarded g{"TRACE", "endtrace", guard::noParameters(), guard::noLocals(), DumpModuleVariables};
  g.body([&] {
    g(100, [&] { writetrace("Ending Trace at " + rt::dateTimeText()); });
    g(101, [&] { platform::textFiles().Close(gi_trace_num); });
    g(102, [&] { gi_trace_num = 0; });
  });
}

namespace {

// F + "\" + T, without doubling a backslash F already ends in.
std::string joined(const std::string& folder, const std::string& tail) {
  return folder.empty() || folder.back() != '\\' ? folder + "\\" + tail : folder + tail;
}

// The folder exists: its attributes carry the folder bit. A path whose
// attributes cannot be read counts as missing, and so does one where the log
// cannot really be appended to or made by this account (an elevated run's,
// read by a user; a folder it may not write; a log another program holds),
// would be written through a link (any user may plant one there) or, in a run
// with the administrators' rights, belongs to an ordinary user.
bool folderExists(const std::string& path) {
  const uint32_t attributes = platform::fileSystem().GetFileAttributesA(path);
  return attributes != platform::kInvalidAttributes && (attributes & platform::kAttrDirectory) != 0 &&
         platform::textFiles().Appendable(path + kLogName);
}

}  // namespace

bool FileExists(const std::string& Path, bool bdir) {
  rt::int16 x = 0;
  rt::int32 ll_count = 0;
  std::string ls_temppath;
  int32_t errNumber = 0;
  bool result = false;
  // Every error is passed over: the statement after it runs, and the result is false.
  const auto next = [&](auto&& statement) {
    try {
      statement();
    } catch (const rt::RuntimeError& error) {
      errNumber = error.number;
    }
  };
  auto& files = platform::textFiles();
  next([&] { x = platform::FreeFile(1, 255); });
  if (bdir) {
    auto& form = frmpics::instance();
    next([&] { ls_temppath = joined(platform::process().AppPath(), ""); });
    next([&] {
      ui::windows().Load(form);
      form.FDirectory->Path(platform::process().AppPath());
    });
    bool listed = false;
    next([&] { listed = form.FDirectory && !form.FDirectory->Path().empty() && form.FDirectory->ListCount() > 0; });
    if (listed) {
      auto& process = platform::process();
      const int32_t count = form.FDirectory->ListCount();
      for (ll_count = 0; ll_count < count; ++ll_count) {
        bool same = false;
        next([&] { same = process.UCase(Path) == process.UCase(ls_temppath + form.FDirectory->List(ll_count)); });
        if (same) return true;
      }
    }
  }
  next([&] { files.Open(x, Path, platform::TextFiles::Mode::Input); });
  result = errNumber == 0;
  next([&] { files.Close(x); });
  return result;
}

std::string GetWritePath(bool VentrikaPath) {
  std::string result;
  std::string str_inipath;
  std::string str_sysfolder;
  std::unique_ptr<CSystemFolders> sf;
  std::string str_sysfolderini;
  bool searchVentrika = false;
  bool exists = false;
  guard::Guarded g{"TRACE", "GetWritePath", [&] { return guard::dump("VentrikaPath", VentrikaPath); },
                   [&] {
                     return guard::dump("str_inipath", str_inipath, "str_sysfolder", str_sysfolder, "sf", sf.get(),
                                        "str_sysfolderini", str_sysfolderini, "searchVentrika", searchVentrika);
                   },
                   DumpModuleVariables};
  g.body([&] {
    g(100, [&] { searchVentrika = VentrikaPath; });
    g(101, [&] { sf = std::make_unique<CSystemFolders>(); });
    g(102, [&] { str_sysfolder = sf->Path(sysfolders::CSIDL_COMMON_APPDATA, true, false); });
    g(103, [&] { sf.reset(); });
    g(104, [&] { writetrace("GetWritePath() - searchVentrika:" + rt::CStr(searchVentrika)); });
    g(105, [&] { writetrace("GetWritePath() - Common App Data Folder:" + str_sysfolder); });
    g(106, [&] { str_sysfolderini = joined(str_sysfolder, "corvane3\\"); });
    g(107, [&] { writetrace("GetWritePath() - write path:" + str_sysfolderini); });
    g(108, [&] { exists = folderExists(str_sysfolderini); });
    if (exists) {
      g(109, [&] { writetrace("GetWritePath() - write path:" + str_sysfolderini + " Exists. Use this folder"); });
      g(110, [&] { result = str_sysfolderini; });
      return;
    }
    g(111, [&] { writetrace("GetWritePath() - write path:" + str_sysfolderini + " Does not exist"); });
    g(112, [&] { str_sysfolderini = joined(str_sysfolder, ""); });
    g(113, [&] { writetrace("GetWritePath() - write path:" + str_sysfolderini); });
    g(114, [&] { exists = folderExists(str_sysfolderini); });
    if (exists) {
      g(115, [&] { writetrace("GetWritePath() - write path:" + str_sysfolderini + " Exists. Use this folder"); });
      g(116, [&] { result = str_sysfolderini; });
      return;
    }
    g(117, [&] { writetrace("GetWritePath() - write path:" + str_sysfolderini + " Does not exist"); });
    g(118, [&] { str_inipath = joined(platform::process().AppPath(), ""); });
    g(119, [&] { exists = folderExists(str_inipath); });
    if (exists) {
      g(120, [&] { writetrace("GetWritePath() - write path:" + str_inipath + " Exists. Use this app folder"); });
      g(121, [&] { result = str_inipath; });
      return;
    }
    g(122, [&] { writetrace("GetWritePath() - write path:" + str_inipath + " Does not exist"); });
    // Under Program Files an ordinary user may create nothing; the account's
    // own folder takes every account's log, the system account's too.
    g(123, [&] { sf = std::make_unique<CSystemFolders>(); });
    g(124, [&] {
      const std::string local = sf->Path(sysfolders::CSIDL_LOCAL_APPDATA, false, true);
      str_sysfolderini = local.empty() ? std::string() : joined(local, "CorvaneFileCleanup\\");
    });
    g(125, [&] { sf.reset(); });
    if (str_sysfolderini.empty()) return;
    g(126, [&] { writetrace("GetWritePath() - write path:" + str_sysfolderini); });
    g(127, [&] {
      auto& files = platform::fileSystem();
      try {
        if (files.GetFileAttributesA(str_sysfolderini) == platform::kInvalidAttributes)
          files.MkDir(str_sysfolderini.substr(0, str_sysfolderini.size() - 1));
      } catch (const rt::RuntimeError&) {
        // Not made: passed over below like any folder that takes no log, and without a report.
      }
    });
    g(128, [&] { exists = folderExists(str_sysfolderini); });
    if (exists) {
      g(129, [&] { writetrace("GetWritePath() - write path:" + str_sysfolderini + " Exists. Use this folder"); });
      g(130, [&] { result = str_sysfolderini; });
      return;
    }
    g(131, [&] { writetrace("GetWritePath() - write path:" + str_sysfolderini + " Does not exist"); });
  });
  return result;
}

}  // namespace TRACE

#include "trace/trace.h"

#include "guard/guard.h"
#include "platform/platform.h"
#include "runtime/datetime.h"
#include "startup/globals.h"

namespace TRACE {

void DumpModuleVariables() { guard::slots().GuardModuleVars = guard::marker(); }

void begintrace() {
  std::string ls_trace_file;
  guard::Guarded g{"TRACE", "begintrace", guard::noParameters(),
                   [&] { return guard::dump("ls_trace_file", ls_trace_file); }, DumpModuleVariables};
  g.body([&] {
    g(100, [&] { ls_trace_file = GetWritePath(false) + "corvanefilecleanup.log"; });
    // 1 to 255 are left to the rest of the program.
    g(101, [&] { gi_trace_num = platform::FreeFile(256, 511); });
    g(102, [&] { platform::textFiles().Open(gi_trace_num, ls_trace_file, platform::TextFiles::Mode::Append); });
    g(103, [&] { writetrace("Starting Trace at " + rt::dateTimeText()); });
  });
}

void writetrace(std::string as_line) {
  try {
    if (gi_trace_num == 0) return;
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

std::string GetWritePath(bool VentrikaPath) {
  std::string result;
  std::string str_inipath;
  guard::Guarded g{"TRACE", "GetWritePath", [&] { return guard::dump("VentrikaPath", VentrikaPath); },
                   [&] { return guard::dump("str_inipath", str_inipath); }, DumpModuleVariables};
  g.body([&] {
    // The program's own folder, untested, until the application-data folder is looked up.
    g(100, [&] {
      str_inipath = platform::process().AppPath();
      if (str_inipath.empty() || str_inipath.back() != '\\') str_inipath += '\\';
    });
    g(101, [&] { writetrace("GetWritePath() - write path:" + str_inipath + " Exists. Use this app folder"); });
    g(102, [&] { result = str_inipath; });
  });
  return result;
}

}  // namespace TRACE

#include "startup/main.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "cleanup/form1.h"
#include "cleanup/frmrestore.h"
#include "cleanup/frmstatus.h"
#include "cleanup/restore.h"
#include "guard/guard.h"
#include "guard/unattended.h"
#include "platform/platform.h"
#include "runtime/datetime.h"
#include "runtime/strings.h"
#include "runtime/wtf8.h"
#include "startup/globals.h"
#include "trace/trace.h"

namespace module1 {

void DumpModuleVariables() { guard::slots().GuardModuleVars = guard::marker(); }

namespace {

// The element is the word: blanks around it do not count, its letter case does.
bool isWord(const std::string& element, std::string_view word) { return rt::Trim(element) == word; }

bool given(const std::vector<std::string>& args, std::string_view word) {
  return std::any_of(args.begin(), args.end(), [&](const std::string& element) { return isWord(element, word); });
}

// The words that choose a mode; any other element names the installation folder.
bool isModeWord(const std::string& trimmed) { return trimmed == "CLEANUP" || trimmed == "SILENT" || trimmed == "RESTORE"; }

// CLEANUP (or RESTORE) and SILENT: a run nobody watches, such as a silent install's or its rollback's.
bool unattendedRun(const std::vector<std::string>& args) {
  return (given(args, "CLEANUP") || given(args, "RESTORE")) && given(args, "SILENT");
}

}  // namespace

void Main() {
  std::vector<std::string> str_Args;
  rt::int16 iLoop = 0;
  bool bln_cleanup = false;
  rt::int16 int_result = 0;
  rt::int16 int_pos = 0;
  auto& desktop = platform::desktop();
  using TRACE::writetrace;
  // Known before the trace opens: not even a log that cannot be opened may
  // show a report when nobody is there to answer it.
  const auto words = rt::Split(platform::process().CommandLine(), ',');
  const bool unattended = unattendedRun(words);
  // RESTORE puts back what a cleanup kept; CLEANUP beside it wins, as a cleanup never undoes itself.
  const bool restoring = given(words, "RESTORE") && !given(words, "CLEANUP");
  if (unattended) guard::beginUnattended(writetrace);

  guard::Guarded g{"module1", "Main", guard::noParameters(),
                   [&] {
                     return guard::dump("str_Args", str_Args, "iLoop", iLoop, "bln_cleanup", bln_cleanup,
                                        "int_result", int_result, "int_pos", int_pos);
                   },
                   DumpModuleVariables};
  g.body([&] {
    g(100, [&] { TRACE::begintrace(); });
    g(101, [&] { writetrace("Start:" + rt::dateTimeText()); });
    g(102, [&] { str_Args = rt::Split(platform::process().CommandLine(), ','); });
    g.For(103, iLoop, 0, [&] { return static_cast<long long>(str_Args.size()) - 1; }, 108, [&] {
      const auto element = [&]() -> const std::string& { return str_Args[static_cast<std::size_t>(iLoop.value())]; };
      g(104, [&] { writetrace("Parameter:" + element() + " iLoop:" + rt::CStr(iLoop)); });
      g(105, [&] {
        if (isWord(element(), "CLEANUP")) {
          bln_cleanup = true;
          writetrace("CLEANUP parameter provided");
        }
        if (isWord(element(), "SILENT")) writetrace("SILENT parameter provided");
        if (isWord(element(), "RESTORE")) writetrace("RESTORE parameter provided");
      });
      g(106, [&] {
        const std::string trimmed = rt::Trim(element());
        if (!trimmed.empty() && !isModeWord(trimmed)) gstr_skip = element();
      });
      g(107, [&] { gstr_skip = rt::Replace(gstr_skip, "\"", ""); });
    });
    g(109, [&] { writetrace("Skip parameter provided:|" + gstr_skip + "|"); });
    if (!gstr_skip.empty()) {
      // Counted in characters as the system counts them, so that the trace shows what it always showed.
      g(110, [&] {
        const auto colon = rt::InStr(gstr_skip, ":");
        int_pos = colon ? rt::unitCount(rt::Left(gstr_skip, colon)) : 0;
      });
      g(111, [&] { writetrace("int_pos:" + rt::CStr(int_pos)); });
      if (int_pos > 0) {
        g(112, [&] {
          // Through the colon and the character after it, whatever its length in bytes.
          std::size_t end = rt::InStr(gstr_skip, ":") + 1;
          while (end < gstr_skip.size() && (gstr_skip[end] & 0xC0) == 0x80) ++end;
          gstr_drive = rt::Left(gstr_skip, end);
        });
        g(113, [&] { writetrace("gstr_drive:" + gstr_drive); });
      }
    }
    if (restoring) {
      g(125, [&] { writetrace("Start Restore - using commandline"); });
      g(126, [&] {
        if (unattended)
          cleanup::RestoreKept(gstr_skip);
        else
          ui::windows().Show(cleanup::frmrestore::instance(), true);
      });
      g(127, [&] { writetrace("End:" + rt::dateTimeText()); });
      g(128, [&] { platform::End(guard::exitCode()); });
    } else if (bln_cleanup) {
      // Nobody is there to answer: taken as Yes, and the next box as OK.
      g(114, [&] {
        int_result = unattended ? 6
                                : desktop.MsgBox("Have you previously installed Corvane on this computer?", 36,
                                                 "Corvane File Cleanup");
      });
      if (int_result != 6) {
        g(115, [&] { writetrace("End:" + rt::dateTimeText()); });
        g(116, [&] { platform::End(0); });
      }
      g(117, [&] {
        if (!unattended)
          desktop.MsgBox(
              "A file cleanup will now be performed to remove Corvane INI and MDB files that may have been left "
              "behind after an uninstall. This will take approximately 2-10 mins. Setup will resume after "
              "completion.",
              64, "Corvane File Cleanup");
      });
      g(118, [&] { writetrace("Start Cleanup - using commandline"); });
      g(119, [&] {
        auto& status = cleanup::frmstatus::instance();
        unattended ? ui::windows().RunHidden(status) : ui::windows().Show(status, true);
      });
    } else {
      g(120, [&] { writetrace("No cleanup parameter supplied display main screen"); });
      g(121, [&] { ui::windows().Show(cleanup::Form1::instance(), false); });
      if (str_Args.empty()) g(122, [&] { writetrace("No parameters supplied display main screen"); });
      g(123, [&] { writetrace("End:" + rt::dateTimeText()); });
      g(124, [&] { TRACE::endtrace(); });
    }
  });
}

}  // namespace module1

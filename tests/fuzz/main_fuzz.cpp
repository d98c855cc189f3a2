// Fuzzes the command-line grammar and Main's trace over the doubles. Each
// input is the argument text; a property that does not hold aborts (a finding),
// and so does a run-time error that leaves Main.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "startup/main.h"
#include "support/doubles.h"

namespace {

void require(bool holds, const char* property) {
  if (!holds) std::fprintf(stderr, "property violated: %s\n", property), std::abort();
}

// What the grammar makes of the text: an element is a word once blanks (not
// tabs) are trimmed off both ends; the folder is the last other non-blank one.
struct Parsed {
  bool cleanup = false, restore = false;
  int silent = 0;
  std::string skip;
};
Parsed parse(std::string_view text) {
  Parsed parsed;
  for (std::size_t start = 0; !text.empty() && start <= text.size();) {
    const std::string_view whole = text.substr(start, text.find(',', start) - start);
    std::string_view element = whole;
    start += element.size() + 1;
    while (element.starts_with(' ')) element.remove_prefix(1);
    while (element.ends_with(' ')) element.remove_suffix(1);
    parsed.cleanup |= element == "CLEANUP";
    parsed.silent += element == "SILENT";
    parsed.restore |= element == "RESTORE";
    if (!element.empty() && element != "CLEANUP" && element != "SILENT" && element != "RESTORE")
      std::erase(parsed.skip = whole, '"');
  }
  return parsed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // Windows caps a command line at 32767 characters, its NUL, the program's name
  // and a blank among them; past that the 16-bit element index could overflow.
  if (size > 32764) return -1;
  doubles::World world;
  world.commandLine.assign(reinterpret_cast<const char*>(data), size);
  world.answers = {7};  // No: an automatic run ends right after the parameters
  const Parsed parsed = parse(world.commandLine);
  const bool automatic = parsed.cleanup && !parsed.silent, unattended = parsed.cleanup && parsed.silent;
  const bool restoring = parsed.restore && !parsed.cleanup;  // a cleanup is never undone by its own command line
  try {
    module1::Main();
    require(!automatic && !restoring, "the interactive and the unattended mode (here) return from Main");
  } catch (const doubles::ProgramEnded& end) {
    require((automatic || restoring) && end.exitCode == 0, "the automatic mode ends with 0 after No, RESTORE with 0 here");
  }
  require(world.boxes.size() == automatic, "the automatic mode asks its first question, the others nothing");
  const bool windowless = automatic || (restoring && parsed.silent);
  const char* window = restoring ? "frmrestore!" : unattended ? "frmstatus unseen" : "Form1";
  require(world.shown.size() == !windowless && (windowless || world.shown[0] == window),
          "the interactive mode shows Form1, the unattended one runs frmstatus unseen, RESTORE frmrestore unless "
          "SILENT, the automatic one nothing");
  require(gstr_skip == parsed.skip, "gstr_skip is the last element that is no word nor blank, without quotes");
  require(gstr_skip.starts_with(gstr_drive) && gstr_drive.empty() == (gstr_skip.find(':') == std::string::npos),
          "gstr_drive begins gstr_skip, and is set when gstr_skip has a colon");
  const auto lines = world.log();
  require(world.files.size() == 1 && int(lines.size()) == world.writes, "each trace call writes one whole line, to the log");
  for (const auto& line : lines) require(line.find_first_of("\r\n") == std::string::npos, "no CR or LF in a line");
  require(std::count(lines.begin(), lines.end(), "SILENT parameter provided") == parsed.silent, "each SILENT traced");
  require(lines.back().starts_with(restoring ? "End:" : unattended ? "Start Cleanup" : automatic ? "End:" : "Ending Trace at "),
          "the log ends with the mode's last line");
  return 0;
}

// Fuzzes the command-line grammar and Main's trace over the doubles. Each
// input is the argument text; a property that does not hold aborts (a finding).
#include <cstdio>
#include <cstdlib>

#include "startup/main.h"
#include "support/doubles.h"

namespace {

// Windows caps a command line at 32767 characters, its NUL, the program's
// name and a blank among them; past that the 16-bit element index could
// overflow, which no real run meets.
constexpr std::size_t kLongestArgumentText = 32764;

void require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property violated: %s\n", property);
  std::abort();
}

// An element that is "CLEANUP" once blanks (not tabs) are trimmed off both ends.
bool selectsAutomaticMode(std::string_view text) {
  for (std::size_t start = 0; !text.empty() && start <= text.size();) {
    std::string_view element = text.substr(start, text.find(',', start) - start);
    start += element.size() + 1;
    while (element.starts_with(' ')) element.remove_prefix(1);
    while (element.ends_with(' ')) element.remove_suffix(1);
    if (element == "CLEANUP") return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > kLongestArgumentText) return -1;  // not kept in the corpus
  const std::string text(reinterpret_cast<const char*>(data), size);
  doubles::World world;
  world.process.commandLine = text;
  world.desktop.answers = {7};  // No: an automatic run ends right after the parameters
  bool ended = false;
  try {
    module1::Main();
  } catch (const doubles::ProgramEnded& end) {
    ended = end.exitCode == 0;
  } catch (const rt::RuntimeError& error) {
    std::fprintf(stderr, "run-time error %d left Main at line %d\n", int(error.number), int(error.line));
    std::abort();
  }

  const bool automatic = selectsAutomaticMode(text);
  require(ended == automatic, "the automatic mode ends (with 0) after No, the interactive one returns");
  require(world.desktop.boxes.size() == (automatic ? 1u : 0u), "the automatic mode asks its first question only");
  require(world.windows.shown == (automatic ? std::vector<std::string>{} : std::vector<std::string>{"Form1"}),
          "the interactive mode shows Form1 modeless, the automatic one nothing after No");
  require(gstr_skip.find('"') == std::string::npos, "gstr_skip holds no double quote");
  require(gstr_skip.starts_with(gstr_drive), "gstr_drive is a beginning of gstr_skip");
  require(gstr_drive.empty() == (gstr_skip.find(':') == std::string::npos), "gstr_drive is set when gstr_skip has a colon");

  const auto lines = world.log();
  require(world.files.content.size() == 1, "the run writes one file, the log");
  require(static_cast<int>(lines.size()) == world.files.writes, "each trace call writes exactly one whole line");
  for (const auto& line : lines) require(line.find_first_of("\r\n") == std::string::npos, "no CR or LF in a line");
  require(lines.back().starts_with(automatic ? "End:" : "Ending Trace at "), "the log ends with the mode's last line");
  return 0;
}

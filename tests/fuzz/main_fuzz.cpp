// Fuzzes the command-line grammar and Main's trace over the test doubles.
// Each input is the argument text; the run checks properties of the result,
// and aborts (a finding) when one does not hold.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/error.h"
#include "startup/globals.h"
#include "startup/main.h"
#include "support/fakes.h"

namespace {

// Windows caps a command line at 32767 characters, its NUL, the program's
// name and a blank among them. Past that, the 16-bit element index could
// overflow, which no real run can meet.
constexpr std::size_t kLongestArgumentText = 32764;

void require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property violated: %s\n", property);
  std::abort();
}

// Counts what reaches the in-memory files, to compare with the lines they hold.
class CountingTextFiles final : public platform::TextFiles {
 public:
  explicit CountingTextFiles(fakes::MemoryTextFiles& files) : files_(files) {}
  int writes = 0;

  bool IsOpen(int number) const override { return files_.IsOpen(number); }
  void Open(int number, const std::string& path, Mode mode) override { files_.Open(number, path, mode); }
  void WriteLine(int number, std::string_view text) override {
    files_.WriteLine(number, text);
    ++writes;
  }
  void Close(int number) override { files_.Close(number); }
  void CloseAll() override { files_.CloseAll(); }

 private:
  fakes::MemoryTextFiles& files_;
};

// Automatic mode: an element that is "CLEANUP" once its blanks (not tabs) are
// trimmed off both ends, letter case and all.
bool selectsAutomaticMode(std::string_view text) {
  if (text.empty()) return false;
  for (;;) {
    const auto comma = text.find(',');
    std::string_view element = text.substr(0, comma);
    while (element.starts_with(' ')) element.remove_prefix(1);
    while (element.ends_with(' ')) element.remove_suffix(1);
    if (element == "CLEANUP") return true;
    if (comma == std::string_view::npos) return false;
    text.remove_prefix(comma + 1);
  }
}

// The log as lines ended by CR LF; false when it ends in a partial line.
bool splitLog(const std::string& log, std::vector<std::string>& lines) {
  std::size_t at = 0;
  for (auto end = log.find("\r\n"); end != std::string::npos; end = log.find("\r\n", at)) {
    lines.push_back(log.substr(at, end - at));
    at = end + 2;
  }
  return at == log.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > kLongestArgumentText) return -1;  // not kept in the corpus
  const std::string text(reinterpret_cast<const char*>(data), size);

  fakes::World world;
  CountingTextFiles files{world.files};
  platform::install({&world.fs, &files, &world.process, &world.desktop, &world.libraries, &world.folders});
  world.process.commandLine = text;
  world.desktop.answers = {7};  // No to the first question: the run ends right after the parameters

  bool ended = false;
  try {
    module1::Main();
  } catch (const fakes::ProgramEnded& end) {
    ended = true;
    require(end.exitCode == 0, "the program ends with exit code 0");
  } catch (const rt::RuntimeError& error) {
    std::fprintf(stderr, "run-time error %d (%s) left Main at line %d\n", static_cast<int>(error.number),
                 error.description.c_str(), static_cast<int>(error.line));
    std::abort();
  }

  const bool automatic = selectsAutomaticMode(text);
  if (automatic) {
    require(ended, "the automatic mode ends the program after No");
    require(world.desktop.boxes.size() == 1 && world.desktop.boxes[0].flags == 36,
            "the automatic mode asks its first question, and only that");
    require(world.windows.shown.empty(), "the automatic mode shows no window after No");
  } else {
    require(!ended, "the interactive mode returns from Main");
    require(world.desktop.boxes.empty(), "the interactive mode asks nothing");
    require(
        world.windows.shown.size() == 1 && world.windows.shown[0].first == "Form1" && !world.windows.shown[0].second,
        "the interactive mode shows Form1 modeless");
    require(gi_trace_num == 0, "the interactive mode closes the trace");
  }

  require(gstr_skip.find('"') == std::string::npos, "gstr_skip holds no double quote");
  require(gstr_drive.size() <= gstr_skip.size() && gstr_skip.compare(0, gstr_drive.size(), gstr_drive) == 0,
          "gstr_drive is a prefix of gstr_skip");
  require(gstr_drive.empty() == (gstr_skip.find(':') == std::string::npos),
          "gstr_drive is set exactly when gstr_skip holds a colon");

  const auto paths = world.files.paths();
  require(paths.size() == 1, "the run writes one file, the log");
  std::vector<std::string> lines;
  require(splitLog(world.files.content(paths[0]), lines), "the log ends with a whole line");
  require(static_cast<int>(lines.size()) == files.writes, "each trace call writes exactly one line");
  for (const auto& line : lines)
    require(line.find_first_of("\r\n") == std::string::npos, "no trace line holds a CR or LF");
  require(!lines.empty() && lines.back().starts_with(automatic ? "End:" : "Ending Trace at "),
          "the log ends with the mode's last line");
  return 0;
}

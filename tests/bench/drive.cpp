// The demo's and scripts/run's driver: starts the program (a Unix path) with
// the argument text in CORVANE_ARGS, exactly. "auto" answers Yes and OK and
// photographs the status window a few folders into its search into UNIX_PNG;
// "none" only waits for the program to end. Its exit code is the program's.
//
//   drive UNIX_EXE auto UNIX_PNG | none
#include "e2e/driver.h"

using namespace e2e;

int main(int argc, char** argv) {
  --argc, ++argv;
  const std::string mode = argc > 1 ? argv[1] : "";
  if ((mode != "auto" && mode != "none") || argc != (mode == "none" ? 2 : 3)) {
    std::fprintf(stderr, "usage: drive UNIX_EXE auto UNIX_PNG | none  (arguments in CORVANE_ARGS)\n");
    return 2;
  }
  const auto say = [](const std::string& line) { std::printf("%s\n", line.c_str()), std::fflush(stdout); };
  const char* args = std::getenv("CORVANE_ARGS");
  Process app = Process::start(narrow(dosPath(argv[0])), args ? args : "");
  // The screen cropped to the window while it searches. A picture counts only
  // when the window outlived it (a crop of a window gone is of the empty
  // screen) and it holds more than one colour.
  const std::string png = mode == "auto" ? shellQuote(argv[2]) : "";
  const auto photograph = [&](HWND window) -> std::string {
    RECT r{};
    GetWindowRect(window, &r);
    const int status =
        runHost("import -window root -crop " + std::to_string(r.right - r.left) + "x" +
                std::to_string(r.bottom - r.top) + "+" + std::to_string(r.left) + "+" + std::to_string(r.top) +
                " +repage " + png + " && [ \"$(convert " + png + " -format %k info:)\" -gt 1 ]");
    if (!IsWindow(window) || !app.running()) return "the status window was gone before the picture was taken";
    return status ? "the picture holds a single colour, or import failed" : "";
  };
  if (mode == "auto") {
    for (int button : {IDYES, IDOK})
      if (auto box = waitMessageBox(app, kTitle, kStart); box && answer(box->hwnd, button))
        say("answered: " + narrow(box->text));
    std::string failed = "the status window was gone before it could be photographed";
    int searching = 0;
    if (HWND status = waitStatusWindow(app, kStart))
      watchStatus(app, status, Ms(600000), [&](const StatusView& view) {
        // A few folders into the search: painted, and surely there for a while.
        if (!failed.empty() && !view.folder.empty() && ++searching >= 3) failed = photograph(status);
      });
    say(failed.empty() ? std::string("screenshot: ") + argv[2] : "no screenshot: " + failed);
    if (!failed.empty()) runHost("rm -f " + png);
  }
  for (HWND w : windowsOf(app.id()))  // an error's box ends the run: shown, then answered
    if (auto box = readMessageBox(w); box && mode != "none" && box->buttons == std::vector<int>{IDOK})
      say("box: " + narrow(box->text)), answer(w, IDOK);
  const auto code = app.waitExit(mode == "none" ? Ms(INFINITE - 1) : Ms(600000));
  say(code ? "exit code: " + std::to_string(*code) : std::string("still running: ended"));
  return code ? int(*code) : 124;
}

// corvane_drive: starts the program with an exact command line and, on
// request, answers its boxes and photographs the status window, or presses
// Find in the interactive window and photographs that once the Find is done
// (then closes it).
//
//   corvane_drive EXE [--answer yes|no|none] [--shot UNIX_PNG] [--find-shot UNIX_PNG] [--timeout SECONDS]
//
// The argument text comes from the environment variable CORVANE_ARGS, as it
// stands: Wine would re-quote anything passed as arguments. Exits with the
// program's exit code (124 when it outlived the timeout, 2 on bad use).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "e2e/driver.h"
#include "ui/layouts.h"

using namespace e2e;

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: corvane_drive EXE [--answer yes|no|none] [--shot UNIX_PNG] [--find-shot UNIX_PNG] "
               "[--timeout SECONDS]\n");
  return 2;
}

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// Crops the screen to the window, so the picture shows the program alone.
void photograph(HWND window, const std::string& png) {
  RECT r{};
  GetWindowRect(window, &r);
  const std::string geometry = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
                               std::to_string(r.left) + "+" + std::to_string(r.top);
  const int status = runHost("import -window root -crop " + geometry + " " + shellQuote(png));
  say(status == 0 ? "screenshot: " + png : "screenshot failed (" + std::to_string(status) + ")");
}

// Presses Find, waits for its count, shows what it listed, photographs the
// window and closes it.
void findAndPhotograph(const Process& app, const std::string& png, Ms limit) {
  const auto& layout = ui::kForm1Layout;
  const std::wstring caption = widen(layout.caption);
  const HWND main =
      waitWindow(app, [&](const Window& w) { return w.title == caption && w.className != L"#32770"; }, Ms(60000));
  if (!main) return;
  press(main, layout.controlId("Command1"));
  say("pressed: Find");
  const HWND count = child(main, layout.controlId("Label5"));
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (text(count).empty() && app.running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(Ms(50));
  say("No. Files Found: " + narrow(text(count)));
  if (const auto items = listItems(child(main, layout.controlId("List1"))))
    for (const auto& item : *items) say("  listed " + narrow(item));
  std::this_thread::sleep_for(Ms(300));  // painted
  photograph(main, png);
  closeWindow(main);
  say("closed the window");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  // A Unix path is taken too, as the scripts have those.
  const std::string exe = argv[1][0] == '/' ? narrow(dosPath(argv[1])) : argv[1];
  std::string answerMode = "none", shot, findShot;
  long timeoutSeconds = 0;  // none: a person may be at the window
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) return usage();
    const std::string value = argv[++i];
    if (option == "--answer" && (value == "yes" || value == "no" || value == "none")) answerMode = value;
    else if (option == "--shot") shot = value;
    else if (option == "--find-shot") findShot = value;
    else if (option == "--timeout") timeoutSeconds = std::strtol(value.c_str(), nullptr, 10);
    else return usage();
  }
  const char* args = std::getenv("CORVANE_ARGS");
  const Ms limit = timeoutSeconds > 0 ? Ms(timeoutSeconds * 1000) : Ms(INFINITE - 1);

  Process app = Process::start(exe, args ? args : "");
  if (!app.running()) {
    std::fprintf(stderr, "could not start %s\n", exe.c_str());
    return 2;
  }
  say("started: \"" + exe + "\"" + (args && *args ? std::string(" ") + args : ""));

  if (answerMode != "none") {
    const std::wstring title = L"Corvane File Cleanup";
    if (auto ask = waitMessageBox(app, title, Ms(60000))) {
      say("box: " + narrow(ask->text));
      answer(ask->hwnd, answerMode == "yes" ? IDYES : IDNO);
      say(answerMode == "yes" ? "answered: Yes" : "answered: No");
      if (answerMode == "yes") {
        if (auto inform = waitMessageBox(app, title, Ms(60000))) {
          say("box: " + narrow(inform->text));
          answer(inform->hwnd, IDOK);
          say("answered: OK");
        }
      }
    }
    HWND status = answerMode == "yes" ? waitStatusWindow(app, Ms(60000)) : nullptr;
    if (status) {
      bool shotTaken = shot.empty();
      std::wstring shown = L"-";
      watchStatus(app, status, limit, [&](const StatusView& view) {
        // One line each time the count or the list changes, not for every folder.
        const std::wstring now = view.count + L"/" + std::to_wstring(view.items.size());
        if (now != shown && !view.count.empty()) {
          shown = now;
          say("status: searching " + narrow(view.folder) + " | Files Found: " + narrow(view.count) + " | listed " +
              std::to_string(view.items.size()));
        }
        if (!shotTaken && !view.items.empty()) {
          // Let the list and the labels paint before the picture.
          std::this_thread::sleep_for(Ms(300));
          photograph(status, shot);
          shotTaken = true;
        }
      });
    }
    // An error box ends the run: shown here, then acknowledged.
    for (const auto& w : topWindows(app.id()))
      if (auto box = readMessageBox(w.hwnd); box && box->buttons == std::vector<int>{IDOK}) {
        say("box: " + narrow(box->title) + ": " + narrow(box->text));
        answer(box->hwnd, IDOK);
        say("answered: OK");
      }
  }

  if (!findShot.empty()) findAndPhotograph(app, findShot, limit);

  const auto code = app.waitExit(limit);
  if (!code) {
    say("still running after the timeout: ended");
    return 124;
  }
  say("exit code: " + std::to_string(*code));
  return static_cast<int>(*code);
}

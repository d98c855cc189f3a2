// answer_probe: how long a window goes without answering, seen from another
// program, the way the system, Setup and screen readers see it. It waits for
// the window, sends it WM_NULL every 20 ms until the window's process has
// ended, and prints the longest wait and where in the run it fell.
//
//   answer_probe status LOG [TIMELINE]  the cleanup's status window; LOG is its trace log
//   answer_probe bare [TIMELINE]        the bare window of the next mode
//   answer_probe window PROGRAM ...     a bare window that only answers messages, shown
//                                       while PROGRAM (e.g. walker --shape B:\) runs beside it
// TIMELINE, a file, gets every message's wait and every mark the probe saw.
//
// The phases of a cleanup are told from outside: the trace log's lines as they
// are written, and the folder label, which changes at every look at the queue
// while a search runs and no more once it is over. What the probe sees is
// late by its own poll (5 ms); a search's end is its folder label's last change.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/messages.h"
#include "ui/layouts.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;
constexpr char kBareClass[] = "AnswerProbeBare";
constexpr auto kInterval = Ms(20);
constexpr UINT kSendLimitMs = 30000;

Clock::time_point origin;  // the moment the window was seen shown
double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(t - origin).count(); }

std::string textOf(HWND window) {
  // Across processes this reads what the window system keeps, with no message
  // to the busy thread, so the watching never waits on the program.
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

struct Answer {
  double sent, waited;  // seconds since the window was seen shown; milliseconds
  bool answered;        // false: the window went (or the limit passed) before it answered
};

struct Mark {
  double at;
  std::string what;
};

// What the window shows as it goes: for the cleanup, new lines of its trace
// log and the times its folder label changed; for the bare window, the time
// its title says the program beside it has ended.
class Watcher {
 public:
  // Opened before the program writes: this run's lines only.
  explicit Watcher(const char* logPath) : logPath_(logPath ? logPath : "") {
    openLog();
    if (log_ != INVALID_HANDLE_VALUE) SetFilePointer(log_, 0, nullptr, FILE_END);
  }
  bool bare() const { return logPath_.empty(); }
  void watch(HWND window) {
    watched_ = bare() ? window : GetDlgItem(window, ui::kFrmstatusLayout.controlId("Label2"));
    watchedText_ = textOf(watched_);
  }
  ~Watcher() {
    if (log_ != INVALID_HANDLE_VALUE) CloseHandle(log_);
  }
  void poll() {
    const double now = secondsSince(Clock::now());
    if (watched_) {
      std::string text = textOf(watched_);
      if (text != watchedText_) changes.push_back(now), watchedText_ = std::move(text);
    }
    if (log_ == INVALID_HANDLE_VALUE) openLog();
    if (log_ == INVALID_HANDLE_VALUE) return;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(log_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      pending_.append(buffer, got);
      for (std::size_t end; (end = pending_.find("\r\n")) != std::string::npos; pending_.erase(0, end + 2))
        lines.push_back({now, pending_.substr(0, end)});
    }
  }

  std::vector<Mark> lines;
  std::vector<double> changes;  // of the folder label, or of the bare window's title

 private:
  void openLog() {
    if (logPath_.empty()) return;
    log_ = CreateFileA(logPath_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  std::string logPath_;
  HANDLE log_ = INVALID_HANDLE_VALUE;
  HWND watched_ = nullptr;
  std::string watchedText_;
  std::string pending_;
};

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Phase boundaries in order; a phase whose start was not seen takes the start
// of the one before it.
std::vector<Mark> phasesOf(const Watcher& w, double ended) {
  if (w.bare()) {
    std::vector<Mark> phases{{0, "beside the walk"}};
    if (!w.changes.empty()) phases.push_back({w.changes.back(), "end"});
    return phases;
  }
  constexpr double none = -1;
  auto firstLine = [&](const char* prefix, double after) {
    for (const auto& l : w.lines)
      if (l.at >= after && startsWith(l.what, prefix)) return l.at;
    return none;
  };
  auto lastFolderChange = [&](double from, double to) {
    double last = none;
    for (double t : w.changes)
      if (t >= from && t <= to) last = t;
    return last;
  };
  std::vector<Mark> phases{{0, "start"}};
  auto add = [&](double at, const char* what) {
    if (at != none) phases.push_back({std::max(at, phases.back().at), what});
  };
  const double ini = firstLine("Search for corvane.ini files", 0);
  const double mdb = firstLine("Search for corvane.mdb files", std::max(ini, 0.0));
  const double found = firstLine("Found ", std::max(mdb, 0.0));
  add(ini, "first search");
  if (ini != none) add(lastFolderChange(ini, mdb != none ? mdb : ended), "between the two searches");
  add(mdb, "second search");
  if (mdb != none) add(lastFolderChange(mdb, found != none ? found : ended), "listing");
  add(found, "deletions");
  if (found != none) {
    double lastDeletion = found;
    for (const auto& l : w.lines)
      if (l.at >= found && (startsWith(l.what, "Delete File:") || startsWith(l.what, "File:"))) lastDeletion = l.at;
    add(lastDeletion, "end");
  }
  return phases;
}

std::size_t phaseAt(const std::vector<Mark>& phases, double at) {
  std::size_t phase = 0;
  for (std::size_t i = 0; i < phases.size(); ++i)
    if (phases[i].at <= at) phase = i;
  return phase;
}

void writeTimeline(const char* path, const std::vector<Answer>& answers, const Watcher& watcher,
                   const std::vector<Mark>& phases) {
  FILE* out = std::fopen(path, "w");
  if (!out) return;
  // The clock is the system's, the same in every process: two timelines line up.
  std::fprintf(out, "0.0000 origin %.4f s\n", std::chrono::duration<double>(origin.time_since_epoch()).count());
  for (const auto& a : answers)
    std::fprintf(out, "%.4f message %.1f ms%s\n", a.sent, a.waited, a.answered ? "" : " not answered");
  for (double t : watcher.changes) std::fprintf(out, "%.4f label changed\n", t);
  for (const auto& l : watcher.lines) std::fprintf(out, "%.4f log %s\n", l.at, l.what.c_str());
  for (const auto& p : phases) std::fprintf(out, "%.4f phase %s\n", p.at, p.what.c_str());
  std::fclose(out);
}

int probe(const char* windowClass, const char* title, const char* logPath, const char* timeline) {
  Watcher watcher(logPath);
  HWND window = nullptr;
  for (const auto deadline = Clock::now() + Ms(120000);
       !(window = FindWindowA(windowClass, title)) || !IsWindowVisible(window);) {
    if (Clock::now() >= deadline) {
      std::fprintf(stderr, "answer_probe: no window of class %s appeared\n", windowClass);
      return 2;
    }
    std::this_thread::sleep_for(Ms(2));
  }
  origin = Clock::now();
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  if (!process) {
    std::fprintf(stderr, "answer_probe: cannot wait for the window's process\n");
    return 2;
  }

  watcher.watch(window);
  std::atomic<bool> stop{false};
  std::thread watching([&] {
    while (!stop) {
      watcher.poll();
      std::this_thread::sleep_for(Ms(5));
    }
  });

  std::vector<Answer> answers;
  auto next = Clock::now();
  while (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
    const auto sent = Clock::now();
    DWORD_PTR result = 0;
    const bool answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kSendLimitMs, &result) != 0;
    const double waited = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
    answers.push_back({secondsSince(sent), waited, answered});
    if (!answered) break;  // gone, or hung past the limit: either way nothing more to learn
    next = std::max(next + kInterval, sent);
    std::this_thread::sleep_until(next);
  }
  WaitForSingleObject(process, INFINITE);
  const double ended = secondsSince(Clock::now());
  stop = true;
  watching.join();
  watcher.poll();  // the last lines
  CloseHandle(process);

  const auto phases = phasesOf(watcher, ended);
  if (timeline) writeTimeline(timeline, answers, watcher, phases);
  std::vector<double> worstIn(phases.size(), 0);
  const Answer* worst = nullptr;
  int over100 = 0;
  for (const auto& a : answers) {
    if (!worst || a.waited > worst->waited) worst = &a;
    over100 += a.waited > 100;
    double& worstHere = worstIn[phaseAt(phases, a.sent)];
    worstHere = std::max(worstHere, a.waited);
  }
  if (!worst) {
    std::fprintf(stderr, "answer_probe: the window's process ended before the first message\n");
    return 2;
  }
  // A wait that ran into the next phase names both: the silence spans them.
  const std::size_t from = phaseAt(phases, worst->sent), until = phaseAt(phases, worst->sent + worst->waited / 1000);
  std::string where = phases[from].what;
  if (until != from) where += " into " + phases[until].what;
  std::printf("worst answer from another process: %.1f ms%s at %.2f s, %s\n", worst->waited,
              worst->answered ? "" : " (not answered: the window went)", worst->sent, where.c_str());
  std::printf("messages: %zu, over 100 ms: %d, window's process ended at %.2f s\n", answers.size(), over100, ended);
  std::printf("phases:");
  for (std::size_t i = 0; i < phases.size(); ++i)
    std::printf("%s %s from %.2f s (worst %.1f ms)", i ? "," : "", phases[i].what.c_str(), phases[i].at, worstIn[i]);
  std::printf("\n");
  return 0;
}

LRESULT CALLBACK bareProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A window that does nothing but answer, shown while PROGRAM runs as a
// process of its own; what the probe measures here is what the system and
// the machine cost, whatever a program does.
int bareWindow(int argc, char** argv) {
  // Quoted only where a blank needs it: a quoted root such as "B:\" would
  // end in an escaped quote.
  std::string commandLine;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i > 2) commandLine += ' ';
    commandLine += arg.find_first_of(" \t") == std::string::npos ? arg : '"' + arg + '"';
  }
  // The program first, so that starting it does not keep the window from answering.
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION child{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
    std::fprintf(stderr, "answer_probe: cannot start %s\n", commandLine.c_str());
    return 2;
  }
  CloseHandle(child.hThread);
  WNDCLASSA wc{};
  wc.lpfnWndProc = bareProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kBareClass;
  RegisterClassA(&wc);
  const HWND window = CreateWindowExA(0, kBareClass, "bare window", WS_OVERLAPPEDWINDOW, 100, 100, 640, 300, nullptr,
                                      nullptr, wc.hInstance, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  while (MsgWaitForMultipleObjects(1, &child.hProcess, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  SetWindowTextA(window, "bare window: the program beside it has ended");
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "status" && (argc == 3 || argc == 4))
    return probe("CorvaneFileCleanupForm", ui::kFrmstatusLayout.caption, argv[2], argc == 4 ? argv[3] : nullptr);
  if (mode == "bare" && argc <= 3) return probe(kBareClass, nullptr, nullptr, argc == 3 ? argv[2] : nullptr);
  if (mode == "window" && argc > 2) return bareWindow(argc, argv);
  std::fprintf(stderr,
               "usage: answer_probe status LOG [TIMELINE] | answer_probe bare [TIMELINE] | answer_probe window PROGRAM "
               "[ARGS...]\n");
  return 2;
}

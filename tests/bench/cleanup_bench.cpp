// cleanup_bench: runs one automatic cleanup as Setup would (answers Yes and
// OK), and measures it from outside: the time from the status window's
// appearance to the end of the process, the longest the status window went
// without answering a message, and the process's peak working set.
//
//   cleanup_bench EXE      the argument text comes from CORVANE_ARGS, as for e2e_tests --drive
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "e2e/driver.h"

using namespace e2e;
using Clock = std::chrono::steady_clock;

namespace {

SIZE_T peakWorkingSet(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.PeakWorkingSetSize : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: cleanup_bench EXE\n");
    return 2;
  }
  const std::string exe = argv[1][0] == '/' ? narrow(dosPath(argv[1])) : argv[1];
  const char* args = std::getenv("CORVANE_ARGS");
  Process app = Process::start(exe, args ? args : "");
  HANDLE handle = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, app.id());
  if (!app.running() || !handle) {
    std::fprintf(stderr, "could not start %s\n", exe.c_str());
    return 2;
  }
  const std::wstring title = L"Corvane File Cleanup";
  for (int button : {IDYES, IDOK}) {
    const auto box = waitMessageBox(app, title, Ms(60000));
    if (!box || !answer(box->hwnd, button)) {
      std::fprintf(stderr, "the program did not ask as expected\n");
      return 2;
    }
  }
  const HWND status = waitStatusWindow(app, Ms(60000));
  const auto started = Clock::now();
  if (!status) {
    std::fprintf(stderr, "no status window\n");
    return 2;
  }

  // The pinger: how long each message waits for the window's thread to look.
  std::atomic<bool> done{false};
  std::atomic<long long> worstUs{0};
  std::thread pinger([&] {
    while (!done && IsWindow(status)) {
      const auto sent = Clock::now();
      DWORD_PTR result = 0;
      if (!SendMessageTimeoutW(status, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result)) break;
      const auto waited = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent).count();
      if (!done) worstUs = std::max<long long>(worstUs, waited);
      std::this_thread::sleep_for(Ms(2));
    }
  });

  // The working set is read while the process lives too: an ended process may no longer tell.
  SIZE_T peak = 0;
  DWORD wait;
  while ((wait = WaitForSingleObject(handle, 50)) == WAIT_TIMEOUT) peak = std::max(peak, peakWorkingSet(handle));
  const std::chrono::duration<double> took = Clock::now() - started;
  peak = std::max(peak, peakWorkingSet(handle));
  DWORD code = 0;
  GetExitCodeProcess(handle, &code);
  done = true;
  pinger.join();
  CloseHandle(handle);

  std::printf("cleanup: %.2f s (exit code %lu)\n", took.count(), static_cast<unsigned long>(code));
  std::printf("worst answer: %.1f ms\n", worstUs / 1000.0);
  std::printf("peak working set: %.1f MB (%.1f MiB)\n", peak / 1e6, peak / (1024.0 * 1024.0));
  return code == 0 ? 0 : 1;
}

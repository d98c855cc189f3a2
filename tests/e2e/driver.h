#pragma once
// The UI driver of the end-to-end tests, the demo and the benchmark: it starts
// the program with an exact command line, finds its windows and boxes, presses
// their buttons, reads labels and lists, and waits, never without a time
// limit. Under Wine it also reaches the Unix side for what Windows cannot do
// there (links, FIFOs, chmod, screenshots), and it prepares a private copy of
// the program on an empty test drive.
#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ui/layouts.h"

namespace e2e {

using Ms = std::chrono::milliseconds;
using Lines = std::vector<std::string>;
inline const Ms kStart{30000};  // a cold Wine may take long for the first window
inline const Ms kStep{20000};
inline const std::wstring kTitle = L"Corvane File Cleanup";

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view text);

// A started program; ended by the destructor when still running, so that a
// failed test leaves nothing for wineserver to wait on.
class Process {
 public:
  // The command line is `"exe"`, then a blank and `tail` exactly as given (none when it is empty).
  static Process start(const std::string& exe, const std::string& tail);
  Process(Process&& other) noexcept : handle_(other.handle_), id_(other.id_) { other.handle_ = nullptr; }
  Process& operator=(Process&&) = delete;
  ~Process();
  DWORD id() const { return id_; }
  bool running() const { return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }
  std::optional<DWORD> waitExit(Ms timeout) const;  // nothing while it still runs
  void kill() const { TerminateProcess(handle_, 9999); }

 private:
  Process(HANDLE handle, DWORD id) : handle_(handle), id_(id) {}
  HANDLE handle_;
  DWORD id_;
};

// Asks `find` every few milliseconds: what it found, or nullptr once the process ended or `timeout` passed.
HWND poll(const Process& process, Ms timeout, const std::function<HWND()>& find);
std::vector<HWND> windowsOf(DWORD processId);  // visible, top-level
std::wstring text(HWND window);
HWND control(HWND window, const ui::FormLayout& layout, const char* name);
// The window of the layout (no message box of the same caption).
HWND waitForm(const Process& process, const ui::FormLayout& layout, Ms timeout = kStart);
inline HWND waitStatusWindow(const Process& process, Ms timeout) {
  return waitForm(process, ui::kFrmstatusLayout, timeout);
}
// Checks the running window against its designed layout, converted with the screen's DPI.
void checkLayout(HWND window, const ui::FormLayout& layout);

struct MessageBoxView {
  HWND hwnd = nullptr;
  std::wstring title, text;
  std::vector<int> buttons;  // IDOK, IDYES and so on, sorted
};
std::optional<MessageBoxView> readMessageBox(HWND box);
std::optional<MessageBoxView> waitMessageBox(const Process& process, std::wstring_view title, Ms timeout);
// The program's own report dialog: its statics and edits in window order.
struct ReportView {
  HWND hwnd = nullptr;
  std::wstring title;
  std::vector<std::wstring> texts;
  std::wstring field(std::wstring_view label) const;  // the text after `label`
};
std::optional<ReportView> waitReportDialog(const Process& process, Ms timeout);

bool press(HWND window, int buttonId);
bool answer(HWND dialog, int buttonId);  // presses, and waits until the dialog has gone
// Presses and returns once the program has handled it: false when it did not within `timeout`.
bool pressNow(HWND window, int buttonId, Ms timeout);
// Posts a key to the control with the focus in the window's thread, as typing would.
bool typeKey(HWND window, UINT message, WPARAM key);
bool closeWindow(HWND window);
// The items of a list box in another process; nothing when it stopped answering.
std::optional<std::vector<std::wstring>> listItems(HWND listBox, Ms perMessage = Ms(2000));

struct StatusView {
  std::wstring folder, count;  // Label2, Label7
  std::vector<std::wstring> items;
  bool operator==(const StatusView&) const = default;
};
// The distinct views of the status window until it goes, a box appears, or `timeout` passes.
std::vector<StatusView> watchStatus(const Process& process, HWND status, Ms timeout,
                                    const std::function<void(const StatusView&)>& onView = {});

// The Unix side (Wine only): paths both ways, and a shell script's exit status (-1 on timeout).
std::string hostPath(const std::wstring& windowsPath);
std::wstring dosPath(const std::string& unixPath);
std::string shellQuote(std::string_view text);
int runHost(const std::string& command, Ms timeout = Ms(30000));
int host(const std::string& command);  // runHost, failing the test unless it succeeds

bool exists(const std::string& windowsPath);
void plant(const std::string& windowsPath);  // a file with a line of text, and its folders
std::string appDataFolder();

// A private copy of the program, an empty test drive, and no log nor product folder left from earlier runs.
class Sandbox {
 public:
  explicit Sandbox(const std::wstring& drive = L"T:\\");
  const std::string& exe() const { return exe_; }
  const std::string& folder() const { return folder_; }
  static std::string logPath(const std::string& folder = appDataFolder());
  static std::string read(const std::string& path);
  // The log split at CR LF, dates as "{when}"; every line checked to be whole.
  Lines log(const std::string& path = logPath()) const;

 private:
  std::string folder_, exe_;
};

void confirm(const Process& app);  // answers the two boxes of an automatic run: Yes, then OK
// Main's lines for the command line CLEANUP,"T:\App\".
inline const Lines kAppMainLines = {"Parameter:CLEANUP iLoop:0",    "CLEANUP parameter provided",
                                    R"(Parameter:"T:\App\" iLoop:1)", R"(Skip parameter provided:|T:\App\|)",
                                    "int_pos:2",                    R"(gstr_drive:T:\)"};
Lines operator+(Lines a, const Lines& b);
// The log of an automatic cleanup of T: up to its count of `found` files.
Lines cleanupHead(const Lines& mainLines, std::size_t found);
// The whole log of one that lists `listed`; the deletions in `failed` traced as attempted only.
Lines cleanupTrace(const Lines& mainLines, const Lines& listed, const std::set<std::string>& failed = {});

// The demo's command: e2e_tests --drive UNIX_EXE auto|find UNIX_PNG | none, the argument text in CORVANE_ARGS.
int drive(int argc, char** argv);

}  // namespace e2e

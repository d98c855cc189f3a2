#pragma once
// A small Win32 UI driver for the end-to-end tests and the demo: it starts the
// program with an exact command line, finds its windows, presses buttons,
// reads labels and list boxes, and waits for the end, never without a time
// limit. Under Wine it also reaches the host (Unix) side for what Windows
// cannot do there: symbolic links, chmod, screenshots.
#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

using Ms = std::chrono::milliseconds;

std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);

// A started program. The destructor ends it when it is still running, so that
// a failed test leaves nothing behind for wineserver to wait on.
class Process {
 public:
  // The command line is `"exe"` followed by a blank and `tail` exactly as given
  // (no blank when the tail is empty).
  static Process start(const std::string& exe, const std::string& tail);
  Process(Process&& other) noexcept;
  Process& operator=(Process&&) = delete;
  ~Process();

  DWORD id() const { return id_; }
  bool running() const;
  // The exit code, or nothing when the process is still running after `timeout`.
  std::optional<DWORD> waitExit(Ms timeout) const;
  void kill() const;

 private:
  Process(HANDLE handle, DWORD id) : handle_(handle), id_(id) {}
  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
};

struct Window {
  HWND hwnd = nullptr;
  std::wstring className, title;
};

// The visible top-level windows of a process.
std::vector<Window> topWindows(DWORD processId);
// Polls until a visible top-level window of the process satisfies `match`;
// nullptr when the process ended or `timeout` passed first.
HWND waitWindow(const Process& process, const std::function<bool(const Window&)>& match, Ms timeout);

std::wstring text(HWND window);
HWND child(HWND parent, int controlId);

struct MessageBoxView {
  HWND hwnd = nullptr;
  std::wstring title, text;
  std::vector<int> buttons;  // control IDs (IDOK, IDYES, ...) in window order
};
// A standard message box ("#32770" with the given title and no list box).
std::optional<MessageBoxView> readMessageBox(HWND box);
std::optional<MessageBoxView> waitMessageBox(const Process& process, std::wstring_view title, Ms timeout);
// Clicks a dialog button the way the keyboard or mouse would end up doing.
bool press(HWND dialog, int buttonId);
// Presses and waits until the box has gone; false when it stays.
bool answer(HWND box, int buttonId, Ms timeout = Ms(10000));
bool closeWindow(HWND window);

// Items of a list box in another process; nothing when it stopped answering
// (each message may wait at most `perMessage`).
std::optional<std::vector<std::wstring>> listItems(HWND listBox, Ms perMessage = Ms(2000));

// What the status window shows at one moment.
struct StatusView {
  std::wstring folder;  // Label2
  std::wstring count;   // Label7
  std::vector<std::wstring> items;  // List1
  bool operator==(const StatusView&) const = default;
};
// Finds the status window: the caption, and a list box with the List1 ID.
HWND findStatusWindow(DWORD processId);
HWND waitStatusWindow(const Process& process, Ms timeout);
// Reads the status window until it goes, the process ends, a message box of
// the process appears, or `timeout` passes; returns the distinct views seen in
// order. `onView` sees each new view (the demo takes its screenshot there).
std::vector<StatusView> watchStatus(const Process& process, HWND status, Ms timeout,
                                    const std::function<void(const StatusView&)>& onView = {});

// The program's own error report: a dialog with the Abort, Retry and Ignore
// buttons; `texts` are its statics and edits in window (tab) order.
struct ReportView {
  HWND hwnd = nullptr;
  std::wstring title;
  std::vector<std::wstring> texts;
};
std::optional<ReportView> readReportDialog(HWND dialog);
std::optional<ReportView> waitReportDialog(const Process& process, Ms timeout);
// The text after `label` in the report, empty when the label is not there.
std::wstring reportField(const ReportView& report, std::wstring_view label);
// Posts a keyboard message to the control that has the focus in the window's
// thread, as typing there would.
bool typeKey(HWND window, UINT message, WPARAM key);

// Presses a button of the window and returns once the program has handled
// the press; false when it did not within `timeout` (busy, or a modal box).
bool pressNow(HWND window, int buttonId, Ms timeout);

// The font a window draws with and whether its class has an icon, read inside
// the program by the message hook of corvane_probe.dll, as font and icon
// handles mean nothing in another process. Nothing when the program did not
// answer within `timeout`.
struct ProbeView {
  bool systemFont = false;  // the window was given no font of its own
  LOGFONTA font{};
  bool classIcon = false;
};
std::optional<ProbeView> probe(HWND window, Ms timeout = Ms(10000));

// Host side (Wine only). hostPath and dosPath convert paths; runHost
// runs `/bin/sh -c command` and returns its exit status, or -1 on timeout.
std::string hostPath(const std::wstring& windowsPath);
std::wstring dosPath(const std::string& unixPath);
std::string shellQuote(std::string_view text);
int runHost(const std::string& command, Ms timeout = Ms(30000));

}  // namespace e2e

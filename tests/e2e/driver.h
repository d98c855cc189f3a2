#pragma once
// The UI driver of the end-to-end tests, the demo and the benchmark: it starts
// the program with an exact command line, finds its windows and boxes, presses
// their buttons, reads labels and lists, and waits, never without a time
// limit. Under Wine it also reaches the Unix side for what Windows cannot do
// there (links, FIFOs, chmod, screenshots), and it empties the test drive.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "ui/layouts.h"

namespace e2e {

using Ms = std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;
inline const Ms kStart{30000};  // a cold Wine may take long for the first window
inline const Ms kStep{20000};
inline const std::wstring kTitle = L"Corvane File Cleanup";

inline std::wstring widen(std::string_view utf8) {
  std::wstring out(utf8.size(), L'\0');
  out.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), int(out.size()))));
  return out;
}

// In UTF-8, or as the program writes its log: in the ANSI code page, "?" for what it lacks.
inline std::string narrow(std::wstring_view text, UINT codePage = CP_UTF8) {
  std::string out(text.size() * 4, '\0');
  const char* const lacking = codePage == CP_UTF8 ? nullptr : "?";
  out.resize(size_t(WideCharToMultiByte(codePage, lacking ? WC_NO_BEST_FIT_CHARS : 0, text.data(), int(text.size()),
                                        out.data(), int(out.size()), lacking, nullptr)));
  return out;
}

// A started program; ended by the destructor when still running, so that a
// failed test leaves nothing for wineserver to wait on.
class Process {
 public:
  // The command line is `"exe"`, then a blank and `tail` (UTF-8) exactly as given (none when it is empty), in
  // Unicode as Setup gives it.
  static Process start(const std::string& exe, const std::string& tail) {
    std::wstring commandLine = widen("\"" + exe + "\"" + (tail.empty() ? "" : " " + tail));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Its own folder as the working folder, as when Setup or Explorer starts it.
    const std::wstring folder = widen(exe.substr(0, exe.find_last_of('\\')));
    if (!CreateProcessW(widen(exe).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &info))
      return Process(nullptr, 0);
    CloseHandle(info.hThread);
    return Process(info.hProcess, info.dwProcessId);
  }
  // The program showing a window of this title, however it was started (nothing after `timeout`).
  static Process showing(const std::wstring& title, Ms timeout) {
    DWORD id = 0;
    for (const auto deadline = Clock::now() + timeout; !id; Sleep(10))
      if (!GetWindowThreadProcessId(FindWindowW(nullptr, title.c_str()), &id) && Clock::now() >= deadline) break;
    return Process(
        id ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, id) : nullptr, id);
  }
  Process(Process&& other) noexcept : handle_(other.handle_), id_(other.id_) { other.handle_ = nullptr; }
  Process& operator=(Process&&) = delete;
  ~Process() {
    if (running()) kill(), WaitForSingleObject(handle_, 5000);
    if (handle_) CloseHandle(handle_);
  }
  DWORD id() const { return id_; }
  bool running() const { return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }
  std::optional<DWORD> waitExit(Ms timeout) const {  // nothing while it still runs
    DWORD code = 0;
    if (!handle_ || WaitForSingleObject(handle_, DWORD(timeout.count())) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(handle_, &code))
      return std::nullopt;
    return code;
  }
  void kill() const { TerminateProcess(handle_, 9999); }

 private:
  Process(HANDLE handle, DWORD id) : handle_(handle), id_(id) {}
  HANDLE handle_;
  DWORD id_;
};

struct MessageBoxView {
  HWND hwnd = nullptr;
  std::wstring title, text;
  std::vector<int> buttons;  // IDOK, IDYES and so on, sorted
};

// The program's own report dialog: its statics and edits in window order.

struct ReportView {
  HWND hwnd = nullptr;
  std::wstring title;
  std::vector<std::wstring> texts;
  std::wstring field(std::wstring_view label) const {  // the text after `label`
    const auto at = std::find(texts.begin(), texts.end(), label);
    return at != texts.end() && at + 1 != texts.end() ? *(at + 1) : std::wstring();
  }
  std::string summary() const {  // "75 Path/File access error frmstatus.DeleteFiles@103"
    return narrow(field(L"Error Number:") + L" " + field(L"Description:") + L" " + field(L"Module Name:") + L"." +
                  field(L"Procedure Name:") + L"@" + field(L"Line Number:"));
  }
};

struct StatusView {
  std::wstring folder, count;  // Label2, Label7
  std::vector<std::wstring> items;
  bool operator==(const StatusView&) const = default;
};

// The all-users application-data folder, or another special folder.
inline std::string appDataFolder(int csidl = CSIDL_COMMON_APPDATA) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}
// Where the log goes when no other folder takes it.
inline std::string ownLogFolder() { return appDataFolder(CSIDL_LOCAL_APPDATA) + "\\CorvaneFileCleanup"; }

// Where the program keeps what it deletes: every run under Wine has the administrators' rights.
inline std::string keepingFolder() {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path);
  return std::string(path) + "\\CorvaneFileCleanup";
}

// An empty test drive T:, and no log, product folder or kept file left from earlier runs.
class Sandbox {
 public:
  Sandbox();
  const std::string& exe() const { return exe_; }
  const std::string& folder() const { return folder_; }
  static std::string logPath(const std::string& folder = appDataFolder()) { return folder + "\\corvanefilecleanup.log"; }
  static std::string read(const std::string& path);
  // The log split at CR LF, dates as "{when}"; every line checked to be whole.
  Lines log(const std::string& path = logPath()) const {
    static const std::regex dated(
        "(Starting Trace at |Start:|End:|Ending Trace at |Date and time: )[0-9][^ ]*( [0-9].*)?");
    const std::string text = read(path);
    Lines lines;
    std::size_t at = 0;
    for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", at = end + 2)) {
      const std::string line = text.substr(at, end - at);
      EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
      lines.push_back(std::regex_match(line, dated) ? std::regex_replace(line, dated, "$1{when}") : line);
    }
    EXPECT_EQ(at, text.size()) << "an unfinished last line";
    return lines;
  }

 private:
  std::string exe_, folder_;
};

// Main's lines for the command line CLEANUP,"T:\App\".
inline const Lines kAppMainLines = {"Parameter:CLEANUP iLoop:0",    "CLEANUP parameter provided",
                                    R"(Parameter:"T:\App\" iLoop:1)", R"(Skip parameter provided:|T:\App\|)",
                                    "int_pos:2",                    R"(gstr_drive:T:\)"};

namespace detail {

namespace fs = std::filesystem;

inline bool isClass(HWND window, const wchar_t* name) {
  wchar_t found[64] = {};
  return window && GetClassNameW(window, found, 64) && _wcsicmp(found, name) == 0;
}

// Callbacks are stdcall on 32-bit Windows, which a lambda cannot be.
inline BOOL CALLBACK collect(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

inline std::vector<HWND> children(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(parent, collect, reinterpret_cast<LPARAM>(&found));
  return found;
}

inline std::optional<LRESULT> send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Ms timeout = Ms(2000)) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, UINT(timeout.count()), &result))
    return std::nullopt;
  return LRESULT(result);
}

}  // namespace detail
using namespace detail;

// Asks `find` every few milliseconds: what it found, or nullptr once the process ended or `timeout` passed.
inline HWND poll(const Process& process, Ms timeout, const std::function<HWND()>& find) {
  for (const auto deadline = Clock::now() + timeout;; std::this_thread::sleep_for(Ms(10))) {
    if (HWND window = find()) return window;
    if (!process.running() || Clock::now() >= deadline) return nullptr;
  }
}

// The visible top-level windows of a process.
inline std::vector<HWND> windowsOf(DWORD processId) {
  std::vector<HWND> all, mine;
  EnumWindows(collect, reinterpret_cast<LPARAM>(&all));
  std::copy_if(all.begin(), all.end(), std::back_inserter(mine), [&](HWND w) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    return owner == processId && IsWindowVisible(w);
  });
  return mine;
}

// The first window of the process that `read` makes something of, within `timeout`.
template <class Read>
inline auto waitFor(const Process& process, Ms timeout, Read read) -> decltype(read(HWND())) {
  decltype(read(HWND())) view{};
  poll(process, timeout, [&]() -> HWND {
    for (HWND w : windowsOf(process.id()))
      if ((view = read(w))) return w;
    return nullptr;
  });
  return view;
}

inline std::wstring text(HWND window) {
  // Across processes this reads what the window system keeps, without a
  // message, so a busy program cannot make it wait.
  std::wstring buffer(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
  buffer.resize(size_t(std::max(GetWindowTextW(window, buffer.data(), int(buffer.size())), 0)));
  return buffer;
}

inline HWND control(HWND w, const ui::FormLayout& f, const char* name) { return GetDlgItem(w, f.controlId(name)); }

// The window of the layout (no message box of the same caption).
inline HWND waitForm(const Process& process, const ui::FormLayout& layout, Ms timeout = kStart) {
  return waitFor(process, timeout, [&](HWND w) {
    return text(w) == widen(layout.caption) && !isClass(w, L"#32770") &&
                   (&layout != &ui::kFrmstatusLayout || isClass(control(w, layout, "List1"), L"ListBox"))
               ? w
               : nullptr;
  });
}

inline HWND waitStatusWindow(const Process& process, Ms timeout) { return waitForm(process, ui::kFrmstatusLayout, timeout); }

// The window shows the captions it was designed with (the empty ones are filled at work).
inline void checkCaptions(HWND window, const ui::FormLayout& layout) {
  EXPECT_EQ(text(window), widen(layout.caption));
  for (const auto& c : layout.controls)
    EXPECT_EQ(*c.caption ? text(control(window, layout, c.name)) : L"", widen(c.caption)) << layout.name << "." << c.name;
}

inline std::optional<MessageBoxView> readMessageBox(HWND box) {
  if (!isClass(box, L"#32770")) return std::nullopt;
  MessageBoxView view{box, text(box), {}, {}};
  for (HWND kid : children(box)) {
    if (isClass(kid, L"Button")) view.buttons.push_back(GetDlgCtrlID(kid));
    // The icon is a static without text; the prompt is the longest text.
    if (isClass(kid, L"Static") && text(kid).size() > view.text.size()) view.text = text(kid);
  }
  std::sort(view.buttons.begin(), view.buttons.end());
  return view;
}

inline std::optional<MessageBoxView> waitMessageBox(const Process& process, std::wstring_view title, Ms timeout) {
  return waitFor(process, timeout, [&](HWND w) {
    auto view = text(w) == title ? readMessageBox(w) : std::nullopt;
    // A box is shown once its buttons are there; its prompt is set by then.
    return view && !view->buttons.empty() ? view : std::nullopt;
  });
}

inline std::optional<ReportView> waitReportDialog(const Process& process, Ms timeout) {
  return waitFor(process, timeout, [](HWND dialog) -> std::optional<ReportView> {
    if (!isClass(dialog, L"#32770") || !isClass(GetDlgItem(dialog, IDIGNORE), L"Button")) return std::nullopt;
    ReportView view{dialog, text(dialog), {}};
    for (HWND kid : children(dialog)) {
      if (isClass(kid, L"Static")) view.texts.push_back(text(kid));
      if (!isClass(kid, L"Edit")) continue;
      // An edit keeps its text to itself: it has to be asked.
      std::wstring content(size_t(send(kid, WM_GETTEXTLENGTH, 0, 0).value_or(0)) + 1, L'\0');
      content.resize(size_t(send(kid, WM_GETTEXT, content.size(), LPARAM(content.data())).value_or(0)));
      view.texts.push_back(content);
    }
    return view;
  });
}

inline bool press(HWND window, int buttonId) {
  return PostMessageW(window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), LPARAM(GetDlgItem(window, buttonId)));
}

// Presses, and waits until the dialog has gone.
inline bool answer(HWND dialog, int buttonId) {
  // Gone, so that the next wait cannot find this dialog again.
  const auto deadline = Clock::now() + kStep;
  for (bool pressed = press(dialog, buttonId); IsWindowVisible(dialog); std::this_thread::sleep_for(Ms(10)))
    if (!pressed || Clock::now() >= deadline) return false;
  return true;
}

// Presses and returns once the program has handled it: false when it did not within `timeout`.
inline bool pressNow(HWND window, int buttonId, Ms timeout) {
  return send(window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), LPARAM(GetDlgItem(window, buttonId)), timeout)
      .has_value();
}

// The items of a list box in another process; nothing when it stopped answering.
inline std::optional<std::vector<std::wstring>> listItems(HWND listBox, Ms perMessage = Ms(2000)) {
  // Under Wine a list box answers another process in UTF-16 whatever it holds: only the W messages.
  const auto count = send(listBox, LB_GETCOUNT, 0, 0, perMessage);
  std::vector<std::wstring> items;
  for (LRESULT i = 0; count && i < *count; ++i) {
    std::wstring item(size_t(std::max<LRESULT>(send(listBox, LB_GETTEXTLEN, i, 0, perMessage).value_or(0), 0)) + 1, L'\0');
    const auto got = send(listBox, LB_GETTEXT, i, LPARAM(item.data()), perMessage);
    if (!got || *got < 0) return std::nullopt;
    items.push_back(item.substr(0, size_t(*got)));
  }
  return count && *count >= 0 ? std::optional(items) : std::nullopt;
}

// The distinct views of the status window until it goes, a box appears, or `timeout` passes.
inline std::vector<StatusView> watchStatus(const Process& process, HWND status, Ms timeout,
                                           const std::function<void(const StatusView&)>& onView = {}) {
  const auto& layout = ui::kFrmstatusLayout;
  std::vector<StatusView> views;
  const auto boxShown = [&] {
    const auto all = windowsOf(process.id());
    return std::any_of(all.begin(), all.end(), [](HWND w) { return isClass(w, L"#32770"); });
  };
  for (const auto deadline = Clock::now() + timeout;
       process.running() && IsWindow(status) && Clock::now() < deadline && !boxShown(); Sleep(2)) {
    const auto items = listItems(control(status, layout, "List1"), Ms(500));
    if (!items) break;  // gone or stuck: what was seen stands
    StatusView view{text(control(status, layout, "Label2")), text(control(status, layout, "Label7")), *items};
    if (views.empty() || !(views.back() == view)) {
      views.push_back(view);
      if (onView) onView(view);
    }
  }
  return views;
}

// The Unix side (Wine only): paths both ways, and a shell script's exit status (-1 on timeout).
template <class To, class From>
inline std::basic_string<To> wineName(const char* conversion, const From* path) {
  const auto convert = reinterpret_cast<To*(CDECL*)(const From*)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), conversion)));
  To* name = convert ? convert(path) : nullptr;
  const std::basic_string<To> result = name ? name : std::basic_string<To>();
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}
inline std::string hostPath(const std::wstring& path) { return wineName<char>("wine_get_unix_file_name", path.c_str()); }
inline std::wstring dosPath(const std::string& path) { return wineName<wchar_t>("wine_get_dos_file_name", path.c_str()); }

// The Unix side of a path, names as given (UTF-8): only the drive is mapped,
// as Wine cannot map some of the names the tests plant.
inline std::string unixPath(std::string windowsPath) {
  std::replace(windowsPath.begin(), windowsPath.end(), '\\', '/');
  return hostPath(widen(windowsPath.substr(0, 3))) + "/" + windowsPath.substr(3);
}

inline std::string shellQuote(std::string_view text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

inline int runHost(const std::string& command, Ms timeout = Ms(30000)) {
  // Wine starts a Unix program for a path that is no PE file, but gives no
  // handle to wait on: the script leaves its status in a file.
  static int serial = 0;
  const std::wstring script = fs::temp_directory_path().wstring() + L"\\corvane-host-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
  const std::string status = hostPath(script) + ".status";
  std::ofstream(script.c_str(), std::ios::binary)
      << "(" << command << "\n); echo $? >" << shellQuote(status + ".tmp") << " && mv " << shellQuote(status + ".tmp")
      << " " << shellQuote(status) << "\n";
  std::wstring commandLine = L"/bin/sh \"" + widen(hostPath(script)) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // Named by its Windows path: a bare "/bin/sh" would be looked for on the current drive.
  if (!CreateProcessW(dosPath("/bin/sh").c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return -1;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  int result = -1;
  for (const auto deadline = Clock::now() + timeout; Clock::now() < deadline && result < 0; Sleep(20))
    if (!(std::ifstream(dosPath(status).c_str()) >> result)) result = -1;
  DeleteFileW(script.c_str());
  DeleteFileW(dosPath(status).c_str());
  return result;
}

// runHost, failing the test unless it succeeds.
inline int host(const std::string& command) {
  const int status = runHost(command);
  EXPECT_EQ(status, 0) << command;
  return status;
}

// Asked of the Unix side, which takes any name at any depth.
inline bool exists(const std::string& p) { return runHost("test -e " + shellQuote(unixPath(p))) == 0; }

// A file with a line of text, and its folders.
inline void plant(const std::string& windowsPath) {
  const fs::path path(widen(windowsPath));
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << "left behind\r\n";
}

inline Sandbox::Sandbox() : exe_(narrow(dosPath(CORVANE_EXE))), folder_(exe_.substr(0, exe_.rfind('\\'))) {
  // Emptied from the Unix side: earlier tests leave links, FIFOs and read-only files there.
  host("find " + shellQuote(hostPath(L"T:\\")) + " -mindepth 1 -maxdepth 1 -exec rm -rf -- {} +");
  std::error_code ignored;
  fs::remove(logPath(), ignored);
  fs::remove(logPath(ownLogFolder()), ignored);
  fs::remove_all(appDataFolder() + "\\corvane3", ignored);
  fs::remove_all(widen(keepingFolder()), ignored);
}

// What a run (0 the latest, 1 the one before) still keeps, by original path, as its list says and byte for byte.
inline std::map<std::string, std::string> keptFiles(std::size_t run = 0) {
  std::vector<fs::path> runs;
  for (const auto& entry : fs::directory_iterator(widen(keepingFolder() + "\\Removed"))) runs.push_back(entry.path());
  std::sort(runs.rbegin(), runs.rend());
  std::map<std::string, std::string> kept;
  if (run >= runs.size()) return kept;
  std::ifstream list(runs[run] / "kept.txt", std::ios::binary);
  std::string line;
  std::getline(list, line);
  EXPECT_TRUE(line.starts_with("Installation folder:\t")) << line;
  while (std::getline(list, line)) {  // copy, time removed, size, path, SDDL
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    if (f.size() >= 4 && fs::exists(runs[run] / f[0]))
      kept[f[3]] = Sandbox::read(narrow((runs[run] / f[0]).wstring()));
  }
  return kept;
}

inline std::string Sandbox::read(const std::string& path) {
  std::stringstream content;
  content << std::ifstream(widen(path).c_str(), std::ios::binary).rdbuf();
  return content.str();
}

// Answers the two boxes of an automatic run: Yes, then OK. An unattended one
// must show no window at all, watched until it ends.
inline void confirm(const Process& app, bool unattended = false) {
  if (unattended) {
    const HWND shown = waitFor(app, Ms(120000), [](HWND w) { return w; });
    EXPECT_FALSE(shown) << "a window showed: " << narrow(text(shown));
    return;
  }
  auto ask = waitMessageBox(app, kTitle, kStart);
  ASSERT_TRUE(ask) << "no first box";
  EXPECT_EQ(ask->text, L"Have you previously installed Corvane on this computer?");
  EXPECT_EQ(ask->buttons, (std::vector<int>{IDYES, IDNO}));
  ASSERT_TRUE(answer(ask->hwnd, IDYES));
  auto inform = waitMessageBox(app, kTitle, kStep);
  ASSERT_TRUE(inform) << "no second box";
  EXPECT_EQ(inform->text.rfind(L"A file cleanup will now be performed", 0), 0u) << narrow(inform->text);
  EXPECT_EQ(inform->buttons, (std::vector<int>{IDOK}));
  ASSERT_TRUE(answer(inform->hwnd, IDOK));
}

inline Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The log of an automatic cleanup up to its count of `found` files; Main's
// lines end with the drive, which the status window traces again.
inline Lines cleanupHead(const Lines& mainLines, std::size_t found) {
  return Lines{"Starting Trace at {when}", "Start:{when}"} + mainLines +
         Lines{"Start Cleanup - using commandline", "Search for corvane.ini files", mainLines.back(),
               "Search for corvane.mdb files", "Found " + std::to_string(found) + " files to delete"};
}

// The whole log of one that lists `listed` (UTF-8); the deletions in `failed` traced as attempted only.
inline Lines cleanupTrace(const Lines& mainLines, const Lines& listed, const std::set<std::string>& failed = {}) {
  Lines log = cleanupHead(mainLines, listed.size());
  for (const auto& f : listed) {
    log.push_back("Delete File:" + f);
    if (!failed.contains(f)) log.push_back("File:" + f + " Deleted!");
  }
  for (auto& line : log) line = narrow(widen(line), CP_ACP);  // the log's code page
  return log;
}

}  // namespace e2e

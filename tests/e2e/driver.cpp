#include "e2e/driver.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "e2e/probe.h"
#include "ui/layouts.h"

namespace e2e {
namespace {

constexpr Ms kPoll{10};

using Clock = std::chrono::steady_clock;

std::wstring className(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

bool isListBox(HWND window) { return window && _wcsicmp(className(window).c_str(), L"ListBox") == 0; }

// Callbacks are stdcall on 32-bit Windows, which a lambda cannot be.
BOOL CALLBACK collectChild(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> children(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&found));
  return found;
}

struct TopSearch {
  DWORD processId;
  std::vector<Window> found;
};

BOOL CALLBACK collectTop(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<TopSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search.processId && IsWindowVisible(window))
    search.found.push_back({window, className(window), text(window)});
  return TRUE;
}

bool hasListBox(HWND window) {
  const auto kids = children(window);
  return std::any_of(kids.begin(), kids.end(), isListBox);
}

std::optional<LRESULT> send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Ms timeout) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, static_cast<UINT>(timeout.count()),
                           &result))
    return std::nullopt;
  return static_cast<LRESULT>(result);
}

}  // namespace

std::wstring widen(std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// --- Process ---------------------------------------------------------------

Process Process::start(const std::string& exe, const std::string& tail) {
  std::string commandLine = "\"" + exe + "\"";
  if (!tail.empty()) commandLine += " " + tail;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // Its own folder as the working folder, as when started from Explorer or Setup.
  std::string folder = exe.substr(0, exe.find_last_of('\\'));
  if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                      &info))
    return Process(nullptr, 0);
  CloseHandle(info.hThread);
  return Process(info.hProcess, info.dwProcessId);
}

Process::Process(Process&& other) noexcept : handle_(other.handle_), id_(other.id_) {
  other.handle_ = nullptr;
  other.id_ = 0;
}

Process::~Process() {
  if (!handle_) return;
  if (running()) {
    kill();
    WaitForSingleObject(handle_, 5000);
  }
  CloseHandle(handle_);
}

bool Process::running() const { return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }

std::optional<DWORD> Process::waitExit(Ms timeout) const {
  if (!handle_ || WaitForSingleObject(handle_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(handle_, &code);
  return code;
}

void Process::kill() const {
  if (handle_) TerminateProcess(handle_, 9999);
}

// --- Windows -----------------------------------------------------------------

std::vector<Window> topWindows(DWORD processId) {
  TopSearch search{processId, {}};
  EnumWindows(collectTop, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND waitWindow(const Process& process, const std::function<bool(const Window&)>& match, Ms timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    for (const auto& window : topWindows(process.id()))
      if (match(window)) return window.hwnd;
    if (!process.running() || Clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(kPoll);
  }
}

std::wstring text(HWND window) {
  // Cross-process this reads the text the window system keeps, without a
  // message, so a busy program cannot make it wait.
  const int length = GetWindowTextLengthW(window);
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, buffer.data(), length + 1);
  buffer.resize(static_cast<std::size_t>(std::max(got, 0)));
  return buffer;
}

HWND child(HWND parent, int controlId) { return GetDlgItem(parent, controlId); }

std::optional<MessageBoxView> readMessageBox(HWND box) {
  if (className(box) != L"#32770" || hasListBox(box)) return std::nullopt;
  MessageBoxView view{box, text(box), {}, {}};
  for (HWND kid : children(box)) {
    const std::wstring kind = className(kid);
    if (_wcsicmp(kind.c_str(), L"Button") == 0) {
      view.buttons.push_back(GetDlgCtrlID(kid));
    } else if (_wcsicmp(kind.c_str(), L"Static") == 0) {
      // The icon is a static without text; the prompt is the longest text.
      std::wstring candidate = text(kid);
      if (candidate.size() > view.text.size()) view.text = std::move(candidate);
    }
  }
  std::sort(view.buttons.begin(), view.buttons.end());
  return view;
}

std::optional<MessageBoxView> waitMessageBox(const Process& process, std::wstring_view title, Ms timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    for (const auto& w : topWindows(process.id())) {
      if (w.title != title) continue;
      auto view = readMessageBox(w.hwnd);
      // A box is shown once its buttons are there; its prompt is set by then.
      if (view && !view->buttons.empty() && IsWindowVisible(w.hwnd)) return view;
    }
    if (!process.running() || Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(kPoll);
  }
}

bool press(HWND dialog, int buttonId) {
  return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}

bool answer(HWND box, int buttonId, Ms timeout) {
  if (!press(box, buttonId)) return false;
  // Gone, so that the next wait cannot find this box again.
  const auto deadline = Clock::now() + timeout;
  while (IsWindow(box) && IsWindowVisible(box)) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPoll);
  }
  return true;
}

bool closeWindow(HWND window) { return PostMessageW(window, WM_CLOSE, 0, 0); }

std::optional<std::vector<std::wstring>> listItems(HWND listBox, Ms perMessage) {
  // Cross-process list box text comes back as UTF-16 under Wine whatever the
  // box holds, so only the W messages are used.
  const auto count = send(listBox, LB_GETCOUNT, 0, 0, perMessage);
  if (!count || *count < 0) return std::nullopt;
  std::vector<std::wstring> items;
  for (LRESULT i = 0; i < *count; ++i) {
    const auto length = send(listBox, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0, perMessage);
    if (!length || *length < 0) return std::nullopt;
    std::wstring item(static_cast<std::size_t>(*length) + 1, L'\0');
    const auto got =
        send(listBox, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()), perMessage);
    if (!got || *got < 0) return std::nullopt;
    item.resize(static_cast<std::size_t>(*got));
    items.push_back(std::move(item));
  }
  return items;
}

HWND findStatusWindow(DWORD processId) {
  const auto& layout = ui::kFrmstatusLayout;
  for (const auto& w : topWindows(processId))
    if (w.title == widen(layout.caption) && isListBox(child(w.hwnd, layout.controlId("List1")))) return w.hwnd;
  return nullptr;
}

HWND waitStatusWindow(const Process& process, Ms timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (HWND status = findStatusWindow(process.id())) return status;
    if (!process.running() || Clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(kPoll);
  }
}

std::vector<StatusView> watchStatus(const Process& process, HWND status, Ms timeout,
                                    const std::function<void(const StatusView&)>& onView) {
  const auto& layout = ui::kFrmstatusLayout;
  const HWND folder = child(status, layout.controlId("Label2"));
  const HWND count = child(status, layout.controlId("Label7"));
  const HWND list = child(status, layout.controlId("List1"));
  const auto deadline = Clock::now() + timeout;
  std::vector<StatusView> views;
  const auto messageBoxShown = [&] {
    for (const auto& w : topWindows(process.id()))
      if (readMessageBox(w.hwnd)) return true;
    return false;
  };
  while (process.running() && IsWindow(status) && Clock::now() < deadline && !messageBoxShown()) {
    StatusView view{text(folder), text(count), {}};
    const auto items = listItems(list, Ms(500));
    if (!items) break;  // gone or stuck; what was seen so far stands
    view.items = *items;
    if (views.empty() || !(views.back() == view)) {
      views.push_back(view);
      if (onView) onView(views.back());
    }
    std::this_thread::sleep_for(Ms(2));
  }
  return views;
}

// --- The error report ---------------------------------------------------------

std::optional<ReportView> readReportDialog(HWND dialog) {
  if (className(dialog) != L"#32770") return std::nullopt;
  for (int id : {IDABORT, IDRETRY, IDIGNORE})
    if (_wcsicmp(className(GetDlgItem(dialog, id)).c_str(), L"Button") != 0) return std::nullopt;
  ReportView view{dialog, text(dialog), {}};
  for (HWND kid : children(dialog)) {
    const std::wstring kind = className(kid);
    if (_wcsicmp(kind.c_str(), L"Static") == 0) view.texts.push_back(text(kid));
    if (_wcsicmp(kind.c_str(), L"Edit") != 0) continue;
    // An edit keeps its text to itself: it has to be asked.
    const auto length = send(kid, WM_GETTEXTLENGTH, 0, 0, Ms(2000));
    if (!length) return std::nullopt;
    std::wstring content(static_cast<std::size_t>(*length) + 1, L'\0');
    const auto got = send(kid, WM_GETTEXT, content.size(), reinterpret_cast<LPARAM>(content.data()), Ms(2000));
    if (!got) return std::nullopt;
    content.resize(static_cast<std::size_t>(*got));
    view.texts.push_back(std::move(content));
  }
  return view;
}

std::optional<ReportView> waitReportDialog(const Process& process, Ms timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    for (const auto& w : topWindows(process.id()))
      if (auto view = readReportDialog(w.hwnd)) return view;
    if (!process.running() || Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(kPoll);
  }
}

std::wstring reportField(const ReportView& report, std::wstring_view label) {
  const auto at = std::find(report.texts.begin(), report.texts.end(), label);
  return at != report.texts.end() && at + 1 != report.texts.end() ? *(at + 1) : std::wstring();
}

bool typeKey(HWND window, UINT message, WPARAM key) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) || !info.hwndFocus) return false;
  return PostMessageW(info.hwndFocus, message, key, message == WM_SYSCHAR ? (1 << 29) : 0);
}

// --- Pressing and probing ---------------------------------------------------

bool pressNow(HWND window, int buttonId, Ms timeout) {
  return send(window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
              reinterpret_cast<LPARAM>(GetDlgItem(window, buttonId)), timeout)
      .has_value();
}

std::optional<ProbeView> probe(HWND window, Ms timeout) {
  static const HMODULE library = LoadLibraryW(dosPath(CORVANE_PROBE_DLL).c_str());
  const auto hook = library ? reinterpret_cast<HOOKPROC>(
                                  reinterpret_cast<void*>(GetProcAddress(library, "corvaneProbeHook")))
                            : nullptr;
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (!hook || !thread) return std::nullopt;
  const std::string name = probeMappingName(GetCurrentProcessId());
  const HANDLE mapping =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeAnswer), name.c_str());
  if (!mapping) return std::nullopt;
  auto* answer = static_cast<ProbeAnswer*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeAnswer)));
  // The hook runs in the program's thread when it next takes a message off its queue.
  const HHOOK hooked = answer ? SetWindowsHookExW(WH_GETMESSAGE, hook, library, thread) : nullptr;
  std::optional<ProbeView> result;
  if (hooked && PostMessageW(window, RegisterWindowMessageA(kProbeMessage), 0, GetCurrentProcessId())) {
    const auto deadline = Clock::now() + timeout;
    while (!answer->done && Clock::now() < deadline) std::this_thread::sleep_for(kPoll);
    if (answer->done && answer->read) result = ProbeView{!answer->hasFont, answer->font, answer->classIcon != FALSE};
  }
  if (hooked) UnhookWindowsHookEx(hooked);
  if (answer) UnmapViewOfFile(answer);
  CloseHandle(mapping);
  return result;
}

// --- Host side -----------------------------------------------------------------

std::string hostPath(const std::wstring& windowsPath) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  static const auto toUnix =
      reinterpret_cast<UnixName>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return {};
  char* name = toUnix(windowsPath.c_str());
  if (!name) return {};
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

std::wstring dosPath(const std::string& unixPath) {
  using DosName = WCHAR*(CDECL*)(LPCSTR);
  static const auto toDos =
      reinterpret_cast<DosName>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (!toDos) return {};
  WCHAR* name = toDos(unixPath.c_str());
  if (!name) return {};
  std::wstring result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

std::string shellQuote(std::string_view text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

int runHost(const std::string& command, Ms timeout) {
  // Wine starts a Unix program for a path that is no PE file, but gives no
  // handle to wait on: the command leaves its status in a file instead.
  static std::atomic<int> serial{0};
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring marker = std::wstring(temp) + L"corvane-host-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++serial) + L".status";
  DeleteFileW(marker.c_str());
  const std::string unixMarker = hostPath(marker);
  if (unixMarker.empty()) return -1;
  const std::string script = "(" + command + "\n); echo $? >" + shellQuote(unixMarker + ".tmp") + " && mv " +
                             shellQuote(unixMarker + ".tmp") + " " + shellQuote(unixMarker);
  // The Windows side splits this line again, by the Windows rules: quote for
  // those (backslashes count only before a quote), not for a shell.
  std::string commandLine = "/bin/sh -c \"";
  std::size_t slashes = 0;
  for (char c : script) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    commandLine.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
    slashes = 0;
    commandLine += c;
  }
  commandLine.append(slashes * 2, '\\');
  commandLine += '"';
  // Named by its Windows path: a bare "/bin/sh" would be looked for on the current drive.
  const std::wstring shell = dosPath("/bin/sh");
  std::wstring wideLine = widen(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (shell.empty() ||
      !CreateProcessW(shell.c_str(), wideLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return -1;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    std::ifstream in(marker.c_str());
    int status = 0;
    if (in >> status) {
      in.close();
      DeleteFileW(marker.c_str());
      return status;
    }
    std::this_thread::sleep_for(Ms(20));
  }
  return -1;
}

}  // namespace e2e

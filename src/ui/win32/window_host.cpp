#include "ui/win32/window_host.h"

#include <windows.h>
// commctrl.h needs windows.h before it.
#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "guard/guard.h"
#include "platform/platform.h"
#include "platform/win32/held_path.h"
#include "platform/win32/messages.h"
#include "runtime/error.h"
#include "ui/layouts.h"

namespace win32 {
namespace {

// Posted once a window is first active, so the activation procedure runs from
// the message loop and may keep pumping messages for as long as it works.
constexpr UINT kActivateMessage = WM_APP + 1;

constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
// The application icon in the resources.
constexpr int kIconId = 1;

// The windows are Unicode windows: a caption or an item carries any name.
std::string textOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return narrowText(text);
}

// A control whose painting, inside a busy loop, waits for the next look at
// the queue, where it would be painted anyway.
class Deferred {
 public:
  static void applyAll() {
    for (Deferred* control : held()) control->apply(), control->isHeld_ = false;
    held().clear();
  }

 protected:
  ~Deferred() { std::erase(held(), this); }
  // True when the control starts waiting.
  bool hold() {
    if (isHeld_) return false;
    held().push_back(this);
    return isHeld_ = true;
  }
  bool isHeld() const { return isHeld_; }
  virtual void apply() = 0;

 private:
  static std::vector<Deferred*>& held() {
    static std::vector<Deferred*> controls;
    return controls;
  }
  bool isHeld_ = false;
};

// A static control paints itself at once when its text changes: a search that
// names every folder it enters would otherwise spend more on painting names
// nobody can read than on the search.
class Label final : public ui::Label, Deferred {
 public:
  explicit Label(HWND window) : window_(window) {}
  void Caption(std::string_view text) override {
    if (!inBusyLoop()) {
      SetWindowTextW(window_, wideText(text).c_str());
      return;
    }
    caption_ = text;
    hold();
  }
  std::string Caption() const override { return isHeld() ? caption_ : textOf(window_); }

 private:
  void apply() override { SetWindowTextW(window_, wideText(caption_).c_str()); }

  HWND window_;
  std::string caption_;
};

// A shown list box paints each item as it is added, which costs far more than
// the adding: listing a few thousand found files took seconds in which the
// window answered nothing.
class ListBox final : public ui::ListBox, Deferred {
 public:
  explicit ListBox(HWND window) : window_(window) {}
  void AddItem(std::string_view item) override {
    if (inBusyLoop() && hold()) SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
    const LRESULT added = SendMessageW(window_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideText(item).c_str()));
    if (added == LB_ERR || added == LB_ERRSPACE) rt::raise(rt::errOutOfMemory);
  }
  int ListCount() const override { return static_cast<int>(SendMessageW(window_, LB_GETCOUNT, 0, 0)); }
  std::string List(int index) const override {
    if (index < 0 || index >= ListCount()) rt::raise(rt::errSubscriptOutOfRange);
    const auto length = SendMessageW(window_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied =
        SendMessageW(window_, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return narrowText(text);
  }
  void Clear() override { SendMessageW(window_, LB_RESETCONTENT, 0, 0); }
  void Selected(int index, bool selected) override {
    SendMessageW(window_, LB_SETSEL, selected, static_cast<LPARAM>(index));
  }
  bool Selected(int index) const override { return SendMessageW(window_, LB_GETSEL, static_cast<WPARAM>(index), 0) > 0; }

 private:
  void apply() override {
    SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  }

  HWND window_;
};

// A list box that lists the files of one folder, as the file-list control does.
class FileListBox final : public ui::FileListBox {
 public:
  explicit FileListBox(HWND window) : window_(window), items_(window) {}
  void Path(const std::string& folder) override {
    SendMessageW(window_, LB_RESETCONTENT, 0, 0);
    path_.clear();
    std::wstring pattern, wide;
    // A folder it cannot name would list the current one instead.
    if (!widePath(folder + (folder.empty() || folder.back() != '\\' ? "\\*.*" : "*.*"), pattern))
      rt::raise(rt::errPathNotFound);
    // Ordinary, read-only and archived files; no folders, drives, hidden or system files.
    const LRESULT listed = SendMessageW(window_, LB_DIR, DDL_READWRITE | DDL_READONLY | DDL_ARCHIVE,
                                        reinterpret_cast<LPARAM>(pattern.c_str()));
    if (listed == LB_ERR && (!widePath(folder, wide) || GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES))
      rt::raise(rt::errPathNotFound);
    path_ = folder;
  }
  std::string Path() const override { return path_; }
  int ListCount() const override { return items_.ListCount(); }
  std::string List(int index) const override { return items_.List(index); }

 private:
  HWND window_;
  ListBox items_;
  std::string path_;
};

struct Window final : ui::Controls {
  explicit Window(ui::Form& f) : form(f) {}

  ui::Label& label(std::string_view name) override { return *find(labels, name); }
  ui::ListBox& listBox(std::string_view name) override { return *find(lists, name); }
  ui::FileListBox& fileListBox(std::string_view name) override { return *find(fileLists, name); }

  template <class T>
  T* find(std::map<std::string, std::unique_ptr<T>, std::less<>>& controls, std::string_view name) {
    const auto it = controls.find(name);
    if (it == controls.end())
      rt::raise(rt::errObjectDoesNotSupport, "No control " + std::string(name) + " on " + form.Layout().name);
    return it->second.get();
  }

  ui::Form& form;
  HWND hwnd = nullptr;
  bool activatePosted = false;
  HWND lastFocus = nullptr;
  std::map<std::string, std::unique_ptr<ui::Label>, std::less<>> labels;
  std::map<std::string, std::unique_ptr<ui::ListBox>, std::less<>> lists;
  std::map<std::string, std::unique_ptr<ui::FileListBox>, std::less<>> fileLists;
};

std::map<ui::Form*, std::unique_ptr<Window>> windows;

struct Dpi {
  int x, y;
};

Dpi screenDpi() {
  const HDC screen = GetDC(nullptr);
  const Dpi dpi{GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
  ReleaseDC(nullptr, screen);
  return dpi;
}

int pixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

HFONT formFont(const Dpi& dpi) {
  static const HFONT font =
      CreateFontW(-static_cast<int>(std::lround(ui::kFontPoints * dpi.y / 72.0)), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                  FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                  DEFAULT_PITCH | FF_DONTCARE, wideText(ui::kFontFace).c_str());
  return font;
}

bool anyWindowOpen() {
  // A hidden window (the file list's) keeps nothing alive.
  return std::any_of(windows.begin(), windows.end(),
                     [](const auto& entry) { return entry.second->hwnd && IsWindowVisible(entry.second->hwnd); });
}

void startActivation(Window& w) {
  if (!w.activatePosted) {
    w.activatePosted = true;
    PostMessageW(w.hwnd, kActivateMessage, 0, 0);
  }
}

LRESULT handle(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && IsChild(w.hwnd, focus)) w.lastFocus = focus;
      } else {
        const HWND focus =
            w.lastFocus && IsWindow(w.lastFocus) ? w.lastFocus : GetNextDlgTabItem(w.hwnd, nullptr, FALSE);
        SetFocus(focus ? focus : w.hwnd);
        startActivation(w);
      }
      return 0;
    case kActivateMessage:
      guard::runOutermost([&] { w.form.Form_Activate(); });
      return 0;
    case WM_CLOSE: {
      bool close = false;
      guard::runOutermost([&] {
        if (!w.form.AllowUserClose()) return;
        rt::int16 Cancel = 0;
        w.form.Form_Unload(Cancel);
        close = Cancel == 0;
      });
      if (close) DestroyWindow(w.hwnd);
      return 0;
    }
    case WM_COMMAND: {
      const auto& controls = w.form.Layout().controls;
      const auto index = static_cast<std::size_t>(LOWORD(wParam)) - 1000;
      if (HIWORD(wParam) == BN_CLICKED && lParam != 0 && index < controls.size())
        guard::runOutermost([&] { w.form.Click(controls[index].name); });
      return 0;
    }
    case WM_SETCURSOR:
      // The hourglass covers the whole window, its controls included, while it is set.
      if (const HCURSOR cursor = programCursor()) {
        SetCursor(cursor);
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(w.hwnd, GWLP_USERDATA, 0);
      w.hwnd = nullptr;
      // With the last window gone the program has nothing left to do.
      if (!anyWindowOpen()) PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(w.hwnd, message, wParam, lParam);
}

LRESULT CALLBACK formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // No exception may unwind through the system's frames.
  try {
    if (message == WM_NCCREATE) {
      auto* w = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      w->hwnd = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
    }
    auto* w = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return w ? handle(*w, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
  } catch (...) {
    platform::End(1);
  }
}

void registerClass() {
  static const bool registered = [] {
    // The manifest asks for version 6 of the common controls, so that buttons,
    // labels and lists are drawn in the system's visual style; their classes
    // are there once the library has been initialised.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = formProc;
    wc.hInstance = instance;
    wc.hIcon =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                      GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    wc.hIconSm =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                      GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    return RegisterClassExW(&wc) != 0;
  }();
  if (!registered) rt::raise(rt::errOutOfMemory);
}

// An owned window gets no taskbar button; the owner stays hidden, so the
// windows keep their ordinary caption and still show in the task switcher.
HWND hiddenOwner() {
  static const HWND owner =
      CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  return owner;
}

HWND createControl(Window& w, const ui::ControlLayout& c, int id, const Dpi& dpi) {
  const wchar_t* windowClass = L"STATIC";
  DWORD style = WS_CHILD | (c.visible ? WS_VISIBLE : 0);
  switch (c.kind) {
    // A plain static wraps its text within its fixed size, as a designed label
    // of fixed size does whether or not it is marked word-wrapping. The texts
    // are folder and file names: an "&" in them is no mnemonic.
    case ui::ControlKind::Label:
      style |= SS_LEFT | SS_NOPREFIX;
      break;
    case ui::ControlKind::ListBox:
    case ui::ControlKind::MultiSelectListBox:
      windowClass = L"LISTBOX";
      // Kept in the order added, and at its designed height.
      style |= WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
      if (c.kind == ui::ControlKind::MultiSelectListBox) style |= LBS_EXTENDEDSEL;
      break;
    case ui::ControlKind::CommandButton:
      windowClass = L"BUTTON";
      style |= WS_TABSTOP | BS_PUSHBUTTON;
      break;
    case ui::ControlKind::FileListBox:
      windowClass = L"LISTBOX";
      style |= WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_SORT | LBS_NOINTEGRALHEIGHT;
      break;
  }
  const HWND control =
      CreateWindowExW(0, windowClass, wideText(c.caption).c_str(), style, pixels(c.left, dpi.x), pixels(c.top, dpi.y),
                      pixels(c.width, dpi.x), pixels(c.height, dpi.y), w.hwnd,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (!control) rt::raise(rt::errOutOfMemory);
  if (!c.defaultFont) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(formFont(dpi)), FALSE);
  return control;
}

void create(Window& w) {
  registerClass();
  const ui::FormLayout& layout = w.form.Layout();
  const Dpi dpi = screenDpi();
  RECT frame{0, 0, pixels(layout.clientWidth, dpi.x), pixels(layout.clientHeight, dpi.y)};
  AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  w.activatePosted = false;
  w.lastFocus = nullptr;
  if (!CreateWindowExW(kFormExStyle, kFormClass, wideText(layout.caption).c_str(), kFormStyle, x, y, width, height,
                       hiddenOwner(), nullptr, GetModuleHandleW(nullptr), &w))
    rt::raise(rt::errOutOfMemory);

  // Creation in tab order makes the window order the tab order.
  std::vector<std::size_t> order(layout.controls.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return layout.controls[a].tabIndex < layout.controls[b].tabIndex;
  });
  w.labels.clear();
  w.lists.clear();
  w.fileLists.clear();
  for (const std::size_t i : order) {
    const ui::ControlLayout& c = layout.controls[i];
    const HWND control = createControl(w, c, 1000 + static_cast<int>(i), dpi);
    if (c.kind == ui::ControlKind::Label) w.labels[c.name] = std::make_unique<Label>(control);
    if (c.kind == ui::ControlKind::ListBox || c.kind == ui::ControlKind::MultiSelectListBox) w.lists[c.name] = std::make_unique<ListBox>(control);
    if (c.kind == ui::ControlKind::FileListBox) w.fileLists[c.name] = std::make_unique<FileListBox>(control);
  }
  w.form.Bind(w);
  w.form.Form_Load();
}

BOOL CALLBACK collectEnabled(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<std::vector<HWND>*>(param);
  if (IsWindowVisible(window) && IsWindowEnabled(window)) found->push_back(window);
  return TRUE;
}

void runModal(Window& w) {
  std::vector<HWND> others;
  EnumThreadWindows(GetCurrentThreadId(), collectEnabled, reinterpret_cast<LPARAM>(&others));
  others.erase(std::remove(others.begin(), others.end(), w.hwnd), others.end());
  for (const HWND other : others) EnableWindow(other, FALSE);
  MSG msg;
  while (w.hwnd) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
    if (got <= 0) break;
    dispatch(msg);
  }
  for (const HWND other : others)
    if (IsWindow(other)) EnableWindow(other, TRUE);
}

Window& loaded(ui::Form& form) {
  auto& slot = windows[&form];
  if (!slot) slot = std::make_unique<Window>(form);
  if (!slot->hwnd) create(*slot);
  return *slot;
}

}  // namespace

WindowHost::WindowHost() { setBeforeLook(Deferred::applyAll); }

void WindowHost::Show(ui::Form& form, bool modal) {
  Window& w = loaded(form);
  ShowWindow(w.hwnd, SW_SHOWNORMAL);
  UpdateWindow(w.hwnd);
  SetForegroundWindow(w.hwnd);
  // Shown without the activation message (another program in front): start the procedure anyway.
  startActivation(w);
  if (modal) runModal(w);
}

void WindowHost::Load(ui::Form& form) { loaded(form); }

// A hidden window is never activated: its procedure is started as for one shown behind another program.
void WindowHost::RunHidden(ui::Form& form) {
  Window& w = loaded(form);
  startActivation(w);
  runModal(w);
}

void WindowHost::Refresh(ui::Form& form) {
  const auto it = windows.find(&form);
  if (it != windows.end() && it->second->hwnd)
    RedrawWindow(it->second->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

bool WindowHost::AnyOpen() const { return anyWindowOpen(); }

}  // namespace win32

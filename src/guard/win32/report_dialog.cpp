// The program's own report dialog, for machines without a registered report
// object. It shows what the object would have been given and always ends in
// one of the three answers: it has no close box, and Esc and Alt+F4 do nothing.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "guard/report_text.h"
#include "guard/win32/report.h"
#include "platform/win32/held_path.h"
#include "platform/win32/messages.h"
#include "runtime/error.h"

namespace win32 {
namespace {

constexpr int kVariablesId = 200;

std::string variablesText(const guard::Slots& dumps) {
  std::string text;
  for (const auto& line : guard::variableLines(dumps)) text += line + "\r\n";
  return text;
}

HFONT messageFont() {
  static const HFONT font = [] {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
      return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const HFONT created = CreateFontIndirectA(&metrics.lfMessageFont);
    return created ? created : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }();
  return font;
}

class ReportDialog final : public guard::KeptReport {
 public:
  int32_t ReportError() override;

 private:
  static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void build(HWND dialog);

  int32_t answer_ = 0;
};

// Lays the controls out in dialog units of the message font, creation order
// being the tab order.
void ReportDialog::build(HWND dialog) {
  const HFONT font = messageFont();
  const HDC dc = GetDC(dialog);
  const HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SIZE alphabet{};
  GetTextExtentPoint32A(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &alphabet);
  SelectObject(dc, old);
  ReleaseDC(dialog, dc);
  const int unitX = (alphabet.cx / 26 + 1) / 2, unitY = metrics.tmHeight;
  const auto x = [&](int du) { return MulDiv(du, unitX, 4); };
  const auto y = [&](int du) { return MulDiv(du, unitY, 8); };

  const auto add = [&](const char* cls, const std::string& text, DWORD style, int left, int top, int width, int height,
                       int id) {
    const HWND control =
        CreateWindowExW(cls == std::string("EDIT") ? WS_EX_CLIENTEDGE : 0, wideText(cls).c_str(),
                        wideText(text).c_str(), WS_CHILD | WS_VISIBLE | style, x(left), y(top), x(width), y(height),
                        dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
  };
  constexpr int kWidth = 340, kLabelWidth = 62, kValueLeft = 76, kValueWidth = kWidth - kValueLeft - 7;
  int top = 7;
  add("STATIC",
      "An error has stopped " + report_.appTitle +
          ". Abort passes it on, Retry runs the failing step again, Ignore goes on with the next step.",
      SS_LEFT | SS_NOPREFIX, 7, top, kWidth - 14, 18, -1);
  top += 22;
  const auto row = [&](const std::string& label, const std::string& value, int lines) {
    add("STATIC", label + ":", SS_LEFT | SS_NOPREFIX, 7, top, kLabelWidth, 9, -1);
    add("STATIC", value, SS_LEFT | SS_NOPREFIX, kValueLeft, top, kValueWidth, 9 * lines, -1);
    top += 9 * lines + 2;
  };
  const auto rows = guard::particulars(report_);
  // The description, the second row, may be long.
  for (std::size_t i = 0; i < rows.size(); ++i) row(rows[i].first, rows[i].second, i == 1 ? 2 : 1);
  top += 4;
  add("STATIC", "&Variables:", SS_LEFT, 7, top, kWidth - 14, 9, -1);
  top += 11;
  const HWND variables =
      add("EDIT", variablesText(report_.dumps),
          WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL, 7, top,
          kWidth - 14, 100, kVariablesId);
  const int stops[] = {8, 96, 140};  // name, type, value
  SendMessageW(variables, EM_SETTABSTOPS, 3, reinterpret_cast<LPARAM>(stops));
  top += 106;
  const std::pair<int, const char*> buttons[] = {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
  int left = kWidth - 7 - 3 * 50 - 2 * 4;
  for (const auto& [id, caption] : buttons) {
    add("BUTTON", caption, WS_TABSTOP | (id == IDABORT ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), left, top, 50, 14, id);
    left += 54;
  }
  top += 21;
  SendMessageW(dialog, DM_SETDEFID, IDABORT, 0);

  // Centred over the window it reports for, or on the screen without one.
  RECT frame{0, 0, x(kWidth), y(top)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (const HWND owner = GetWindow(dialog, GW_OWNER)) GetWindowRect(owner, &area);
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  const int left0 = std::max(0, std::min(cx - width, static_cast<int>((area.left + area.right - width) / 2)));
  const int top0 = std::max(0, std::min(cy - height, static_cast<int>((area.top + area.bottom - height) / 2)));
  SetWindowPos(dialog, nullptr, left0, top0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowTextW(dialog, wideText(guard::reportTitle(report_)).c_str());
  SetFocus(GetDlgItem(dialog, IDABORT));
}

INT_PTR CALLBACK ReportDialog::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* self = reinterpret_cast<ReportDialog*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      // No exception may unwind through the system's frames.
      try {
        self->build(dialog);
      } catch (...) {
      }
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      auto* self = reinterpret_cast<ReportDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
      const int id = LOWORD(wParam);
      if (self && HIWORD(wParam) == BN_CLICKED && (id == IDABORT || id == IDRETRY || id == IDIGNORE))
        self->answer_ = id;
      return TRUE;  // IDCANCEL (Esc, Alt+F4) included: only the three buttons answer
    }
    case WM_CLOSE:
      return TRUE;
  }
  return FALSE;
}

BOOL CALLBACK collectEnabled(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<std::vector<HWND>*>(param);
  if (IsWindowVisible(window) && IsWindowEnabled(window)) found->push_back(window);
  return TRUE;
}

int32_t ReportDialog::ReportError() {
  // Modal over all of the program's windows: they keep painting, as the loop
  // below dispatches their messages, but take no input until the answer.
  const HWND owner = GetActiveWindow();
  std::vector<HWND> disabled;
  EnumThreadWindows(GetCurrentThreadId(), collectEnabled, reinterpret_cast<LPARAM>(&disabled));
  for (const HWND window : disabled) EnableWindow(window, FALSE);
  const auto reenable = [&] {
    for (const HWND window : disabled)
      if (IsWindow(window)) EnableWindow(window, TRUE);
  };

  struct alignas(DWORD) {
    DLGTEMPLATE dialog;
    WORD menu, windowClass, title;
  } tmpl{};
  tmpl.dialog.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
  tmpl.dialog.dwExtendedStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | (owner ? 0 : WS_EX_APPWINDOW);
  answer_ = 0;
  // The windows behind the report show what the program had come to.
  beforeLook();
  const HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &tmpl.dialog, owner, dialogProc,
                                                 reinterpret_cast<LPARAM>(this));
  if (!dialog) {
    reenable();
    rt::raise(rt::errCannotCreateObject);
  }
  ShowWindow(dialog, SW_SHOWNORMAL);
  SetForegroundWindow(dialog);

  bool quit = false;
  WPARAM quitCode = 0;
  MSG msg;
  while (answer_ == 0) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      // The program's end waits for the answer.
      quit = true;
      quitCode = msg.wParam;
      continue;
    }
    if (IsDialogMessageW(dialog, &msg)) continue;
    dispatch(msg);
  }
  // Enabled again before the dialog goes, so the activation returns to them.
  reenable();
  DestroyWindow(dialog);
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  if (answer_ == 0) rt::raise(rt::errOutOfMemory);
  return answer_;
}

}  // namespace

std::unique_ptr<guard::ReportComponent> newReportDialog() { return std::make_unique<ReportDialog>(); }

}  // namespace win32

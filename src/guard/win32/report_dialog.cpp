// The program's own report dialog, for machines without a registered report
// object. It shows what the object would have been given and always ends in
// one of the three answers: it has no close box, and Esc and Alt+F4 do nothing.
#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "guard/guard.h"
#include "guard/win32/report.h"
#include "platform/win32/messages.h"
#include "platform/win32/services.h"
#include "runtime/error.h"

namespace win32 {
namespace {

constexpr int kVariablesId = 200;

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string dateText(const rt::DateTime& when) {
  Process process;
  const std::string date = process.ShortDate(when);
  return when.hour == 0 && when.minute == 0 && when.second == 0 ? date : date + " " + process.LongTime(when);
}

// A value as the dialog shows it: texts in quotes where `quoteTexts` is set.
std::string valueText(const guard::DumpValue& value, bool quoteTexts) {
  if (const auto* v = std::get_if<int16_t>(&value)) return std::to_string(*v);
  if (const auto* v = std::get_if<int32_t>(&value)) return std::to_string(*v);
  if (const auto* v = std::get_if<std::string>(&value)) return quoteTexts ? quoted(*v) : *v;
  if (const auto* v = std::get_if<bool>(&value)) return *v ? "True" : "False";
  if (const auto* v = std::get_if<rt::DateTime>(&value)) return dateText(*v);
  if (const auto* v = std::get_if<std::vector<std::string>>(&value)) {
    std::string out = "(";
    for (std::size_t i = 0; i < v->size(); ++i) out += (i ? ", " : "") + quoted((*v)[i]);
    return out + ")";
  }
  return objectTypeName(std::get<guard::ObjectRef>(value));
}

const char* typeOf(const guard::DumpValue& value) {
  static const char* const names[] = {"Integer", "Long", "String", "Boolean", "Date", "String()", "Object"};
  return names[value.index()];
}

std::string trimmed(std::string text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string variablesText(const guard::Slots& dumps) {
  const std::pair<const char*, const guard::VariableDump*> sections[] = {
      {"Parameters", &dumps.GuardParams},
      {"Local variables", &dumps.GuardLocals},
      {"Module variables", &dumps.GuardModuleVars},
      {"Global variables", &dumps.GuardGlobals}};
  std::string text;
  for (const auto& [title, dump] : sections) {
    text += std::string(title) + "\r\n";
    const auto rows = variableRows(*dump);
    if (rows.empty()) text += "\t(none)\r\n";
    for (const auto& row : rows) text += "\t" + row.name + "\t" + row.type + "\t" + row.value + "\r\n";
  }
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

class ReportDialog final : public guard::ReportComponent {
 public:
  void ErrDescription(const guard::VariableDump& description) override { description_ = description; }
  void AppPath(const std::string& path) override { appPath_ = path; }
  void AppTitle(const std::string& title) override { appTitle_ = title; }
  void UserData(const std::vector<std::string>& userData) override { userData_ = userData; }
  void SetVariables(guard::VariableDump& params, guard::VariableDump& locals, guard::VariableDump& moduleVars,
                    guard::VariableDump& globals) override {
    dumps_ = {params, locals, moduleVars, globals};
  }
  int32_t ReportError() override;

 private:
  static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void build(HWND dialog);

  guard::VariableDump description_;
  std::string appPath_, appTitle_;
  std::vector<std::string> userData_;
  guard::Slots dumps_;
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

  const auto add = [&](const char* cls, const std::string& text, DWORD style, int left, int top, int width,
                       int height, int id) {
    const HWND control = CreateWindowExA(cls == std::string("EDIT") ? WS_EX_CLIENTEDGE : 0, cls, text.c_str(),
                                         WS_CHILD | WS_VISIBLE | style, x(left), y(top), x(width), y(height), dialog,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                                         nullptr);
    if (control) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
  };
  constexpr int kWidth = 340, kLabelWidth = 62, kValueLeft = 76, kValueWidth = kWidth - kValueLeft - 7;
  int top = 7;
  add("STATIC",
      "An error has stopped " + appTitle_ +
          ". Abort passes it on, Retry runs the failing step again, Ignore goes on with the next step.",
      SS_LEFT | SS_NOPREFIX, 7, top, kWidth - 14, 18, -1);
  top += 22;
  const auto row = [&](const std::string& label, const std::string& value, int lines) {
    add("STATIC", label + ":", SS_LEFT | SS_NOPREFIX, 7, top, kLabelWidth, 9, -1);
    add("STATIC", value, SS_LEFT | SS_NOPREFIX, kValueLeft, top, kValueWidth, 9 * lines, -1);
    top += 9 * lines + 2;
  };
  for (std::size_t i = 0; i < description_.size(); i += 2) {
    const auto& label = description_[i];
    const std::string name = std::holds_alternative<std::string>(label) ? trimmed(std::get<std::string>(label))
                                                                         : valueText(label, false);
    const std::string value = i + 1 < description_.size() ? valueText(description_[i + 1], false) : std::string();
    row(name, value, i == 2 ? 2 : 1);  // the description may be long
  }
  row("Program", appPath_, 1);
  // The author's name comes twice in the user data; it is shown once.
  std::string contact;
  for (std::size_t i = 0; i < userData_.size(); ++i)
    if (!userData_[i].empty() && std::find(userData_.begin(), userData_.begin() + static_cast<std::ptrdiff_t>(i),
                                           userData_[i]) == userData_.begin() + static_cast<std::ptrdiff_t>(i))
      contact += (contact.empty() ? "" : ", ") + userData_[i];
  row("Contact", contact, 1);
  top += 4;
  add("STATIC", "&Variables:", SS_LEFT, 7, top, kWidth - 14, 9, -1);
  top += 11;
  const HWND variables = add("EDIT", variablesText(dumps_),
                             WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL |
                                 ES_AUTOVSCROLL,
                             7, top, kWidth - 14, 100, kVariablesId);
  const int stops[] = {8, 96, 140};  // name, type, value
  SendMessageA(variables, EM_SETTABSTOPS, 3, reinterpret_cast<LPARAM>(stops));
  top += 106;
  const std::pair<int, const char*> buttons[] = {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
  int left = kWidth - 7 - 3 * 50 - 2 * 4;
  for (const auto& [id, caption] : buttons) {
    add("BUTTON", caption, WS_TABSTOP | (id == IDABORT ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), left, top, 50, 14, id);
    left += 54;
  }
  top += 21;
  SendMessageA(dialog, DM_SETDEFID, IDABORT, 0);

  // Centred over the window it reports for, or on the screen without one.
  RECT frame{0, 0, x(kWidth), y(top)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_EXSTYLE)));
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (const HWND owner = GetWindow(dialog, GW_OWNER)) GetWindowRect(owner, &area);
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  const int left0 = std::max(0, std::min(cx - width, static_cast<int>((area.left + area.right - width) / 2)));
  const int top0 = std::max(0, std::min(cy - height, static_cast<int>((area.top + area.bottom - height) / 2)));
  SetWindowPos(dialog, nullptr, left0, top0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowTextA(dialog, (appTitle_ + " - Error").c_str());
  SetFocus(GetDlgItem(dialog, IDABORT));
}

INT_PTR CALLBACK ReportDialog::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* self = reinterpret_cast<ReportDialog*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      // No exception may unwind through the system's frames.
      try {
        self->build(dialog);
      } catch (...) {
      }
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      auto* self = reinterpret_cast<ReportDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
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
  const HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &tmpl.dialog, owner, dialogProc,
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
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      // The program's end waits for the answer.
      quit = true;
      quitCode = msg.wParam;
      continue;
    }
    if (IsDialogMessageA(dialog, &msg)) continue;
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

std::vector<VariableRow> variableRows(const guard::VariableDump& dump) {
  std::vector<VariableRow> rows;
  if (dump == guard::marker()) return rows;
  for (std::size_t i = 0; i < dump.size(); i += 2) {
    VariableRow row;
    const auto& name = dump[i];
    row.name = std::holds_alternative<std::string>(name) ? std::get<std::string>(name) : valueText(name, true);
    if (i + 1 < dump.size()) {
      row.type = typeOf(dump[i + 1]);
      row.value = valueText(dump[i + 1], true);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// The names the program dumps are classes, alone ("14CSystemFolders") or in
// namespaces ("N2ui5LabelE"); any other form is shown as it stands. The
// library's demangler would be a sixth of the executable for this.
std::string objectTypeName(const guard::ObjectRef& object) {
  if (!object.object) return "Nothing";
  std::string_view rest = object.typeName;
  const bool nested = rest.starts_with('N');
  if (nested) rest.remove_prefix(1);
  std::string name;
  do {
    std::size_t digits = 0, length = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9' && length <= rest.size())
      length = length * 10 + static_cast<std::size_t>(rest[digits++] - '0');
    if (digits == 0 || length == 0 || length > rest.size() - digits) return object.typeName;
    const std::string_view part = rest.substr(digits, length);
    if (!name.empty()) name += "::";
    name += part == "_GLOBAL__N_1" ? std::string_view("(anonymous namespace)") : part;
    rest.remove_prefix(digits + length);
  } while (nested && !rest.empty() && rest != "E");
  if (rest != (nested ? "E" : "")) return object.typeName;
  return name;
}

std::unique_ptr<guard::ReportComponent> newReportDialog() { return std::make_unique<ReportDialog>(); }

}  // namespace win32

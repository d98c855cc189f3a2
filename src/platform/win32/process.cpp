#include <windows.h>

#include <string>

#include "platform/win32/held_path.h"
#include "platform/win32/services.h"
#include "runtime/wtf8.h"

namespace win32 {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

SYSTEMTIME systemTimeOf(const rt::DateTime& when) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(when.year);
  st.wMonth = static_cast<WORD>(when.month);
  st.wDay = static_cast<WORD>(when.day);
  st.wHour = static_cast<WORD>(when.hour);
  st.wMinute = static_cast<WORD>(when.minute);
  st.wSecond = static_cast<WORD>(when.second);
  return st;
}

// Both format functions report the size they need, the NUL included, when given no buffer.
template <class Format>
std::string formatted(Format format) {
  const int size = format(nullptr, 0);
  if (size <= 0) return {};
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  const int used = format(text.data(), size);
  text.resize(used > 0 ? static_cast<std::size_t>(used) - 1 : 0);
  return narrowText(text);
}

}  // namespace

std::string commandLineArguments(std::string_view commandLine) {
  std::size_t pos = 0;
  if (!commandLine.empty() && commandLine[0] == '"') {
    const auto close = commandLine.find('"', 1);
    pos = close == std::string_view::npos ? commandLine.size() : close + 1;
  } else {
    while (pos < commandLine.size() && !isBlank(commandLine[pos])) ++pos;
  }
  while (pos < commandLine.size() && isBlank(commandLine[pos])) ++pos;
  return std::string(commandLine.substr(pos));
}

// Read as Unicode: the ANSI form has turned what the code page lacks into "?" already.
std::string Process::CommandLine() { return commandLineArguments(narrowText(GetCommandLineW())); }

std::string Process::AppPath() {
  std::wstring wide(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()));
    if (length < wide.size()) {
      wide.resize(length);
      break;
    }
    wide.resize(wide.size() * 2);  // truncated: try a larger buffer
  }
  std::string path = narrowText(wide);
  const auto slash = path.find_last_of('\\');
  if (slash == std::string::npos) return {};
  path.resize(slash);
  if (path.size() == 2 && path[1] == ':') path += '\\';  // a drive's root keeps its backslash
  return path;
}

std::string Process::AppTitle() { return "CorvaneFileCleanup"; }

rt::DateTime Process::Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::string Process::ShortDate(const rt::DateTime& when) {
  const SYSTEMTIME st = systemTimeOf(when);
  return formatted([&](wchar_t* buffer, int size) {
    return GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, size);
  });
}

std::string Process::LongTime(const rt::DateTime& when) {
  const SYSTEMTIME st = systemTimeOf(when);
  return formatted(
      [&](wchar_t* buffer, int size) { return GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, size); });
}

// The invariant upper case maps one unit to one, as the ordinal comparison
// without regard to case does, the same in every language the user picks.
std::string Process::UCase(std::string_view text) {
  std::wstring wide, upper;
  rt::appendUnits(text, wide);
  upper.resize(wide.size());
  if (!wide.empty() &&
      LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()), upper.data(),
                    static_cast<int>(upper.size()), nullptr, nullptr, 0) != static_cast<int>(wide.size()))
    upper = wide;  // the system cannot say: the text as it is, which still equals itself
  return narrowText(upper);
}

void Process::Exit(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

}  // namespace win32

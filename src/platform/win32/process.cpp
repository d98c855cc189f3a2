#include <windows.h>

#include <string>

#include "platform/win32/services.h"

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
  std::string text(static_cast<std::size_t>(size), '\0');
  const int used = format(text.data(), size);
  text.resize(used > 0 ? static_cast<std::size_t>(used) - 1 : 0);
  return text;
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

std::string Process::CommandLine() { return commandLineArguments(GetCommandLineA()); }

std::string Process::AppPath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
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
  return formatted([&](char* buffer, int size) {
    return GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, size);
  });
}

std::string Process::LongTime(const rt::DateTime& when) {
  const SYSTEMTIME st = systemTimeOf(when);
  return formatted(
      [&](char* buffer, int size) { return GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, size); });
}

std::string Process::UCase(std::string_view text) {
  std::string upper(text);
  if (!upper.empty()) CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
  return upper;
}

void Process::Exit(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

}  // namespace win32

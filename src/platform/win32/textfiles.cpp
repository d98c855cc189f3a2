#include <windows.h>

#include <string>

#include "platform/win32/held_path.h"
#include "platform/win32/native_view.h"
#include "platform/win32/rights.h"
#include "platform/win32/services.h"
#include "runtime/error.h"
#include "runtime/wtf8.h"

namespace win32 {
namespace {

[[noreturn]] void raiseOpenError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      rt::raise(rt::errFileNotFound);
    case ERROR_PATH_NOT_FOUND:
      rt::raise(rt::errPathNotFound);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      rt::raise(rt::errPermissionDenied);
    default:
      rt::raise(rt::errPathFileAccess);
  }
}

// Opens the log for appending, or makes it where there is none, checked and
// opened as one act: the folders stay held until the file is open. A file is
// made only where nothing is, not even a link that leads nowhere, then opened
// as any log is; one that came meanwhile is opened (and judged) as it is. The
// making handle is not kept: it has delete access, which would lock out anyone
// who opens the log without delete sharing.
DWORD openLog(const std::string& path, HANDLE& file) {
  const bool elevated = elevatedRun();
  // The system account's own folder lies under System32, which a 32-bit
  // program on 64-bit Windows would otherwise reach as SysWOW64.
  const NativeFileView native;
  HeldPath held;
  DWORD error = held.holdFolders(path, elevated);
  if (error) return error;
  const auto open = [&](DWORD disposition) {
    return held.openEntry(FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition, file);
  };
  error = open(OPEN_EXISTING);
  if (error == ERROR_FILE_NOT_FOUND) {
    if (!(error = open(CREATE_NEW))) CloseHandle(file);
    if (!error || error == ERROR_FILE_EXISTS) error = open(OPEN_EXISTING);
  }
  if (!error && hasOtherNames(file)) {
    CloseHandle(file);
    error = kRefused;
  }
  return error;
}

// Logs have always been in the ANSI code page, and runs append to them: a
// character the code page lacks is written as "?", never as a look-alike.
std::string ansiText(std::string_view text) {
  if (rt::isAscii(text)) return std::string(text);
  std::wstring wide;
  rt::appendUnits(text, wide);
  const UINT codePage = fileCodePage();
  const bool utf8 = codePage == CP_UTF8;  // has no look-alikes, and takes neither flag nor default character
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int size = static_cast<int>(wide.size());
  std::string ansi(static_cast<std::size_t>(WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0,
                                                                utf8 ? nullptr : "?", nullptr)),
                   '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), size, ansi.data(), static_cast<int>(ansi.size()),
                      utf8 ? nullptr : "?", nullptr);
  return ansi;
}

}  // namespace

bool TextFiles::IsOpen(int number) const {
  return number >= 1 && number <= kLast && handles_[static_cast<std::size_t>(number)] != nullptr;
}

void TextFiles::Open(int number, const std::string& path, Mode mode) {
  if (number < 1 || number > kLast) rt::raise(rt::errBadFileNameOrNumber);
  if (IsOpen(number)) rt::raise(rt::errFileAlreadyOpen);
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD error = ERROR_SUCCESS;
  if (mode == Mode::Append) {
    error = openLog(path, file);
  } else {
    std::wstring wide;
    if (widePath(path, wide))
      file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) error = GetLastError();
  }
  if (error) raiseOpenError(error);
  handles_[static_cast<std::size_t>(number)] = file;
}

// Tried for real: a log this account may only read (an elevated run's, in
// the all-users folder), cannot make, or that another program holds, is no
// place for this run's lines, and the next folder is.
bool TextFiles::Appendable(const std::string& path) {
  HANDLE file = INVALID_HANDLE_VALUE;
  if (openLog(path, file)) return false;
  CloseHandle(file);
  return true;
}

void TextFiles::WriteLine(int number, std::string_view text) {
  if (!IsOpen(number)) rt::raise(rt::errBadFileNameOrNumber);
  // One call per line, nothing held back: a process killed mid-run keeps every line written so far.
  std::string line = ansiText(text);
  line += "\r\n";
  DWORD written = 0;
  if (!WriteFile(handles_[static_cast<std::size_t>(number)], line.data(), static_cast<DWORD>(line.size()), &written,
                 nullptr) ||
      written != line.size())
    rt::raise(rt::errPathFileAccess);
}

void TextFiles::Close(int number) {
  if (!IsOpen(number)) return;
  auto& handle = handles_[static_cast<std::size_t>(number)];
  CloseHandle(handle);
  handle = nullptr;
}

void TextFiles::CloseAll() {
  for (int n = 1; n <= kLast; ++n) Close(n);
}

}  // namespace win32

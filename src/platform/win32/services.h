#pragma once
// The Win32 services behind the platform seam. This header stays free of
// <windows.h> so the tests of the adapters can use them through the seam alone.
#include <array>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace win32 {

class FileSystem final : public platform::FileSystem {
 public:
  platform::SearchHandle FindFirstFileA(const std::string& pattern, platform::FindData& data) override;
  bool FindNextFileA(platform::SearchHandle search, platform::FindData& data) override;
  bool FindClose(platform::SearchHandle search) override;
  uint32_t GetFileAttributesA(const std::string& path) override;
  void Kill(const std::string& path, const std::string& spared) override;
  void MkDir(const std::string& path) override;
  void BeginKeeping(const std::string& installFolder) override;
  std::vector<platform::KeptFile> KeptFiles(const std::string& installFolder, bool latestRun) override;
  void Restore(const platform::KeptFile& file) override;
  bool KeepsForAdministrators() override;

 private:
  // The run-time error for a system error code, as every failed deletion has it.
  static void raiseFor(unsigned long error);
};

class TextFiles final : public platform::TextFiles {
 public:
  bool IsOpen(int number) const override;
  void Open(int number, const std::string& path, Mode mode) override;
  bool Appendable(const std::string& path) override;
  void WriteLine(int number, std::string_view text) override;
  void Close(int number) override;
  void CloseAll() override;

 private:
  static constexpr int kLast = 511;
  std::array<void*, kLast + 1> handles_{};  // HANDLE by file number, null while closed
};

class Process final : public platform::Process {
 public:
  std::string CommandLine() override;
  std::string AppPath() override;
  std::string AppTitle() override;
  rt::DateTime Now() override;
  std::string ShortDate(const rt::DateTime& when) override;
  std::string LongTime(const rt::DateTime& when) override;
  std::string UCase(std::string_view text) override;
  [[noreturn]] void Exit(int exitCode) override;
};

class Desktop final : public platform::Desktop {
 public:
  int MsgBox(const std::string& prompt, int flags, const std::string& title) override;
  void DoEvents() override;
  void AnswerWaiting() override;
  void EnterBusyLoop() override;
  void LeaveBusyLoop() override;
  void SetMousePointer(int pointer) override;
};

class Libraries final : public platform::Libraries {
 public:
  platform::ModuleHandle GetModuleHandleA(const std::string& name) override;
  platform::ModuleHandle LoadLibraryA(const std::string& name) override;
  platform::ProcAddress GetProcAddress(platform::ModuleHandle module, const std::string& procName) override;
  bool FreeLibrary(platform::ModuleHandle module) override;
};

class SpecialFolders final : public platform::SpecialFolders {
 public:
  SpecialFolders() = default;
  SpecialFolders(const SpecialFolders&) = delete;
  SpecialFolders& operator=(const SpecialFolders&) = delete;
  ~SpecialFolders() override;  // lets go of "shfolder" if the query was bound

  platform::HResult SHGetFolderPathA(intptr_t owner, int32_t folder, intptr_t token, uint32_t flags,
                                     char* path) override;
  platform::HResult SHGetSpecialFolderLocation(intptr_t owner, int32_t folder, platform::ItemIdList& pidl) override;
  bool SHGetPathFromIDListA(platform::ItemIdList pidl, char* path) override;
  void CoTaskMemFree(platform::ItemIdList pidl) override;
  uint32_t GetSystemDirectoryA(char* buffer, uint32_t size) override;
  uint32_t GetTempPathA(uint32_t size, char* buffer) override;
  uint32_t GetWindowsDirectoryA(char* buffer, uint32_t size) override;

 private:
  void* shfolder_ = nullptr;        // HMODULE, once the folder-path query is bound
  void (*folderPath_)() = nullptr;  // the bound SHGetFolderPathA
};

// What follows the program's name in a full command line: a quoted name ends
// at its closing quote, an unquoted one at the first blank or tab; the blanks
// and tabs after it go too, the rest stays as given.
std::string commandLineArguments(std::string_view commandLine);

}  // namespace win32

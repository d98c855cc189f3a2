#pragma once
// Doubles of the library loader and the shell's special folders, with Windows
// semantics: reference-counted libraries, the folder-path query bound through
// the loader at its first call, item identifiers that must be released once.
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fakes {

class MemoryFileSystem;

class FakeLibraries final : public platform::Libraries {
 public:
  // Starts with "shfolder" exporting SHGetFolderPathA, as on any current Windows.
  FakeLibraries();
  // A library the loader can find, offering `exports`; replaces an earlier one.
  void provide(const std::string& name, std::set<std::string> exports);
  void remove(const std::string& name) { libraries_.erase(key(name)); }
  // Loaded by someone else before the program looks (one reference).
  void preload(const std::string& name);
  int references(const std::string& name) const;

  int loads = 0;  // LoadLibraryA calls that loaded something
  int frees = 0;  // FreeLibrary calls that released something

  platform::ModuleHandle GetModuleHandleA(const std::string& name) override;
  platform::ModuleHandle LoadLibraryA(const std::string& name) override;
  platform::ProcAddress GetProcAddress(platform::ModuleHandle module, const std::string& procName) override;
  bool FreeLibrary(platform::ModuleHandle module) override;

 private:
  struct Library {
    std::set<std::string> exports;
    platform::ModuleHandle handle = 0;
    int references = 0;
  };
  static std::string key(const std::string& name);  // lower case, ".dll" when no extension is given
  Library* loaded(platform::ModuleHandle module);

  std::map<std::string, Library> libraries_;
  platform::ModuleHandle nextHandle_ = 0x10000000;
};

class FakeSpecialFolders final : public platform::SpecialFolders {
 public:
  // Knows 0 and 17 (virtual), 26, 35, 36 and 37; folders exist as far as `fs` has them.
  FakeSpecialFolders(FakeLibraries& libraries, MemoryFileSystem& fs);
  // A folder number the shell knows; an empty path is a virtual folder with no place on disk.
  void define(int32_t csidl, std::string path) { folders_[csidl] = std::move(path); }
  // SHGetSpecialFolderLocation answers `code` for this number.
  void failLocation(int32_t csidl, platform::HResult code) { locationFailures_[csidl] = code; }
  bool folderPathBound() const { return shfolder_ != 0; }

  std::string systemDirectory = "C:\\Windows\\system32";
  std::string tempPath = "C:\\Users\\user\\Temp\\";
  std::string windowsDirectory = "C:\\Windows";

  struct FolderPathCall {
    int32_t folder;
    uint32_t flags;
  };
  std::vector<FolderPathCall> folderPathCalls;  // SHGetFolderPathA, in order
  std::vector<int32_t> locationCalls;           // SHGetSpecialFolderLocation, in order
  std::vector<platform::ItemIdList> handedOut, released;
  // Runs at the start of every call: a test's way to raise a run-time error in the caller.
  std::function<void()> onCall;

  platform::HResult SHGetFolderPathA(intptr_t owner, int32_t folder, intptr_t token, uint32_t flags,
                                     char* path) override;
  platform::HResult SHGetSpecialFolderLocation(intptr_t owner, int32_t folder, platform::ItemIdList& pidl) override;
  bool SHGetPathFromIDListA(platform::ItemIdList pidl, char* path) override;
  void CoTaskMemFree(platform::ItemIdList pidl) override;
  uint32_t GetSystemDirectoryA(char* buffer, uint32_t size) override;
  uint32_t GetTempPathA(uint32_t size, char* buffer) override;
  uint32_t GetWindowsDirectoryA(char* buffer, uint32_t size) override;

 private:
  void called() {
    if (onCall) onCall();
  }

  FakeLibraries& libraries_;
  MemoryFileSystem& fs_;
  std::map<int32_t, std::string> folders_;
  std::map<int32_t, platform::HResult> locationFailures_;
  std::map<platform::ItemIdList, int32_t> outstanding_;  // identifier -> folder number
  platform::ItemIdList nextPidl_ = 0x5000;
  platform::ModuleHandle shfolder_ = 0;  // held from the binding on
};

}  // namespace fakes

#include "support/fake_shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "support/fakes.h"

namespace fakes {
namespace {

constexpr platform::HResult kEFail = static_cast<platform::HResult>(0x80004005u);
constexpr platform::HResult kModuleNotFound = static_cast<platform::HResult>(0x8007007Eu);
constexpr platform::HResult kProcNotFound = static_cast<platform::HResult>(0x8007007Fu);

void write(const std::string& text, char* path) {
  EXPECT_LT(text.size(), static_cast<std::size_t>(platform::kMaxPath)) << "a path longer than the buffer";
  std::memcpy(path, text.c_str(), text.size() + 1);
}

// How the kernel's directory queries answer a buffer of `size` characters.
uint32_t directoryAnswer(const std::string& text, char* buffer, uint32_t size) {
  if (text.empty()) return 0;
  const auto needed = static_cast<uint32_t>(text.size() + 1);
  if (needed > size) return needed;
  std::memcpy(buffer, text.c_str(), needed);
  return needed - 1;
}

}  // namespace

FakeLibraries::FakeLibraries() { provide("shfolder", {"SHGetFolderPathA"}); }

std::string FakeLibraries::key(const std::string& name) {
  std::string k = name;
  std::transform(k.begin(), k.end(), k.begin(), [](unsigned char c) { return std::tolower(c); });
  if (k.find('.') == std::string::npos) k += ".dll";
  return k;
}

void FakeLibraries::provide(const std::string& name, std::set<std::string> exports) {
  auto& library = libraries_[key(name)];
  library.exports = std::move(exports);
  if (!library.handle) library.handle = (nextHandle_ += 0x10000);
}

void FakeLibraries::preload(const std::string& name) {
  auto it = libraries_.find(key(name));
  ASSERT_NE(it, libraries_.end()) << name << " is not provided";
  ++it->second.references;
}

int FakeLibraries::references(const std::string& name) const {
  auto it = libraries_.find(key(name));
  return it == libraries_.end() ? 0 : it->second.references;
}

FakeLibraries::Library* FakeLibraries::loaded(platform::ModuleHandle module) {
  for (auto& [name, library] : libraries_)
    if (library.handle == module && library.references > 0) return &library;
  return nullptr;
}

platform::ModuleHandle FakeLibraries::GetModuleHandleA(const std::string& name) {
  auto it = libraries_.find(key(name));
  return it != libraries_.end() && it->second.references > 0 ? it->second.handle : 0;
}

platform::ModuleHandle FakeLibraries::LoadLibraryA(const std::string& name) {
  auto it = libraries_.find(key(name));
  if (it == libraries_.end()) return 0;
  ++loads;
  ++it->second.references;
  return it->second.handle;
}

platform::ProcAddress FakeLibraries::GetProcAddress(platform::ModuleHandle module, const std::string& procName) {
  Library* library = loaded(module);
  if (!library || !library->exports.count(procName)) return 0;
  return module + 0x100;
}

bool FakeLibraries::FreeLibrary(platform::ModuleHandle module) {
  Library* library = loaded(module);
  if (!library) return false;
  ++frees;
  --library->references;
  return true;
}

FakeSpecialFolders::FakeSpecialFolders(FakeLibraries& libraries, MemoryFileSystem& fs)
    : libraries_(libraries), fs_(fs) {
  define(0, "");
  define(17, "");
  define(26, "C:\\Users\\user\\AppData\\Roaming");
  define(35, "C:\\ProgramData");
  define(36, "C:\\Windows");
  define(37, "C:\\Windows\\system32");
}

platform::HResult FakeSpecialFolders::SHGetFolderPathA(intptr_t, int32_t folder, intptr_t, uint32_t flags, char* path) {
  called();
  if (!shfolder_) {
    const auto library = libraries_.LoadLibraryA("shfolder");
    if (!library) return kModuleNotFound;
    if (!libraries_.GetProcAddress(library, "SHGetFolderPathA")) {
      libraries_.FreeLibrary(library);
      return kProcNotFound;
    }
    shfolder_ = library;
  }
  folderPathCalls.push_back({folder, flags});
  auto it = folders_.find(folder & ~platform::kCsidlFlagCreate);
  if (it == folders_.end()) return platform::kEInvalidArg;
  if (it->second.empty()) return kEFail;
  if (!fs_.exists(it->second)) {
    if (!(folder & platform::kCsidlFlagCreate)) return platform::kSFalse;
    fs_.addFolder(it->second);
  }
  write(it->second, path);
  return platform::kSOk;
}

platform::HResult FakeSpecialFolders::SHGetSpecialFolderLocation(intptr_t, int32_t folder, platform::ItemIdList& pidl) {
  called();
  locationCalls.push_back(folder);
  if (auto failure = locationFailures_.find(folder); failure != locationFailures_.end()) return failure->second;
  if (!folders_.count(folder)) return platform::kEInvalidArg;
  pidl = nextPidl_++;
  outstanding_[pidl] = folder;
  handedOut.push_back(pidl);
  return platform::kSOk;
}

bool FakeSpecialFolders::SHGetPathFromIDListA(platform::ItemIdList pidl, char* path) {
  called();
  auto it = outstanding_.find(pidl);
  if (it == outstanding_.end()) {
    ADD_FAILURE() << "an item identifier used that the shell did not hand out or that was released";
    return false;
  }
  const std::string& folder = folders_.at(it->second);
  if (folder.empty()) return false;
  write(folder, path);
  return true;
}

void FakeSpecialFolders::CoTaskMemFree(platform::ItemIdList pidl) {
  called();
  outstanding_.erase(pidl);
  released.push_back(pidl);
}

uint32_t FakeSpecialFolders::GetSystemDirectoryA(char* buffer, uint32_t size) {
  called();
  return directoryAnswer(systemDirectory, buffer, size);
}

uint32_t FakeSpecialFolders::GetTempPathA(uint32_t size, char* buffer) {
  called();
  return directoryAnswer(tempPath, buffer, size);
}

uint32_t FakeSpecialFolders::GetWindowsDirectoryA(char* buffer, uint32_t size) {
  called();
  return directoryAnswer(windowsDirectory, buffer, size);
}

}  // namespace fakes

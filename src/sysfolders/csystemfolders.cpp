#include "sysfolders/csystemfolders.h"

#include "guard/guard.h"
#include "platform/platform.h"

namespace {

constexpr const char* kModule = "CSystemFolders";
constexpr std::size_t kBufferSize = platform::kMaxPath;

// Handles and identifiers are reported in the 32-bit form the report has room for.
rt::int32 reported(intptr_t handle) { return static_cast<int32_t>(handle); }

}  // namespace

CSystemFolders::CSystemFolders() {
  guard::Guarded g{kModule, "Class_Initialize", guard::noParameters(), guard::noLocals(),
                   [this] { DumpModuleVariables(); }};
  g.body([&] { g(100, [&] { m_Enhanced = Exported("shfolder", "SHGetFolderPathA"); }); });
}

void CSystemFolders::DumpModuleVariables() const {
  guard::slots().GuardModuleVars = guard::dump("m_Enhanced", m_Enhanced);
}

bool CSystemFolders::Enhanced() const {
  bool result = false;
  guard::Guarded g{kModule, "Enhanced[Property Get]", guard::noParameters(), guard::noLocals(),
                   [this] { DumpModuleVariables(); }};
  g.body([&] { g(100, [&] { result = m_Enhanced; }); });
  return result;
}

bool CSystemFolders::Exists(int32_t CSIDL) const {
  bool result = false;
  std::string Buffer;
  auto& shell = platform::specialFolders();
  guard::Guarded g{kModule, "Exists[Property Get]", [&] { return guard::dump("CSIDL", rt::int32(CSIDL)); },
                   [&] { return guard::dump("Buffer", Buffer); }, [this] { DumpModuleVariables(); }};
  g.body([&] {
    g(100, [&] { Buffer.assign(kBufferSize, ' '); });
    if (m_Enhanced) {
      // The current path, and no create flag of ours: asking must not create the folder.
      g(101, [&] {
        result = shell.SHGetFolderPathA(0, CSIDL, 0, platform::kShgfpTypeCurrent, Buffer.data()) == platform::kSOk;
      });
    } else {
      g(102, [&] { result = IsDirectory(Path(CSIDL)); });
    }
  });
  return result;
}

std::string CSystemFolders::Path(int32_t CSIDL, const bool& Default, const bool& ForceCreation) const {
  std::string result;
  std::string Buffer;
  platform::ItemIdList pidl = 0;
  platform::HResult nRtn = 0;
  auto& shell = platform::specialFolders();
  guard::Guarded g{
      kModule, "Path[Property Get]",
      [&] { return guard::dump("CSIDL", rt::int32(CSIDL), "Default", Default, "ForceCreation", ForceCreation); },
      [&] { return guard::dump("Buffer", Buffer, "pidl", reported(pidl), "nRtn", rt::int32(nRtn)); },
      [this] { DumpModuleVariables(); }};
  g.body([&] {
    g(100, [&] { Buffer.assign(kBufferSize, ' '); });
    if (m_Enhanced) {
      if (ForceCreation) g(101, [&] { CSIDL |= platform::kCsidlFlagCreate; });
      // A query skipped after an error has no answer to read, whatever nRtn still holds.
      const bool asked = g(102, [&] {
        nRtn = shell.SHGetFolderPathA(0, CSIDL, 0, Default ? platform::kShgfpTypeDefault : platform::kShgfpTypeCurrent,
                                      Buffer.data());
      });
      if (asked && nRtn == platform::kSOk) g(103, [&] { result = TrimNull(Buffer); });
    } else {
      const bool asked = g(104, [&] { nRtn = shell.SHGetSpecialFolderLocation(0, CSIDL, pidl); });
      // Only a successful answer hands out an identifier to release.
      if (asked && nRtn == platform::kSOk && pidl != 0) {
        g(105, [&] {
          if (shell.SHGetPathFromIDListA(pidl, Buffer.data())) result = TrimNull(Buffer);
        });
        g(106, [&] { shell.CoTaskMemFree(pidl); });
      }
    }
  });
  return result;
}

template <class Query>
std::string CSystemFolders::directory(const char* procedure, Query query) const {
  std::string result;
  std::string Buffer;
  uint32_t nRet = 0;
  guard::Guarded g{kModule, procedure, guard::noParameters(),
                   [&] { return guard::dump("Buffer", Buffer, "nRet", rt::int32(static_cast<int32_t>(nRet))); },
                   [this] { DumpModuleVariables(); }};
  g.body([&] {
    g(100, [&] { Buffer.assign(kBufferSize, '\0'); });
    const bool asked = g(101, [&] { nRet = query(Buffer.data(), static_cast<uint32_t>(kBufferSize)); });
    // A larger answer is the size the path would need: nothing was written.
    if (asked && nRet != 0 && nRet <= kBufferSize) g(102, [&] { result = Buffer.substr(0, nRet); });
  });
  return result;
}

std::string CSystemFolders::SysDir() const {
  return directory("SysDir[Property Get]", [](char* buffer, uint32_t size) {
    return platform::specialFolders().GetSystemDirectoryA(buffer, size);
  });
}

std::string CSystemFolders::TmpDir() const {
  return directory("TmpDir[Property Get]",
                   [](char* buffer, uint32_t size) { return platform::specialFolders().GetTempPathA(size, buffer); });
}

std::string CSystemFolders::WinDir() const {
  return directory("WinDir[Property Get]", [](char* buffer, uint32_t size) {
    return platform::specialFolders().GetWindowsDirectoryA(buffer, size);
  });
}

std::string CSystemFolders::TrimNull(std::string StrZ) const {
  std::string result;
  guard::Guarded g{kModule, "TrimNull", [&] { return guard::dump("StrZ", StrZ); }, guard::noLocals(),
                   [this] { DumpModuleVariables(); }};
  g.body([&] { g(100, [&] { result = StrZ.substr(0, (StrZ + '\0').find('\0')); }); });
  return result;
}

bool CSystemFolders::Exported(std::string ModuleName, std::string ProcName) const {
  bool result = false;
  platform::ModuleHandle hModule = 0;
  platform::ProcAddress lpProc = 0;
  bool FreeLib = false;
  auto& loader = platform::libraries();
  guard::Guarded g{
      kModule, "Exported", [&] { return guard::dump("ModuleName", ModuleName, "ProcName", ProcName); },
      [&] { return guard::dump("hModule", reported(hModule), "lpProc", reported(lpProc), "FreeLib", FreeLib); },
      [this] { DumpModuleVariables(); }};
  g.body([&] {
    // A library someone else loaded is used as it is and left loaded.
    g(100, [&] { hModule = loader.GetModuleHandleA(ModuleName); });
    if (hModule == 0) {
      g(101, [&] { hModule = loader.LoadLibraryA(ModuleName); });
      g(102, [&] { FreeLib = hModule != 0; });
    }
    if (hModule != 0) {
      g(103, [&] { lpProc = loader.GetProcAddress(hModule, ProcName); });
      g(104, [&] { result = lpProc != 0; });
    }
    if (FreeLib) g(105, [&] { loader.FreeLibrary(hModule); });
  });
  return result;
}

bool CSystemFolders::IsDirectory(std::string PathSpec) const {
  // Not guarded: a path that cannot be examined is simply no directory, never a report.
  try {
    const uint32_t attributes = platform::fileSystem().GetFileAttributesA(PathSpec);
    // All bits set is the query's failure answer, not a folder.
    return attributes != platform::kInvalidAttributes && (attributes & platform::kAttrDirectory) != 0;
  } catch (const rt::RuntimeError&) {
    return false;
  }
}

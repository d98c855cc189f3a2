#pragma once
// Where the system's numbered special folders lie. Prefers the folder-path
// query of the "shfolder" library and falls back to the shell's item
// identifiers on systems that lack it.
#include <cstdint>
#include <string>

namespace sysfolders {

// The all-users application-data folder.
constexpr int32_t CSIDL_COMMON_APPDATA = 0x23;
// The account's own application-data folder that stays on this computer.
constexpr int32_t CSIDL_LOCAL_APPDATA = 0x1C;

}  // namespace sysfolders

class CSystemFolders {
 public:
  // Probes once for the folder-path query; the instance keeps that answer.
  CSystemFolders();

  // True when "shfolder" exports SHGetFolderPathA.
  bool Enhanced() const;
  // True when the special folder exists; never creates it.
  bool Exists(int32_t CSIDL) const;
  // The folder's full path, empty when it cannot be resolved. Default asks for
  // the default rather than the current path, ForceCreation creates the folder;
  // the fallback route ignores both.
  std::string Path(int32_t CSIDL, const bool& Default = true, const bool& ForceCreation = false) const;
  std::string SysDir() const;  // without a trailing backslash
  std::string TmpDir() const;  // with the trailing backslash the system gives it
  std::string WinDir() const;  // without a trailing backslash
  // One line of text on where such a folder lies and for whom; "{unknown constant}" otherwise.
  std::string Description(int32_t CSIDL) const;
  // StrZ up to its first NUL.
  std::string TrimNull(std::string StrZ) const;

 private:
  bool Exported(std::string ModuleName, std::string ProcName) const;
  bool IsDirectory(std::string PathSpec) const;
  // The handler's dump of this object's field.
  void DumpModuleVariables() const;
  template <class Query>
  std::string directory(const char* procedure, Query query) const;

  bool m_Enhanced = false;
};

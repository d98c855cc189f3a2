#pragma once
// The program runs with Setup's rights, and the folders it deletes in or
// writes its log to may belong to anyone. A path checked for links and then
// used by name can be swapped in between (a folder renamed and a junction put
// in its place), and the act would land wherever the link leads. So the
// check and the act are one: each folder from the drive's root down is opened
// without following a link and held for listing without delete sharing, so
// that on Windows it can be neither renamed nor replaced while the entry
// itself is opened and used through its handle. A folder that is a link, or
// any handle that is not where the path says, refuses the whole path: that
// check is what holds under Wine, which follows links even when asked not to
// and lets held folders be renamed, and on Windows it catches an empty folder
// made a mount point, which no hold prevents.
#include <windows.h>

#include <string>
#include <vector>

namespace win32 {

// What a refusal looks like to callers: the code an access the system denies gives.
constexpr DWORD kRefused = ERROR_ACCESS_DENIED;

class HeldPath {
 public:
  HeldPath() = default;
  HeldPath(const HeldPath&) = delete;
  HeldPath& operator=(const HeldPath&) = delete;
  ~HeldPath();

  // Holds every folder of the ANSI `path` ("X:\..." or "\\server\share\...")
  // below its root. ERROR_SUCCESS, the system's error, or kRefused. With
  // `trustedOwners`, the innermost folder and then the entry must also be
  // owned by the administrators, the system account or this run's account.
  DWORD holdFolders(const std::string& path, bool trustedOwners = false);
  // The same for a path already in UTF-16 (read back from a kept files' list).
  DWORD holdFolders(std::wstring path, bool trustedOwners = false);
  // Then opens the entry itself as CreateFileW would, without following a
  // link, and checks it: no link, and where the path says. ERROR_SUCCESS with
  // the handle (the caller's to close), the system's error, or kRefused (a
  // file CREATE_NEW made is then deleted again).
  DWORD openEntry(DWORD access, DWORD share, DWORD disposition, HANDLE& entry);
  // Or makes the entry a new folder, checked as an entry is.
  DWORD makeFolder();
  // The same for an existing folder, checked alike: no link, and where the path says.
  DWORD openFolder(DWORD access, DWORD share, HANDLE& entry);

 private:
  // The entry's handle is no link, a folder or not as asked, where the path says and owned as asked.
  bool checked(HANDLE entry, bool folder) const;

  std::wstring path_, expected_;  // as given; where it must lead
  std::vector<HANDLE> folders_;
  bool trustedOwners_ = false;
};

// The code page the ANSI file functions use.
UINT fileCodePage();
// The wide form of an ANSI path, as the ANSI file functions make it: they
// take MAX_PATH characters and a NUL, and a longer path fails (false, with
// the last error set), so the depth of a search stays bounded.
bool widePath(const std::string& path, std::wstring& wide);
// Where a handle really is, as "\\?\X:\..." (or "\\?\UNC\..."); empty when unknown.
std::wstring finalPath(HANDLE handle);
// `a` and `b` name the same place, letter case aside.
bool samePath(const std::wstring& a, const std::wstring& b);
// Whether the file behind `entry` lies inside `folder`, wherever each really
// is; also true when the folder is there but cannot be opened.
bool liesInside(HANDLE entry, const std::wstring& folder);
// Deletes the file behind `entry` (opened with DELETE access) when it is closed.
bool deleteThrough(HANDLE entry);
// Whether the handle's file has more names than one (hard links).
bool hasOtherNames(HANDLE entry);

}  // namespace win32

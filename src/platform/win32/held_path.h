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
#include <string_view>
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

  // Holds every folder of `path` ("X:\..." or "\\server\share\...", the
  // program's WTF-8) below its root. ERROR_SUCCESS, the system's error, or kRefused. With
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
  // Where a handle opened through this path really is; empty when unknown.
  std::wstring where(HANDLE handle) const;

 private:
  // The entry's handle is no link, a folder or not as asked, where the path says and owned as asked.
  bool checked(HANDLE entry, bool folder) const;

  std::wstring path_, expected_;  // as given; where it must lead
  std::wstring volume_;           // the held root's final path before its name within the volume
  std::vector<HANDLE> folders_;
  bool trustedOwners_ = false;
};

// The code page of the ANSI file functions, which the log has always been written in.
UINT fileCodePage();
// The one way from the program's WTF-8 to the system's UTF-16 for a path: a
// path of MAX_PATH characters or more becomes a full path in the long form
// ("\\?\X:\..." or "\\?\UNC\..."), so that any depth is reached without the
// system's long-path switch; false, with the last error set, when it cannot.
bool widePath(const std::string& path, std::wstring& wide);
// And back: the program's WTF-8 of any UTF-16, unpaired surrogates included.
std::string narrowText(std::wstring_view wide);
// A text that is no path (a caption, a list item, a message), as the W functions take it.
std::wstring wideText(std::string_view text);
// Where a handle really is, as "\\?\X:\..." (or "\\?\UNC\..."); empty when unknown.
std::wstring finalPath(HANDLE handle);
// `a` and `b` name the same place, letter case aside.
bool samePath(const std::wstring& a, const std::wstring& b);
// Whether the file really at `path` (HeldPath::where) lies inside `folder`,
// wherever that really is; also true when the folder is there but cannot be
// opened, or either place cannot be told.
bool liesInside(const std::wstring& path, const std::wstring& folder);
// Deletes the file behind `entry` (opened with DELETE access) when it is closed.
bool deleteThrough(HANDLE entry);
// Whether the handle's file has more names than one (hard links).
bool hasOtherNames(HANDLE entry);

}  // namespace win32

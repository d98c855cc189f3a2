#pragma once
// The seam between the program and the operating system. Each interface keeps
// the shape and failure behaviour of the Win32 functions it stands for, so the
// Win32 adapters stay thin and the test doubles can mimic Windows exactly.
// Every text crossing it is the program's WTF-8 (runtime/wtf8.h), whatever an
// "A" in a name says: a path of any name and any depth.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/datetime.h"

namespace platform {

constexpr int kMaxPath = 260;
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;
constexpr uint32_t kAttrReadOnly = 0x1;
constexpr uint32_t kAttrSystem = 0x4;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrReparsePoint = 0x400;
// A reparse tag with this bit stands for another name (junction, mount point, symbolic link).
constexpr uint32_t kReparseTagNameSurrogate = 0x20000000;

using SearchHandle = intptr_t;
constexpr SearchHandle kInvalidSearchHandle = -1;

// A name of MAX_PATH 16-bit units at most takes up to three bytes a unit in WTF-8.
constexpr int kMaxName = 3 * kMaxPath;

// The part of WIN32_FIND_DATA the program reads: the name field holds the
// name in the program's WTF-8, ended by NUL.
struct FindData {
  uint32_t dwFileAttributes = 0;
  uint32_t dwReserved0 = 0;  // the reparse tag, where the attributes have the reparse bit
  char cFileName[kMaxName] = {};
};

// A file the cleanup deleted and keeps: its run, its copy's name there, and its list line's fields.
struct KeptFile {
  std::string run, kept, removed, path, security;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // kInvalidSearchHandle when the folder cannot be enumerated or nothing matches.
  virtual SearchHandle FindFirstFileA(const std::string& pattern, FindData& data) = 0;
  virtual bool FindNextFileA(SearchHandle search, FindData& data) = 0;
  virtual bool FindClose(SearchHandle search) = 0;
  // kInvalidAttributes (all bits set) when the path cannot be examined.
  virtual uint32_t GetFileAttributesA(const std::string& path) = 0;
  // Deletes exactly this file; raises 53 (gone), 70 (in use) or 75 (read-only,
  // a folder, access denied) when it cannot. Also 75, and nothing deleted,
  // when a folder of the path below the drive's root or the file itself is a
  // link, a junction or a mount point, or when the file really lies inside
  // the folder `spared` (none when empty), however the path spells it.
  // What it deletes it keeps first, in a folder only this run's kind of
  // account reaches (README: "Where deleted files are kept"); what it cannot
  // keep whole it does not delete.
  virtual void Kill(const std::string& path, const std::string& spared) = 0;
  // Makes the folder `path` (its parent must exist); raises 75 when it cannot,
  // or when the folder made is not where the path says (a link on the way).
  virtual void MkDir(const std::string& path) = 0;
  // A cleanup run begins here, before its
  // first deletion: it drops the kept runs older than 30 days and opens its
  // own, so that a run that keeps nothing still counts as the latest. Any
  // failure shows at the deletions.
  virtual void BeginKeeping(const std::string& installFolder) = 0;
  // The files still kept: of the latest run, the latest run for
  // `installFolder` when it is not empty (`latestRun`), or of every run, newest first.
  virtual std::vector<KeptFile> KeptFiles(const std::string& installFolder, bool latestRun) = 0;
  // Puts a kept file back where it was, and keeps it no longer. Raises 58
  // (a file is there now), 53 (no longer kept), 76 (a folder on the way is
  // gone) or 75 (refused: a folder on the way is a link, or the file is not
  // one of the program's).
  virtual void Restore(const KeptFile& file) = 0;
  // Whether this run keeps (and finds) files as the administrators' runs do.
  virtual bool KeepsForAdministrators() = 0;
};

// Text files by file number, 1 to 511. Every line written reaches the
// operating system before WriteLine returns.
class TextFiles {
 public:
  enum class Mode { Input, Append };
  virtual ~TextFiles() = default;
  virtual bool IsOpen(int number) const = 0;
  // Raises 52 (bad number), 55 (number in use), 53, 70, 75 or 76. Appending
  // refuses (75) where Appendable would say false.
  virtual void Open(int number, const std::string& path, Mode mode) = 0;
  // Whether lines can really be appended to `path`, there and nowhere else:
  // the file opens for appending, or is made where there is none (and then
  // stays); no folder of it below the drive's root is a link, a junction or
  // a mount point; the file is no link, has no other name, and no other
  // program holds it against writing. A run with the administrators' rights
  // also wants the folder and the file owned by the administrators, the
  // system account or itself: any user may make them first in a folder all
  // may write to.
  virtual bool Appendable(const std::string& path) = 0;
  // Writes text + CR LF in the ANSI code page, "?" for a character it lacks;
  // raises 52 when the number is not open, 75 when the write fails.
  virtual void WriteLine(int number, std::string_view text) = 0;
  // Closing a number that is not open does nothing.
  virtual void Close(int number) = 0;
  virtual void CloseAll() = 0;
};

class Process {
 public:
  virtual ~Process() = default;
  // The command line after the program's own name and the blanks after it.
  virtual std::string CommandLine() = 0;
  // Folder of the executable, without a trailing "\" except at a drive's root.
  virtual std::string AppPath() = 0;
  virtual std::string AppTitle() = 0;
  virtual rt::DateTime Now() = 0;
  virtual std::string ShortDate(const rt::DateTime& when) = 0;
  virtual std::string LongTime(const rt::DateTime& when) = 0;
  // Upper case as the file system compares names: ordinal, one unit for one,
  // every script, nothing mapped to a look-alike.
  virtual std::string UCase(std::string_view text) = 0;
  // Stops the process at once; windows go without their unload procedures.
  [[noreturn]] virtual void Exit(int exitCode) = 0;
};

// Message boxes, the message pump and the mouse pointer.
class Desktop {
 public:
  virtual ~Desktop() = default;
  // Flags and answers are those of the Windows MessageBox function.
  virtual int MsgBox(const std::string& prompt, int flags, const std::string& title) = 0;
  // Lets the window system process the messages waiting for this thread.
  virtual void DoEvents() = 0;
  // Between these two, a loop calls DoEvents at every step of its own: the
  // messages may then wait a few milliseconds, as a look at the queue at every
  // step would cost more than the step. Nested pairs count as one.
  virtual void EnterBusyLoop() {}
  virtual void LeaveBusyLoop() {}
  // Answers only what other programs sent and wait on: no painting, no input.
  // Cheaper than a look at the queue, yet a round trip to the window system.
  virtual void AnswerWaiting() {}
  // 0 default, 11 hourglass.
  virtual void SetMousePointer(int pointer) = 0;
};

// Keeps a busy loop open for as long as it lives, also when an error leaves the loop.
class BusyLoop {
 public:
  explicit BusyLoop(Desktop& desktop) : desktop_(desktop) { desktop_.EnterBusyLoop(); }
  ~BusyLoop() { desktop_.LeaveBusyLoop(); }
  BusyLoop(const BusyLoop&) = delete;
  BusyLoop& operator=(const BusyLoop&) = delete;

 private:
  Desktop& desktop_;
};

// The kernel's library loader. Handles are 0 when there is none.
using ModuleHandle = intptr_t;
using ProcAddress = intptr_t;

class Libraries {
 public:
  virtual ~Libraries() = default;
  // The handle of a library already loaded in the process, 0 when it is not;
  // takes no reference. A name without extension means ".dll".
  virtual ModuleHandle GetModuleHandleA(const std::string& name) = 0;
  // Loads the library from the system folder, never from beside the program
  // (one more reference); 0 when it cannot be loaded.
  virtual ModuleHandle LoadLibraryA(const std::string& name) = 0;
  // 0 when the library does not export `procName`.
  virtual ProcAddress GetProcAddress(ModuleHandle module, const std::string& procName) = 0;
  // Drops one reference taken by LoadLibraryA.
  virtual bool FreeLibrary(ModuleHandle module) = 0;
};

// Shell result codes; anything but kSOk is a failure of some kind.
using HResult = int32_t;
constexpr HResult kSOk = 0;
constexpr HResult kSFalse = 1;  // the folder-path query: a valid folder that does not exist
constexpr HResult kEInvalidArg = static_cast<HResult>(0x80070057u);
constexpr int32_t kCsidlFlagCreate = 0x8000;
constexpr uint32_t kShgfpTypeCurrent = 0, kShgfpTypeDefault = 1;

// An item identifier list the shell hands out; the receiver releases it with CoTaskMemFree.
using ItemIdList = intptr_t;

// Special folders and the system directories. Every `path` buffer holds kMaxPath bytes of WTF-8.
class SpecialFolders {
 public:
  virtual ~SpecialFolders() = default;
  // SHGetFolderPathA of the "shfolder" library, bound at its first call so
  // that a system without the library never loads it. kSOk only when the
  // path has been written NUL-terminated into `path`; a failure code when
  // the library or its export is missing.
  virtual HResult SHGetFolderPathA(intptr_t owner, int32_t folder, intptr_t token, uint32_t flags, char* path) = 0;
  // kSOk with an item identifier the caller must release; kEInvalidArg for an unknown number.
  virtual HResult SHGetSpecialFolderLocation(intptr_t owner, int32_t folder, ItemIdList& pidl) = 0;
  // False for items without a file-system path (virtual folders).
  virtual bool SHGetPathFromIDListA(ItemIdList pidl, char* path) = 0;
  virtual void CoTaskMemFree(ItemIdList pidl) = 0;
  // The length written without its NUL; 0 on failure; when `size` is too
  // small, the size needed (NUL included) and nothing written.
  virtual uint32_t GetSystemDirectoryA(char* buffer, uint32_t size) = 0;
  virtual uint32_t GetTempPathA(uint32_t size, char* buffer) = 0;
  virtual uint32_t GetWindowsDirectoryA(char* buffer, uint32_t size) = 0;
};

struct Services {
  FileSystem* fileSystem = nullptr;
  TextFiles* textFiles = nullptr;
  Process* process = nullptr;
  Desktop* desktop = nullptr;
  Libraries* libraries = nullptr;
  SpecialFolders* specialFolders = nullptr;
};

// The program-wide services; the app installs the Win32 ones, tests their doubles.
void install(const Services& services);
FileSystem& fileSystem();
TextFiles& textFiles();
Process& process();
Desktop& desktop();
Libraries& libraries();
SpecialFolders& specialFolders();

// Lowest file number from `first` to `last` that no open file uses; raises 67 when none is free.
int FreeFile(int first, int last);

// Ends the program: every open file closed, then the process exits.
[[noreturn]] void End(int exitCode);

}  // namespace platform

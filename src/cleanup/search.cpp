#include "cleanup/search.h"

#include <cstring>

#include "guard/guard.h"
#include "platform/platform.h"
#include "runtime/strings.h"
#include "startup/main.h"

namespace module1 {
namespace {

// The name field up to its NUL: the padding behind it would only be cut off again.
std::string nameField(const platform::FindData& data) {
  return std::string(data.cFileName, strnlen(data.cFileName, platform::kMaxPath));
}

// Junctions, symbolic links and mount points lead to folders searched
// elsewhere, or off the drive altogether, and so may any reparse folder whose
// record names no tag (Wine gives its links none). A sync client's placeholder
// carries a tag of another kind: it is the folder itself, and often a whole
// synced Documents or Desktop. An entry whose attributes cannot be read still
// counts as a folder (all bits set).
bool isSearchableFolder(uint32_t attributes, const platform::FindData& record) {
  if (!(attributes & platform::kAttrDirectory)) return false;
  if (attributes == platform::kInvalidAttributes || !(attributes & platform::kAttrReparsePoint)) return true;
  const uint32_t tag = record.dwFileAttributes & platform::kAttrReparsePoint ? record.dwReserved0 : 0;
  return tag != 0 && !(tag & platform::kReparseTagNameSurrogate);
}

// The find record carries the same bits an attribute query by path returns,
// without a lookup and an open per entry. The query is still asked wherever
// its answer could differ, so that such entries are decided as they always
// were: a wildcard in the name (a name the code page cannot hold comes as
// "?") and a path at the ANSI functions' limit make it fail; a device's name
// (CON, AUX, ...) is answered for the device; links are the query's to judge;
// and the system keeps some of its own files (the page file) from it. (A
// Unix pipe seen through Wine also fails the query while its record says
// "file": it is taken for the file it claims to be, no longer entered as a
// folder whose enumerations fail. Nothing is listed differently, and asking
// every file by path for its sake cost a third of the search.)
bool recordDecides(const platform::FindData& record, const std::string& name, std::size_t pathLength) {
  constexpr std::size_t kNearTheLimit = platform::kMaxPath - 8;
  if (pathLength >= kNearTheLimit || name.find_first_of("?*") != std::string::npos) return false;
  if (name.size() >= 3) {
    std::string head = name.substr(0, 3);
    for (char& c : head) c = static_cast<char>(c | 0x20);
    for (const char* device : {"con", "prn", "aux", "nul", "com", "lpt"})
      if (head == device) return false;
  }
  return !(record.dwFileAttributes & (platform::kAttrReparsePoint | platform::kAttrSystem));
}

}  // namespace

void FINDFILESAPI(std::string& Path, const std::string& SEARCHSTR, rt::int16& FileCount, rt::int32& DirCount,
                  ui::Label* pobj_label, ui::Label* pobj_label2, std::vector<std::string>& pstr_files,
                  FolderList* pobj_folders) {
  std::string FILENAME;
  std::string DirName;
  std::vector<std::string> DIRNAMES;
  rt::int16 NDIR = 0;
  rt::int16 i = 0;
  platform::SearchHandle HSEARCH = 0;
  rt::int16 CONT = 0;
  platform::FindData WFD;
  uint32_t attributes = 0;
  auto& fs = platform::fileSystem();
  auto& desktop = platform::desktop();
  // The per-entry message points need not look at the queue each time.
  platform::BusyLoop busy{desktop};
  // Reused for every entry, so that no path is built anew each time.
  std::string entryPath;
  // Unless this folder's search runs to its end, the folders that follow it
  // in the list are not the ones the tree holds there.
  struct Visit {
    FolderList* list;
    bool ended = false;
    ~Visit() {
      if (list && !ended) list->Derail();
    }
  } visit{pobj_folders};

  guard::Guarded g{"module1", "FINDFILESAPI",
                   [&] {
                     return guard::dump("Path", Path, "SEARCHSTR", SEARCHSTR, "FileCount", FileCount, "DirCount",
                                        DirCount, "pobj_label", pobj_label, "pobj_label2", pobj_label2, "pstr_files",
                                        pstr_files, "pobj_folders", pobj_folders);
                   },
                   [&] {
                     return guard::dump("FILENAME", FILENAME, "DirName", DirName, "DIRNAMES", DIRNAMES, "NDIR", NDIR,
                                        "i", i, "HSEARCH", rt::int32(static_cast<int32_t>(HSEARCH)), "CONT", CONT);
                   },
                   DumpModuleVariables};
  g.body([&] {
    g(100, [&] {
      if (Path.empty() || Path.back() != '\\') Path += '\\';
    });
    g(101, [&] { pobj_label2->Caption(Path); });
    g(102, [&] { desktop.DoEvents(); });
    g(103, [&] { NDIR = 0; });
    g(104, [&] { DIRNAMES.assign(1, std::string()); });

    if (pobj_folders && pobj_folders->Replaying()) {
      // The subfolders the search before this one found here, in its order.
      g(105, [&] { CONT = pobj_folders->Next(DirName) ? -1 : 0; });
      while (CONT != 0) {
        g(106, [&] { DIRNAMES[static_cast<std::size_t>(NDIR.value())] = DirName; });
        g(107, [&] { ++DirCount; });
        g(108, [&] { ++NDIR; });
        g(109, [&] { DIRNAMES.resize(static_cast<std::size_t>(NDIR.value()) + 1); });
        g(110, [&] { CONT = pobj_folders->Next(DirName) ? -1 : 0; });
      }
    } else {
      // Subfolder scan: every entry, kept when it is a folder and no link.
      const bool recording = pobj_folders && pobj_folders->Recording();
      g(111, [&] { CONT = -1; });
      g(112, [&] { HSEARCH = fs.FindFirstFileA(Path + "*", WFD); });
      if (HSEARCH != platform::kInvalidSearchHandle) {
        while (CONT != 0) {
          g(113, [&] {
            std::string field = nameField(WFD);
            DirName = STRIPNULLS(field);
          });
          g(114, [&] { desktop.DoEvents(); });
          if (DirName != "." && DirName != "..") {
            g(115, [&] {
              entryPath.assign(Path).append(DirName);
              attributes = recordDecides(WFD, DirName, entryPath.size()) ? WFD.dwFileAttributes
                                                                         : fs.GetFileAttributesA(entryPath);
            });
            if (isSearchableFolder(attributes, WFD)) {
              g(116, [&] {
                DIRNAMES[static_cast<std::size_t>(NDIR.value())] = DirName;
                if (recording) pobj_folders->Add(DirName);
              });
              g(117, [&] { ++DirCount; });
              g(118, [&] { ++NDIR; });
              g(119, [&] { DIRNAMES.resize(static_cast<std::size_t>(NDIR.value()) + 1); });
            }
          }
          g(120, [&] { CONT = fs.FindNextFileA(HSEARCH, WFD) ? -1 : 0; });
        }
        g(121, [&] { fs.FindClose(HSEARCH); });
      }
      g(122, [&] {
        if (recording) pobj_folders->Close(NDIR.value());
      });
    }

    // Pattern scan: names only, attributes are not looked at.
    g(123, [&] { HSEARCH = fs.FindFirstFileA(Path + SEARCHSTR, WFD); });
    g(124, [&] { CONT = -1; });
    if (HSEARCH != platform::kInvalidSearchHandle) {
      do {
        g(125, [&] {
          std::string field = nameField(WFD);
          FILENAME = STRIPNULLS(field);
        });
        if (FILENAME != "." && FILENAME != "..") {
          g(126, [&] { ++FileCount; });
          if (rt::InStr(FILENAME, ".") > 0) {
            g(127, [&] { pobj_label->Caption(Path + FILENAME); });
            g(128, [&] { pstr_files.push_back(Path + FILENAME); });
          }
        }
        g(129, [&] { CONT = fs.FindNextFileA(HSEARCH, WFD) ? -1 : 0; });
        g(130, [&] { desktop.DoEvents(); });
      } while (CONT != 0);
      g(131, [&] { fs.FindClose(HSEARCH); });
    }

    if (NDIR > 0) {
      g.For(132, i, 0, [&] { return NDIR - 1; }, 134, [&] {
        g(133, [&] {
          std::string sub = Path + DIRNAMES.at(static_cast<std::size_t>(i.value())) + "\\";
          FINDFILESAPI(sub, SEARCHSTR, FileCount, DirCount, pobj_label, pobj_label2, pstr_files, pobj_folders);
        });
      });
    }
    visit.ended = true;
  });
}

void FolderList::Record() {
  names_.clear();
  at_ = 0;
  pending_ = 1;
  added_ = 0;
  whole_ = true;
  mode_ = Mode::Record;
}

void FolderList::Replay() {
  at_ = 0;
  mode_ = whole_ && pending_ == 0 ? Mode::Replay : Mode::Off;
}

void FolderList::Add(const std::string& name) {
  names_.append(name).push_back('\0');
  ++added_;
}

void FolderList::Close(int kept) {
  names_.push_back('\0');
  // A folder searched more often than named, or searching other names than it
  // recorded, would put the list out of step.
  if (added_ != kept || pending_ <= 0) whole_ = false;
  pending_ += added_ - 1;
  added_ = 0;
}

bool FolderList::Next(std::string& name) {
  const auto end = names_.find('\0', at_);
  if (end == std::string::npos) {
    Derail();
    return false;
  }
  name.assign(names_, at_, end - at_);
  at_ = end + 1;
  return !name.empty();
}

void FolderList::Derail() {
  if (mode_ == Mode::Record) whole_ = false;
  mode_ = Mode::Off;
}

std::string STRIPNULLS(std::string& ORIGINALSTR) {
  std::string result;
  guard::Guarded g{"module1", "STRIPNULLS", [&] { return guard::dump("ORIGINALSTR", ORIGINALSTR); },
                   guard::noLocals(), DumpModuleVariables};
  g.body([&] {
    g(100, [&] {
      const auto nul = ORIGINALSTR.find('\0');
      if (nul != std::string::npos) ORIGINALSTR.resize(nul);
    });
    g(101, [&] { result = ORIGINALSTR; });
  });
  return result;
}

}  // namespace module1

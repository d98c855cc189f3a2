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
  return std::string(data.cFileName, strnlen(data.cFileName, platform::kMaxName));
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
// were: a wildcard in the name (a name the path could not address comes as
// "?") makes it fail; a device's name (CON, AUX, ...) is answered for the
// device; links are the query's to judge; and the system keeps some of its
// own files (the page file) from it. (A Unix pipe seen through Wine also
// fails the query while its record says "file": it is taken for the file it
// claims to be, no longer entered as a folder whose enumerations fail.
// Nothing is listed differently, and asking every file by path for its sake
// cost a third of the search.)
bool recordDecides(const platform::FindData& record, const std::string& name) {
  if (name.find_first_of("?*") != std::string::npos) return false;
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
  const bool recording = pobj_folders && pobj_folders->Recording();

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
      // Thousands of folders go by here between two looks at the queue: a
      // program that reads the window a message at a time (a screen reader, a
      // UI test) is answered at each folder, so that it can still read whole
      // what the window showed before this search, as it could while this
      // search read the disk.
      desktop.AnswerWaiting();
    } else {
      // Subfolder scan: every entry, kept when it is a folder and no link;
      // recording, the entries named as the list's names are kept too.
      g(111, [&] { CONT = -1; });
      g(112, [&] { HSEARCH = fs.FindFirstFileA(Path + "*", WFD); });
      if (HSEARCH != platform::kInvalidSearchHandle) {
        while (CONT != 0) {
          g(113, [&] {
            std::string field = nameField(WFD);
            DirName = STRIPNULLS(field);
            if (recording && pobj_folders->Keeps(DirName)) pobj_folders->AddMatch(DirName);
          });
          g(114, [&] { desktop.DoEvents(); });
          if (DirName != "." && DirName != "..") {
            g(115, [&] {
              entryPath.assign(Path).append(DirName);
              attributes = recordDecides(WFD, DirName) ? WFD.dwFileAttributes : fs.GetFileAttributesA(entryPath);
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
        if (recording) pobj_folders->Close(NDIR.value(), HSEARCH != platform::kInvalidSearchHandle);
      });
    }

    if (pobj_folders && pobj_folders->Holds(SEARCHSTR)) {
      // The matches an enumeration of this folder met, in its order: what a
      // scan by name finds, as a name without wildcards matches only itself.
      g(123, [&] { CONT = pobj_folders->NextMatch(SEARCHSTR, FILENAME) ? -1 : 0; });
      while (CONT != 0) {
        g(124, [&] { ++FileCount; });
        if (rt::InStr(FILENAME, ".") > 0) {
          g(125, [&] { pobj_label->Caption(Path + FILENAME); });
          g(126, [&] { pstr_files.push_back(Path + FILENAME); });
        }
        g(127, [&] { CONT = pobj_folders->NextMatch(SEARCHSTR, FILENAME) ? -1 : 0; });
      }
    } else {
      // Pattern scan: names only, attributes are not looked at.
      g(128, [&] { HSEARCH = fs.FindFirstFileA(Path + SEARCHSTR, WFD); });
      g(129, [&] { CONT = -1; });
      if (HSEARCH != platform::kInvalidSearchHandle) {
        do {
          g(130, [&] {
            std::string field = nameField(WFD);
            FILENAME = STRIPNULLS(field);
          });
          if (FILENAME != "." && FILENAME != "..") {
            g(131, [&] { ++FileCount; });
            if (rt::InStr(FILENAME, ".") > 0) {
              g(132, [&] { pobj_label->Caption(Path + FILENAME); });
              g(133, [&] { pstr_files.push_back(Path + FILENAME); });
            }
          }
          g(134, [&] { CONT = fs.FindNextFileA(HSEARCH, WFD) ? -1 : 0; });
          g(135, [&] { desktop.DoEvents(); });
        } while (CONT != 0);
        g(136, [&] { fs.FindClose(HSEARCH); });
      }
    }

    if (NDIR > 0) {
      g.For(137, i, 0, [&] { return NDIR - 1; }, 139, [&] {
        g(138, [&] {
          std::string sub = Path + DIRNAMES.at(static_cast<std::size_t>(i.value())) + "\\";
          FINDFILESAPI(sub, SEARCHSTR, FileCount, DirCount, pobj_label, pobj_label2, pstr_files, pobj_folders);
        });
      });
    }
    visit.ended = true;
  });
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

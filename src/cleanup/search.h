#pragma once
#include <string>
#include <vector>

#include "runtime/checked.h"
#include "ui/controls.h"

namespace module1 {

// The folders one search of a tree met, so that the next search of the same
// tree visits them without reading every entry of every folder again: per
// folder searched, in the order searched, the names of the subfolders it kept.
// Names only, no files; the list holds what the search found only when that
// search ran to its end in step with it, and is followed only then.
class FolderList {
 public:
  // Called before the search that records, and before the one that follows.
  void Record();
  void Replay();
  bool Recording() const { return mode_ == Mode::Record; }
  bool Replaying() const { return mode_ == Mode::Replay; }
  // Recording: the folder being searched has this subfolder; then it has no
  // more, and `kept` is how many of them it goes on to search.
  void Add(const std::string& name);
  void Close(int kept);
  // Following: the next subfolder of the folder being searched; false after its last.
  bool Next(std::string& name);
  // A folder's search ended early, so what follows it is out of step: the
  // rest of this search reads the folders itself, and keeps nothing.
  void Derail();
  std::size_t Bytes() const { return names_.capacity(); }

 private:
  enum class Mode { Off, Record, Replay };
  std::string names_;  // each folder's subfolders, each name ended by a NUL, then a NUL
  std::size_t at_ = 0;
  long pending_ = 0;  // folders named (the top one too) and not searched yet
  int added_ = 0;     // names added for the folder being searched
  bool whole_ = false;
  Mode mode_ = Mode::Off;
};

// Appends the full path of every entry below `Path` whose name matches
// SEARCHSTR (and holds a ".") to pstr_files, folder by folder in pre-order.
// pobj_folders, when there is one, records the folders or has the search
// follow those recorded (see FolderList).
void FINDFILESAPI(std::string& Path, const std::string& SEARCHSTR, rt::int16& FileCount, rt::int32& DirCount,
                  ui::Label* pobj_label, ui::Label* pobj_label2, std::vector<std::string>& pstr_files,
                  FolderList* pobj_folders);

// Cuts ORIGINALSTR before its first NUL and returns it.
std::string STRIPNULLS(std::string& ORIGINALSTR);

}  // namespace module1

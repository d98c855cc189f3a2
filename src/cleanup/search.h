#pragma once
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/checked.h"
#include "ui/controls.h"

namespace module1 {

// The folders one search of a tree met, so that the next search of the same
// tree visits them without reading any folder again: per folder searched, in
// the order searched, the names of the subfolders it kept and of its entries
// named as one of the list's names (without regard to case, as the system
// matches them). Folders and those entries only, never every file; the list
// holds what the search found only when that search ran to its end in step
// with it, and is followed only then.
class FolderList {
 public:
  // Only names the enumeration matches as themselves are kept (no wildcard).
  explicit FolderList(std::initializer_list<std::string_view> names = {});
  // Called before the search that records, and before the one that follows.
  void Record();
  void Replay();
  bool Recording() const { return mode_ == Mode::Record; }
  bool Replaying() const { return mode_ == Mode::Replay; }
  // Recording: whether an entry of this name is kept beside the subfolders.
  bool Keeps(std::string_view name) const;
  // Recording: the folder being searched has this subfolder, or this entry of
  // a kept name; then it has no more, and `kept` is how many of the subfolders
  // it goes on to search. `read`: its entries could be enumerated at all.
  void Add(const std::string& name);
  void AddMatch(const std::string& name);
  void Close(int kept, bool read);
  // Following: the next subfolder of the folder being searched; false after its last.
  bool Next(std::string& name);
  // Once a folder is closed or its subfolders followed: whether the list has
  // its entries named SEARCHSTR (it was read, and the name is kept), and then
  // each of them in the order met; false after the last.
  bool Holds(const std::string& SEARCHSTR) const;
  bool NextMatch(const std::string& SEARCHSTR, std::string& name);
  // A folder's search ended early, so what follows it is out of step: the
  // rest of this search reads the folders itself, and keeps nothing.
  void Derail();
  std::size_t Bytes() const { return names_.capacity() + found_.capacity(); }

 private:
  enum class Mode { Off, Record, Replay };
  // Each folder's subfolders, then its kept entries marked by a leading "\"
  // (which no name holds), or a lone "\" where it could not be read; each
  // ended by a NUL, then a NUL.
  std::string names_;
  std::string found_;  // recording: the kept entries of the folder being searched
  std::vector<std::string> kept_;
  std::size_t at_ = 0;
  std::size_t matchAt_ = 0, matchEnd_ = 0;  // the current folder's kept entries
  bool unread_ = false;                     // the current folder could not be read

  long pending_ = 0;  // folders named (the top one too) and not searched yet
  int added_ = 0;     // names added for the folder being searched
  bool whole_ = false;
  Mode mode_ = Mode::Off;
};

// Appends the full path of every entry below `Path` whose name matches
// SEARCHSTR (and holds a ".") to pstr_files, folder by folder in pre-order.
// pobj_folders, when there is one, records the folders and the entries named
// as its names, or has the search follow those recorded (see FolderList);
// either way a search for one of its names takes its matches from it, as
// the folder's one enumeration met them.
void FINDFILESAPI(std::string& Path, const std::string& SEARCHSTR, rt::int16& FileCount, rt::int32& DirCount,
                  ui::Label* pobj_label, ui::Label* pobj_label2, std::vector<std::string>& pstr_files,
                  FolderList* pobj_folders);

// Cuts ORIGINALSTR before its first NUL and returns it.
std::string STRIPNULLS(std::string& ORIGINALSTR);

}  // namespace module1

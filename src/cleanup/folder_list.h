#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

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
  std::size_t Bytes() const {
    return pool_.capacity() + names_.capacity() * sizeof(Name) + folders_.capacity() * sizeof(Folder);
  }

 private:
  enum class Mode { Off, Record, Replay };
  // A name's place in the pool.
  struct Name {
    uint32_t at, size;
  };
  // One folder searched: its subfolders are names [first, matches), its kept
  // entries [matches, end); the next folder's names begin at its end.
  struct Folder {
    uint32_t first, matches, end;
    bool read;  // its entries could be enumerated
  };
  std::string_view text(std::size_t name) const { return {pool_.data() + names_[name].at, names_[name].size}; }
  void push(std::string_view name);

  std::string pool_;                // every name kept, one after another
  std::vector<Name> names_;         // folder by folder, in the order searched
  std::vector<Folder> folders_;     // in the order searched
  std::vector<std::string> found_;  // recording: the kept entries of the folder being searched
  std::vector<std::string> kept_;   // the list's names
  std::size_t folder_ = 0;          // following: the folder whose subfolders come next
  std::size_t next_ = 0;            // following: its next name
  std::size_t current_ = SIZE_MAX;  // the folder closed or followed last
  std::size_t match_ = 0;           // its next kept entry

  long pending_ = 0;  // folders named (the top one too) and not searched yet
  int added_ = 0;     // names added for the folder being searched
  bool whole_ = false;
  Mode mode_ = Mode::Off;
};

}  // namespace module1

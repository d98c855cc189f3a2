#include "cleanup/folder_list.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "runtime/wtf8.h"

namespace module1 {
namespace {

// The file system compares names ordinal, without regard to case, in every
// script. `name` is ASCII (a kept name); an ASCII entry then has only ASCII
// letters to fold, and a byte of another character never equals one; any
// other entry is upper-cased as the system does it, once, into `upper`.
bool sameName(std::string_view entry, std::string_view name, std::string& upper) {
  const auto same = [](char a, char b) {
    const char lower = static_cast<char>(b | 0x20);
    return a == b || (lower >= 'a' && lower <= 'z' && static_cast<char>(a | 0x20) == lower);
  };
  if (rt::isAscii(entry)) return std::equal(entry.begin(), entry.end(), name.begin(), name.end(), same);
  // The upper case maps one unit to one: an entry of another length in units
  // is another name, and most are, without asking the system.
  if (rt::unitCount(entry) != name.size()) return false;
  if (upper.empty()) upper = platform::process().UCase(entry);
  return std::equal(upper.begin(), upper.end(), name.begin(), name.end(), same);
}

// A name that a scan by name matches only as itself: ASCII, no wildcard (the
// system's own nor the older ones it still honours), nothing that path
// parsing would cut or drop.
bool plainName(std::string_view name) {
  if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ') return false;
  for (const char c : name)
    if (c < 0x20 || c > 0x7E || std::strchr("*?<>\"\\/:|", c)) return false;
  return true;
}

}  // namespace

FolderList::FolderList(std::initializer_list<std::string_view> names) {
  for (const auto name : names)
    if (plainName(name)) kept_.emplace_back(name);
}

void FolderList::Record() {
  pool_.clear();
  names_.clear();
  folders_.clear();
  found_.clear();
  current_ = SIZE_MAX;
  pending_ = 1;
  added_ = 0;
  whole_ = true;
  mode_ = Mode::Record;
}

void FolderList::Replay() {
  folder_ = next_ = 0;
  current_ = SIZE_MAX;
  mode_ = whole_ && pending_ == 0 ? Mode::Replay : Mode::Off;
}

bool FolderList::Keeps(std::string_view name) const {
  std::string upper;
  return std::any_of(kept_.begin(), kept_.end(), [&](const std::string& kept) { return sameName(name, kept, upper); });
}

void FolderList::push(std::string_view name) {
  names_.push_back({static_cast<uint32_t>(pool_.size()), static_cast<uint32_t>(name.size())});
  pool_.append(name);
}

void FolderList::Add(const std::string& name) {
  push(name);
  ++added_;
}

void FolderList::AddMatch(const std::string& name) { found_.push_back(name); }

void FolderList::Close(int kept, bool read) {
  const auto first = static_cast<uint32_t>(folders_.empty() ? 0 : folders_.back().end);
  const auto matches = static_cast<uint32_t>(names_.size());
  for (const auto& name : found_) push(name);
  found_.clear();
  folders_.push_back({first, matches, static_cast<uint32_t>(names_.size()), read});
  current_ = folders_.size() - 1;
  match_ = matches;
  // A folder searched more often than named, or searching other names than it
  // recorded, would put the list out of step.
  if (added_ != kept || pending_ <= 0) whole_ = false;
  pending_ += added_ - 1;
  added_ = 0;
}

bool FolderList::Next(std::string& name) {
  if (folder_ >= folders_.size()) {
    Derail();
    return false;
  }
  const Folder& folder = folders_[folder_];
  if (next_ < folder.matches) {
    name.assign(text(next_++));
    return true;
  }
  current_ = folder_++;
  match_ = folder.matches;
  next_ = folder.end;
  return false;
}

bool FolderList::Holds(const std::string& SEARCHSTR) const {
  return mode_ != Mode::Off && current_ < folders_.size() && folders_[current_].read && Keeps(SEARCHSTR);
}

bool FolderList::NextMatch(const std::string& SEARCHSTR, std::string& name) {
  while (current_ < folders_.size() && match_ < folders_[current_].end) {
    const std::string_view entry = text(match_++);
    std::string upper;
    if (sameName(entry, SEARCHSTR, upper)) {
      name.assign(entry);
      return true;
    }
  }
  return false;
}

void FolderList::Derail() {
  if (mode_ == Mode::Record) whole_ = false;
  mode_ = Mode::Off;
}

}  // namespace module1

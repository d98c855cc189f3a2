#pragma once
// What the cleanup keeps of each file it deletes, as the program writes it
// down: the list of a run, and the descriptor of the folders an elevated run
// keeps in. Free of the system, so that both read the same everywhere.
#include <cstdint>
#include <string>
#include <string_view>

namespace kept {

// The folders of an elevated run's kept files: owned by the administrators,
// the system account and the administrators in full control of them and of
// all below, nothing inherited from above.
inline constexpr const char* kFolderSddl = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Whether an existing folder's descriptor is the one the program writes
// (each its owner and access list as SDDL, as the system spells them: names
// or numbers, rights as letters or a mask, entries in any order): the same
// owner, the same protection, the same entries, nothing more. A descriptor
// that cannot be read is never the program's.
bool sameDescriptor(std::string_view present, std::string_view written);

// The list of a run: its first line names the installation folder the run
// spared (empty for the interactive window's), then one line per kept file,
// its fields separated by tabs, which no Windows path or SDDL holds.
inline constexpr std::string_view kListName = "kept.txt";
inline constexpr std::string_view kFolderField = "Installation folder:";

struct Line {
  std::string kept;      // "1.kept": the copy's name in the run's folder
  std::string removed;   // when, as "YYYY-MM-DD hh:mm:ss" in the system's local time
  uint64_t size = 0;     // in bytes
  std::string path;      // the original full path, in UTF-8
  std::string security;  // its owner and access list as SDDL; empty when the system gave none
};

std::string listHead(std::string_view installFolder);
std::string format(const Line& line);
// False for a line that is no kept file's (the head, a damaged line).
bool parse(std::string_view text, Line& line);
// The installation folder a list's first line names; false when it is no head.
bool parseHead(std::string_view text, std::string& installFolder);

}  // namespace kept

#include "platform/kept.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <vector>

namespace kept {
namespace {

std::string upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

// The two accounts by their short names, whichever way the system spelt them.
std::string account(std::string_view sid) {
  const std::string s = upper(sid);
  if (s == "S-1-5-18") return "SY";
  if (s == "S-1-5-32-544") return "BA";
  return s;
}

std::vector<std::string_view> split(std::string_view text, char at) {
  std::vector<std::string_view> parts;
  for (std::size_t from = 0;;) {
    const auto end = text.find(at, from);
    parts.push_back(text.substr(from, end == std::string_view::npos ? end : end - from));
    if (end == std::string_view::npos) return parts;
    from = end + 1;
  }
}

// The descriptor in one spelling: owner, whether the access list is
// protected, and its entries sorted. Empty when it is not one the program
// could use (no owner, no access list, an entry it cannot read).
std::string normalized(std::string_view sddl) {
  std::string owner;
  std::string_view dacl;
  bool hasDacl = false;
  // "O:", "G:", "D:" and "S:" parts; a group or a system list grants nothing.
  for (std::size_t at = 0; at < sddl.size();) {
    if (at + 1 >= sddl.size() || sddl[at + 1] != ':') return {};
    std::size_t end = at + 2;
    for (int depth = 0; end < sddl.size(); ++end) {
      depth += sddl[end] == '(' ? 1 : sddl[end] == ')' ? -1 : 0;
      if (!depth && end + 1 < sddl.size() && sddl[end + 1] == ':' &&
          std::string_view("OGDS").find(sddl[end]) != std::string_view::npos)
        break;
    }
    const std::string_view value = sddl.substr(at + 2, end - at - 2);
    if (sddl[at] == 'O') owner = account(value);
    if (sddl[at] == 'D') dacl = value, hasDacl = true;
    at = end;
  }
  const auto open = dacl.find('(');
  const std::string flags = upper(dacl.substr(0, open));
  // The automatic-inheritance marks (AI, AR) say nothing about who may enter.
  if (owner.empty() || !hasDacl || flags.find_first_not_of("PAIR") != std::string::npos) return {};
  std::multiset<std::string> entries;
  for (std::string_view rest = open == std::string_view::npos ? "" : dacl.substr(open); !rest.empty();) {
    const auto close = rest.find(')');
    if (rest.front() != '(' || close == std::string_view::npos) return {};
    const auto f = split(rest.substr(1, close - 1), ';');
    if (f.size() != 6) return {};
    std::string rights = upper(f[2]), flagText = upper(f[1]), aceFlags;
    // Two letters a flag, in any order: "OICI" and "CIOI" are one, "CIIO" another.
    if (flagText.size() % 2) return {};
    std::vector<std::string> tokens;
    for (std::size_t k = 0; k < flagText.size(); k += 2) tokens.push_back(flagText.substr(k, 2));
    std::sort(tokens.begin(), tokens.end());
    for (const auto& token : tokens) aceFlags += token;
    if (rights == "0X1F01FF") rights = "FA";
    entries.insert(upper(f[0]) + ";" + aceFlags + ";" + rights + ";" + std::string(f[3]) + ";" + std::string(f[4]) +
                   ";" + account(f[5]));
    rest.remove_prefix(close + 1);
  }
  std::string text = "O:" + owner + (flags.find('P') != std::string::npos ? "D:P" : "D:");
  for (const auto& entry : entries) text += "(" + entry + ")";
  return text;
}

uint64_t number(std::string_view digits) {
  uint64_t value = 0;
  for (const char c : digits) value = value * 10 + static_cast<uint64_t>(c - '0');
  return value;
}

}  // namespace

bool sameDescriptor(std::string_view present, std::string_view written) {
  const std::string a = normalized(present);
  return !a.empty() && a == normalized(written);
}

std::string listHead(std::string_view installFolder) {
  return std::string(kFolderField) + "\t" + std::string(installFolder);
}

std::string format(const Line& line) {
  return line.kept + "\t" + line.removed + "\t" + std::to_string(line.size) + "\t" + line.path + "\t" + line.security;
}

bool parse(std::string_view text, Line& line) {
  const auto f = split(text, '\t');
  if (f.size() != 5 || !f[0].ends_with(".kept") || f[2].empty() ||
      f[2].find_first_not_of("0123456789") != std::string_view::npos || f[3].empty())
    return false;
  line = {std::string(f[0]), std::string(f[1]), number(f[2]), std::string(f[3]), std::string(f[4])};
  return true;
}

bool parseHead(std::string_view text, std::string& installFolder) {
  if (!text.starts_with(kFolderField) || text.size() <= kFolderField.size() || text[kFolderField.size()] != '\t')
    return false;
  installFolder = text.substr(kFolderField.size() + 1);
  return true;
}

}  // namespace kept

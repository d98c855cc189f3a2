#include "runtime/strings.h"

namespace rt {

std::string Trim(std::string_view s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(' ');
  return std::string(s.substr(first, last - first + 1));
}

std::size_t InStr(std::string_view s, std::string_view find) {
  const auto pos = s.find(find);
  return pos == std::string_view::npos ? 0 : pos + 1;
}

std::string Replace(std::string_view s, std::string_view find, std::string_view with) {
  if (find.empty()) return std::string(s);
  std::string out;
  out.reserve(s.size());
  std::size_t at = 0;
  for (auto pos = s.find(find); pos != std::string_view::npos; pos = s.find(find, at)) {
    out.append(s.substr(at, pos - at)).append(with);
    at = pos + find.size();
  }
  out.append(s.substr(at));
  return out;
}

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> parts;
  if (s.empty()) return parts;
  std::size_t at = 0;
  for (auto pos = s.find(sep); pos != std::string_view::npos; pos = s.find(sep, at)) {
    parts.emplace_back(s.substr(at, pos - at));
    at = pos + 1;
  }
  parts.emplace_back(s.substr(at));
  return parts;
}

std::string Left(std::string_view s, std::size_t n) { return std::string(s.substr(0, n)); }

std::string CStr(long long n) { return std::to_string(n); }

std::string CStr(bool b) { return b ? "True" : "False"; }

}  // namespace rt

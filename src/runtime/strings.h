#pragma once
// The few string routines the program's procedures are written with.
// Positions are 1-based and 0 means "not found", as the procedures expect.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rt {

// Leading and trailing blanks (space characters only; tabs stay).
std::string Trim(std::string_view s);

// 1-based position of `find` in `s`, 0 when absent; an empty `find` is found at 1.
std::size_t InStr(std::string_view s, std::string_view find);

std::string Replace(std::string_view s, std::string_view find, std::string_view with);

// Split at every `sep`; an empty text gives no element at all.
std::vector<std::string> Split(std::string_view s, char sep);

std::string Left(std::string_view s, std::size_t n);

std::string CStr(long long n);
inline std::string CStr(int n) { return CStr(static_cast<long long>(n)); }
inline std::string CStr(long n) { return CStr(static_cast<long long>(n)); }
std::string CStr(bool b);  // "True" / "False"

}  // namespace rt

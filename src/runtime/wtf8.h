#pragma once
// The program's strings are WTF-8: UTF-8 that also carries the unpaired
// surrogates a file name may hold, so that every name the file system gives
// comes back to it as the very same sequence of 16-bit units.
#include <cstdint>
#include <string>
#include <string_view>

namespace rt {

// Appends the WTF-8 form of 16-bit units (UTF-16, paired or not).
template <class Unit>
void appendWtf8(std::basic_string_view<Unit> units, std::string& out) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    uint32_t c = static_cast<uint16_t>(units[i]);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size()) {
      const uint32_t low = static_cast<uint16_t>(units[i + 1]);
      if (low >= 0xDC00 && low < 0xE000) c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00), ++i;
    }
    if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | c >> 6));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | c >> 12));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | c >> 18));
      out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// The 16-bit units of a WTF-8 text. A byte that begins no whole sequence
// (text that never was WTF-8) becomes U+FFFD.
template <class Unit>
void appendUnits(std::string_view text, std::basic_string<Unit>& out) {
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const uint32_t lead = byte(i);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    uint32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool whole = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; whole && k < length; ++k) {
      whole = (byte(i + k) & 0xC0) == 0x80;
      c = c << 6 | (byte(i + k) & 0x3F);
    }
    // Overlong forms and values past U+10FFFF are no sequence either.
    if (whole && (length == 3 ? c < 0x800 : length == 4 ? c < 0x10000 || c > 0x10FFFF : false)) whole = false;
    if (!whole) {
      out.push_back(static_cast<Unit>(0xFFFD));
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out.push_back(static_cast<Unit>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<Unit>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<Unit>(c));
    }
    i += length;
  }
}

// How many 16-bit units the text stands for: a character's place as the system counts it.
inline std::size_t unitCount(std::string_view text) {
  std::size_t units = 0;
  for (const char c : text) units += (c & 0xC0) == 0x80 ? 0 : (c & 0xF8) == 0xF0 ? 2 : 1;
  return units;
}

// Whether the text is ASCII throughout: then bytes and characters are one.
inline bool isAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace rt

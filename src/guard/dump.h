#pragma once
// Variable dumps: name/value pairs whose values keep their types, copied at
// the moment of the error.
#include <cstdint>
#include <string>
#include <typeinfo>
#include <variant>
#include <vector>

#include "runtime/checked.h"
#include "runtime/datetime.h"

namespace guard {

struct ObjectRef {
  const void* object = nullptr;
  std::string typeName;
  bool operator==(const ObjectRef&) const = default;
};

using DumpValue = std::variant<int16_t, int32_t, std::string, bool, rt::DateTime, std::vector<std::string>, ObjectRef>;
using VariableDump = std::vector<DumpValue>;

// The one-entry list that stands for a scope without variables.
VariableDump marker();

inline DumpValue dumpValue(rt::int16 v) { return v.value(); }
inline DumpValue dumpValue(rt::int32 v) { return v.value(); }
inline DumpValue dumpValue(const std::string& v) { return v; }
inline DumpValue dumpValue(const char* v) { return std::string(v); }
inline DumpValue dumpValue(bool v) { return v; }
inline DumpValue dumpValue(const rt::DateTime& v) { return v; }
inline DumpValue dumpValue(const std::vector<std::string>& v) { return v; }
template <class T>
DumpValue dumpValue(T* object) {
  return ObjectRef{object, object ? typeid(*object).name() : "Nothing"};
}

inline void appendPairs(VariableDump&) {}
template <class V, class... Rest>
void appendPairs(VariableDump& out, const char* name, const V& value, const Rest&... rest) {
  out.emplace_back(std::string(name));
  out.push_back(dumpValue(value));
  appendPairs(out, rest...);
}

// dump("name", value, "name", value, ...); no arguments give the marker list.
template <class... A>
VariableDump dump(const A&... pairs) {
  static_assert(sizeof...(A) % 2 == 0, "dump takes name/value pairs");
  if constexpr (sizeof...(A) == 0) {
    return marker();
  } else {
    VariableDump out;
    out.reserve(sizeof...(A));
    appendPairs(out, pairs...);
    return out;
  }
}

}  // namespace guard

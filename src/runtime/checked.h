#pragma once
// Counters and indexes of fixed width that raise "Overflow" (6) instead of
// wrapping: a wrapped index would silently list or delete the wrong entry.
#include <concepts>
#include <cstdint>
#include <limits>
#include <utility>

#include "runtime/error.h"

namespace rt {

template <std::signed_integral T>
class Checked {
 public:
  constexpr Checked() = default;

  // Any integral value converts, with a range check, so `i = i + 1` cannot
  // truncate silently.
  template <std::integral U>
  constexpr Checked(U v) : v_(narrow(v)) {}  // NOLINT: implicit on purpose

  constexpr T value() const { return v_; }
  constexpr operator T() const { return v_; }  // NOLINT

  Checked& operator+=(long long d) { v_ = narrow(static_cast<long long>(v_) + d); return *this; }
  Checked& operator-=(long long d) { v_ = narrow(static_cast<long long>(v_) - d); return *this; }
  Checked& operator++() { return *this += 1; }
  Checked& operator--() { return *this -= 1; }

 private:
  template <std::integral U>
  static constexpr T narrow(U v) {
    if (std::cmp_less(v, std::numeric_limits<T>::min()) || std::cmp_greater(v, std::numeric_limits<T>::max()))
      raise(errOverflow);
    return static_cast<T>(v);
  }

  T v_ = 0;
};

using int16 = Checked<int16_t>;
using int32 = Checked<int32_t>;

}  // namespace rt

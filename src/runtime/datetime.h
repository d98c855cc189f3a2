#pragma once
#include <string>

namespace rt {

struct DateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool operator==(const DateTime&) const = default;
};

// The locale's general date form: short date, a blank, long time; at exactly
// midnight the short date stands alone.
std::string dateTimeText(const DateTime& when);
// The same of the current time.
std::string dateTimeText();

}  // namespace rt

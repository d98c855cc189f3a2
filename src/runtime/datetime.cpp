#include "runtime/datetime.h"

#include "platform/platform.h"

namespace rt {

std::string dateTimeText(const DateTime& when) {
  auto& process = platform::process();
  std::string text = process.ShortDate(when);
  if (when.hour != 0 || when.minute != 0 || when.second != 0) {
    text += ' ';
    text += process.LongTime(when);
  }
  return text;
}

std::string dateTimeText() { return dateTimeText(platform::process().Now()); }

}  // namespace rt

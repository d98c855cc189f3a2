#include "runtime/datetime.h"

#include "platform/platform.h"

namespace rt {

std::string dateTimeText() {
  auto& process = platform::process();
  const DateTime now = process.Now();
  std::string text = process.ShortDate(now);
  if (now.hour != 0 || now.minute != 0 || now.second != 0) {
    text += ' ';
    text += process.LongTime(now);
  }
  return text;
}

}  // namespace rt

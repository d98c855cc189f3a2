#pragma once
// What the UI driver and its hook in the program (probe.cpp) share.
#include <windows.h>

#include <string>

namespace e2e {

constexpr char kProbeMessage[] = "CorvaneProbe";

struct ProbeAnswer {
  volatile LONG done;
  BOOL hasFont;  // false: the control draws with the system font
  BOOL read;     // the font's description could be read
  LOGFONTA font;
  BOOL classIcon;  // the window's class has an icon
};

inline std::string probeMappingName(DWORD driverProcessId) { return "CorvaneProbe-" + std::to_string(driverProcessId); }

}  // namespace e2e

#include "ui/controls.h"

#include <exception>

namespace ui {
namespace {
WindowHost* current = nullptr;
}

void install(WindowHost* host) { current = host; }

WindowHost& windows() {
  if (!current) std::terminate();  // wiring fault, not a user's error
  return *current;
}

}  // namespace ui

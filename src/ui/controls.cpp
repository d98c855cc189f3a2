#include "ui/controls.h"

#include <exception>

#include "runtime/error.h"

namespace ui {
namespace {
WindowHost* current = nullptr;
}

FileListBox& Controls::fileListBox(std::string_view) { rt::raise(rt::errObjectDoesNotSupport); }

void WindowHost::Load(Form&) { rt::raise(rt::errObjectDoesNotSupport); }
void WindowHost::RunHidden(Form&) { rt::raise(rt::errObjectDoesNotSupport); }

void install(WindowHost* host) { current = host; }

WindowHost& windows() {
  if (!current) std::terminate();  // wiring fault, not a user's error
  return *current;
}

}  // namespace ui

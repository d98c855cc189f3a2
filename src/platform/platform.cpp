#include "platform/platform.h"

#include "runtime/error.h"

namespace platform {
namespace {
Services current;

template <class T>
T& required(T* service) {
  // A missing service is a wiring fault of the program, not a user's error.
  if (!service) std::terminate();
  return *service;
}
}  // namespace

void install(const Services& services) { current = services; }
FileSystem& fileSystem() { return required(current.fileSystem); }
TextFiles& textFiles() { return required(current.textFiles); }
Process& process() { return required(current.process); }
Desktop& desktop() { return required(current.desktop); }
Libraries& libraries() { return required(current.libraries); }
SpecialFolders& specialFolders() { return required(current.specialFolders); }

int FreeFile(int first, int last) {
  for (int n = first; n <= last; ++n)
    if (!textFiles().IsOpen(n)) return n;
  rt::raise(rt::errTooManyFiles);
}

void End(int exitCode) {
  textFiles().CloseAll();
  process().Exit(exitCode);
  std::terminate();  // Exit does not come back
}

}  // namespace platform

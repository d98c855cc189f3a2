#include "startup/main.h"

#include <windows.h>
#include <imm.h>

#include "guard/guard.h"
#include "guard/modvbguard.h"
#include "guard/unattended.h"
#include "guard/win32/report.h"
#include "platform/platform.h"
#include "platform/win32/keep.h"
#include "platform/win32/loader.h"
#include "platform/win32/messages.h"
#include "platform/win32/services.h"
#include "ui/win32/window_host.h"

namespace {
win32::FileSystem fileSystem;
win32::TextFiles textFiles;
win32::Process process;
win32::Desktop desktop;
win32::Libraries libraries;
win32::SpecialFolders specialFolders;
win32::WindowHost windowHost;
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  win32::restrictLibrarySearch();
  // Where the system has it: no junction an ordinary user made is followed. Elsewhere the held paths do that work.
  win32::guardRedirection(libraries);
  // No window of ours takes typed text, and an input method would bring COM
  // into every run for nothing.
  ImmDisableIME(static_cast<DWORD>(-1));
  platform::install({&fileSystem, &textFiles, &process, &desktop, &libraries, &specialFolders});
  ui::install(&windowHost);
  // Reports go to the registered report object, or to our own dialog where there is none.
  guard::installComponentFactory(win32::reportComponents(win32::kReportProgId, win32::newReportDialog));
  guard::setReporter(modVBGuard::GuardReportError);

  guard::runOutermost(module1::Main);

  // The interactive window lives on until closing it ends the program; with
  // no window left there is nothing to wait for. An unattended run that comes
  // here tells its first error.
  if (windowHost.AnyOpen()) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) win32::dispatch(msg);
  }
  platform::End(guard::exitCode());
}

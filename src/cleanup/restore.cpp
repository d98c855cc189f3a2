#include "cleanup/restore.h"

#include <vector>

#include "guard/guard.h"
#include "platform/platform.h"
#include "runtime/strings.h"
#include "startup/main.h"
#include "trace/trace.h"

namespace cleanup {

void RestoreKept(const std::string& installFolder) {
  std::vector<platform::KeptFile> files;
  std::string str_file;
  guard::Guarded g{"module1", "RestoreKept", [&] { return guard::dump("installFolder", installFolder); },
                   [&] { return guard::dump("str_file", str_file); }, module1::DumpModuleVariables};
  g.body([&] {
    g(100, [&] { files = platform::fileSystem().KeptFiles(installFolder, true); });
    g(101, [&] { TRACE::writetrace("Found " + rt::CStr(static_cast<long long>(files.size())) + " files to restore"); });
    for (const auto& file : files) {
      g(102, [&] { TRACE::writetrace("Restore File:" + (str_file = file.path)); });
      // One statement, so that going on after a file that stays kept records no success.
      g(103, [&] {
        platform::fileSystem().Restore(file);
        TRACE::writetrace("File:" + file.path + " Restored!");
      });
    }
  });
}

}  // namespace cleanup

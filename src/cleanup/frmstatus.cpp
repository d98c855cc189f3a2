#include "cleanup/frmstatus.h"

#include "cleanup/search.h"
#include "guard/guard.h"
#include "guard/unattended.h"
#include "platform/platform.h"
#include "runtime/strings.h"
#include "startup/globals.h"
#include "trace/trace.h"
#include "ui/layouts.h"

namespace cleanup {

frmstatus& frmstatus::instance() {
  static frmstatus form;
  return form;
}

const ui::FormLayout& frmstatus::Layout() const { return ui::kFrmstatusLayout; }

void frmstatus::Bind(ui::Controls& controls) {
  Label2 = &controls.label("Label2");
  Label3 = &controls.label("Label3");
  Label7 = &controls.label("Label7");
  List1 = &controls.listBox("List1");
}

void frmstatus::DumpModuleVariables() {
  guard::slots().GuardModuleVars = guard::dump("str_files", instance().str_files);
}

void frmstatus::Form_Load() {
  rt::int16 i;
  guard::Guarded g{"frmstatus", "Form_Load", guard::noParameters(), [&] { return guard::dump("i", i); },
                   DumpModuleVariables};
  g.body([&] {
    g(100, [&] { platform::desktop().DoEvents(); });
    g(101, [&] { ui::windows().Refresh(*this); });
  });
}

void frmstatus::Form_Activate() {
  // The sequence ends the program; a second activation meanwhile must not start it again.
  if (activated_) return;
  activated_ = true;

  rt::int16 i;
  rt::int16 FileCount;
  rt::int32 DirCount;
  // The second name's search takes the folders and its matches from the first one's enumerations.
  module1::FolderList folders{"corvane.ini", "corvane.mdb"};
  auto& desktop = platform::desktop();
  guard::Guarded g{"frmstatus", "Form_Activate", guard::noParameters(), [&] { return guard::dump("i", i); },
                   DumpModuleVariables};
  g.body([&] {
    // The run that keeps begins before the search, so that Setup's rollback
    // finds it the latest even when the cleanup goes no further.
    g(100, [&] {
      desktop.SetMousePointer(11);
      platform::fileSystem().BeginKeeping(gstr_skip);
    });
    g(101, [&] { Label7->Caption("0"); });
    g(102, [&] { str_files.assign(2, std::string()); });
    g(103, [&] { TRACE::writetrace("Search for corvane.ini files"); });
    g(104, [&] { TRACE::writetrace("gstr_drive:" + gstr_drive); });
    g(105, [&] { FileCount = 0; DirCount = 0; });
    g(106, [&] {
      folders.Record();
      module1::FINDFILESAPI(gstr_drive, "corvane.ini", FileCount, DirCount, Label3, Label2, str_files, &folders);
    });
    {
      // The list is painted once the listing is done, not at each item.
      platform::BusyLoop listing{desktop};
      g.For(107, i, 0, [&] { return static_cast<long long>(str_files.size()) - 1; }, 109, [&] {
        g(108, [&] { listUnlessSpared(i); });
      });
    }
    g(110, [&] { Label7->Caption(rt::CStr(List1->ListCount())); });
    g(111, [&] { desktop.DoEvents(); });
    g(112, [&] { str_files.assign(2, std::string()); });
    g(113, [&] { TRACE::writetrace("Search for corvane.mdb files"); });
    g(114, [&] { FileCount = 0; DirCount = 0; });
    g(115, [&] {
      folders.Replay();
      module1::FINDFILESAPI(gstr_drive, "corvane.mdb", FileCount, DirCount, Label3, Label2, str_files, &folders);
    });
    {
      platform::BusyLoop listing{desktop};
      g.For(116, i, 0, [&] { return static_cast<long long>(str_files.size()) - 1; }, 118, [&] {
        g(117, [&] { listUnlessSpared(i); });
      });
    }
    g(119, [&] { Label7->Caption(rt::CStr(List1->ListCount())); });
    g(120, [&] { desktop.DoEvents(); });
    g(121, [&] { TRACE::writetrace("Found " + rt::CStr(List1->ListCount()) + " files to delete"); });
    g(122, [&] { desktop.DoEvents(); });
    g(123, [&] { DeleteFiles(); });
    g(124, [&] { desktop.SetMousePointer(0); });
    g(125, [&] { platform::End(guard::exitCode()); });
  });
}

void frmstatus::listUnlessSpared(int index) {
  const std::string& entry = str_files[static_cast<std::size_t>(index)];
  if (entry.empty()) return;
  // Windows compares paths without regard to case: the installation's files
  // must stay even when Setup spells its folder otherwise than the disk does.
  // An empty skip text is found in every path, so then nothing is listed.
  auto& process = platform::process();
  if (rt::InStr(process.UCase(entry), process.UCase(gstr_skip)) == 0) List1->AddItem(entry);
}

void frmstatus::DeleteFiles() {
  rt::int16 i;
  guard::Guarded g{"frmstatus", "DeleteFiles", guard::noParameters(), [&] { return guard::dump("i", i); },
                   DumpModuleVariables};
  g.body([&] {
    int n = 0;
    g(100, [&] { n = List1->ListCount(); });
    g.For(101, i, 0, [&] { return n - 1LL; }, 104, [&] {
      g(102, [&] { TRACE::writetrace("Delete File:" + List1->List(i)); });
      // One statement, so that going on after a failed deletion records no success.
      g(103, [&] {
        platform::fileSystem().Kill(List1->List(i), gstr_skip);
        TRACE::writetrace("File:" + List1->List(i) + " Deleted!");
      });
    });
  });
}

}  // namespace cleanup

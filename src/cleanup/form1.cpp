#include "cleanup/form1.h"

#include "cleanup/search.h"
#include "guard/guard.h"
#include "platform/platform.h"
#include "runtime/strings.h"
#include "ui/layouts.h"

namespace cleanup {

Form1& Form1::instance() {
  static Form1 form;
  return form;
}

const ui::FormLayout& Form1::Layout() const { return ui::kForm1Layout; }

void Form1::Bind(ui::Controls& controls) {
  Label1 = &controls.label("Label1");
  Label2 = &controls.label("Label2");
  Label5 = &controls.label("Label5");
  List1 = &controls.listBox("List1");
}

void Form1::DumpModuleVariables() { guard::slots().GuardModuleVars = guard::dump("str_files", instance().str_files); }

void Form1::Click(std::string_view control) {
  // A second search over the running one, or a deletion of a half-built
  // list, would act on a list that is still changing.
  if (finding_) return;
  if (control == "Command1") {
    finding_ = true;
    struct Done {
      bool& flag;
      ~Done() { flag = false; }
    } done{finding_};
    Command1_Click();
  } else if (control == "Command2") {
    Command2_Click();
  }
}

void Form1::Command1_Click() {
  rt::int16 i;
  auto& desktop = platform::desktop();
  guard::Guarded g{"Form1", "Command1_Click", guard::noParameters(), [&] { return guard::dump("i", i); },
                   DumpModuleVariables};
  // Each search gets a fresh start folder and fresh counters: it completes
  // the folder and counts into them, and neither is read afterwards. The
  // second name's search takes the folders and its matches from the first
  // one's enumerations.
  module1::FolderList folders{"corvane.ini", "corvane.mdb"};
  const auto find = [&](const char* name, bool first) {
    std::string path = "C:\\";
    rt::int16 FileCount = 0;
    rt::int32 DirCount = 0;
    first ? folders.Record() : folders.Replay();
    module1::FINDFILESAPI(path, name, FileCount, DirCount, Label1, Label2, str_files, &folders);
  };
  const auto lastIndex = [&] { return static_cast<long long>(str_files.size()) - 1; };
  g.body([&] {
    g(100, [&] { desktop.SetMousePointer(11); });
    g(101, [&] { str_files.assign(2, std::string()); });
    g(102, [&] { find("corvane.ini", true); });
    g.For(103, i, 0, lastIndex, 105, [&] { g(104, [&] { listFound(i); }); });
    g(106, [&] { str_files.assign(2, std::string()); });
    g(107, [&] { find("corvane.mdb", false); });
    g.For(108, i, 0, lastIndex, 110, [&] { g(109, [&] { listFound(i); }); });
    g(111, [&] { Label5->Caption(rt::CStr(List1->ListCount())); });
    g(112, [&] { desktop.SetMousePointer(0); });
  });
}

void Form1::listFound(int index) {
  // No skip test here: this window lists everything it finds.
  const std::string& entry = str_files.at(static_cast<std::size_t>(index));
  if (!entry.empty()) List1->AddItem(entry);
}

void Form1::Command2_Click() {
  rt::int16 int_result;
  auto& desktop = platform::desktop();
  guard::Guarded g{"Form1", "Command2_Click", guard::noParameters(),
                   [&] { return guard::dump("int_result", int_result); }, DumpModuleVariables};
  g.body([&] {
    g(100, [&] { int_result = desktop.MsgBox("Delete Files?", 20, "Delete Found Files"); });
    if (int_result != 6) return;
    int count = 0;
    g(101, [&] {
      platform::fileSystem().BeginKeeping("");  // the window spares no folder
      count = List1->ListCount();
    });
    // The entries stay listed; a failed deletion is the guard's to report,
    // and going on moves to the next entry. This window lists everything it
    // finds, so it spares no folder.
    for (int n = 0; n < count; ++n) g(102, [&] { platform::fileSystem().Kill(List1->List(n), ""); });
    g(103, [&] { desktop.MsgBox("Files deleted!", 48, "Deleted"); });
  });
}

void Form1::Form_Unload(rt::int16& Cancel) {
  guard::Guarded g{"Form1", "Form_Unload", [&] { return guard::dump("Cancel", Cancel); }, guard::noLocals(),
                   DumpModuleVariables};
  g.body([&] { g(100, [&] { platform::End(0); }); });
}

}  // namespace cleanup

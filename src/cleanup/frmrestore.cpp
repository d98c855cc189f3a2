#include "cleanup/frmrestore.h"

#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/strings.h"
#include "ui/layouts.h"

namespace cleanup {

frmrestore& frmrestore::instance() {
  static frmrestore form;
  return form;
}

const ui::FormLayout& frmrestore::Layout() const { return ui::kFrmrestoreLayout; }

void frmrestore::Bind(ui::Controls& controls) {
  Label1 = &controls.label("Label1");
  List1 = &controls.listBox("List1");
}

void frmrestore::Form_Load() {
  // An ordinary user reaches only the files kept by that user's own runs.
  Label1->Caption(platform::fileSystem().KeepsForAdministrators()
                      ? "Files removed by the cleanup, newest first. Select the files to put back."
                      : "Files you removed, newest first. Files removed by Setup need this program run as "
                        "administrator.");
  fill();
}

void frmrestore::fill() {
  files_ = platform::fileSystem().KeptFiles("", false);
  List1->Clear();
  for (const auto& file : files_) List1->AddItem(file.removed + "   " + file.path);
  for (int i = 0; i < List1->ListCount(); ++i) List1->Selected(i, true);
}

void frmrestore::restoreSelected() {
  int restored = 0;
  std::string failures;
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (!List1->Selected(static_cast<int>(i))) continue;
    try {
      platform::fileSystem().Restore(files_[i]);
      ++restored;
    } catch (const rt::RuntimeError& e) {
      failures += "\r\n" + files_[i].path + ": " + e.description + " (" + rt::CStr(e.number) + ")";
    }
  }
  platform::desktop().MsgBox(rt::CStr(restored) + (restored == 1 ? " file" : " files") + " restored." +
                                 (failures.empty() ? "" : "\r\n\r\nStill kept:" + failures),
                             failures.empty() ? 64 : 48, "Restore Corvane Files");
  fill();
}

void frmrestore::Click(std::string_view control) {
  if (control == "Command1") restoreSelected();
  if (control == "Command2") platform::End(0);
}

void frmrestore::Form_Unload(rt::int16&) { platform::End(0); }

}  // namespace cleanup

#pragma once
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "ui/controls.h"

namespace cleanup {

// RESTORE without SILENT: the kept files of this account's kind, newest run
// first and all selected; Restore puts back the selected ones and says how
// many went back and why any did not. Closing it ends the program.
class frmrestore final : public ui::Form {
 public:
  static frmrestore& instance();

  const ui::FormLayout& Layout() const override;
  void Bind(ui::Controls& controls) override;
  void Form_Load() override;
  void Click(std::string_view control) override;
  void Form_Unload(rt::int16& Cancel) override;

 private:
  void fill();
  void restoreSelected();

  std::vector<platform::KeptFile> files_;
  ui::Label* Label1 = nullptr;
  ui::ListBox* List1 = nullptr;
};

}  // namespace cleanup

#pragma once
#include <string>
#include <vector>

#include "ui/controls.h"

namespace cleanup {

// The status window of the automatic mode: its activation searches, lists,
// deletes and ends the program.
class frmstatus final : public ui::Form {
 public:
  static frmstatus& instance();

  const ui::FormLayout& Layout() const override;
  void Bind(ui::Controls& controls) override;
  void Form_Load() override;
  void Form_Activate() override;
  // The cleanup ends the program itself; the user cannot close the window.
  bool AllowUserClose() override { return false; }
  void DeleteFiles();

  static void DumpModuleVariables();

  std::vector<std::string> str_files;
  ui::Label* Label2 = nullptr;
  ui::Label* Label3 = nullptr;
  ui::Label* Label7 = nullptr;
  ui::ListBox* List1 = nullptr;

 private:
  void listUnlessSpared(int index);
  bool activated_ = false;
};

}  // namespace cleanup

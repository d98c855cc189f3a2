#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "ui/controls.h"

namespace cleanup {

// The main window of the interactive mode: Find lists every leftover on C:\,
// Delete Files deletes what is listed. Closing it ends the program.
class Form1 final : public ui::Form {
 public:
  static Form1& instance();

  const ui::FormLayout& Layout() const override;
  void Bind(ui::Controls& controls) override;
  void Click(std::string_view control) override;
  void Form_Unload(rt::int16& Cancel) override;

  void Command1_Click();
  void Command2_Click();

  static void DumpModuleVariables();

  std::vector<std::string> str_files;
  ui::Label* Label1 = nullptr;
  ui::Label* Label2 = nullptr;
  ui::Label* Label5 = nullptr;
  ui::ListBox* List1 = nullptr;

 private:
  void listFound(int index);
  // The search lets clicks through; while it runs, the buttons do nothing.
  bool finding_ = false;
};

}  // namespace cleanup

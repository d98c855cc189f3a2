#pragma once
#include <string>
#include <vector>

#include "ui/controls.h"

namespace cleanup {

// The main window of the interactive mode. Closing it ends the program.
class Form1 final : public ui::Form {
 public:
  static Form1& instance();

  const ui::FormLayout& Layout() const override;
  void Bind(ui::Controls& controls) override;
  void Form_Unload(rt::int16& Cancel) override;

  static void DumpModuleVariables();

  std::vector<std::string> str_files;
};

}  // namespace cleanup

#pragma once
// The program's windows, built from the layout tables with the Win32 API.
#include "ui/controls.h"

namespace win32 {

class WindowHost final : public ui::WindowHost {
 public:
  WindowHost();
  void Show(ui::Form& form, bool modal) override;
  void Load(ui::Form& form) override;
  void RunHidden(ui::Form& form) override;
  void Refresh(ui::Form& form) override;
  // True while any of the program's windows is on the screen.
  bool AnyOpen() const;
};

}  // namespace win32

#pragma once
// The program's windows, built from the layout tables with the Win32 API.
#include "ui/controls.h"

namespace win32 {

class WindowHost final : public ui::WindowHost {
 public:
  void Show(ui::Form& form, bool modal) override;
  // True while any of the program's windows exists.
  bool AnyOpen() const;
};

}  // namespace win32

#pragma once
#include "ui/controls.h"

namespace TRACE {

// The hidden window that carries the file list the existence test reads.
class frmpics final : public ui::Form {
 public:
  static frmpics& instance();
  const ui::FormLayout& Layout() const override;
  void Bind(ui::Controls& controls) override { FDirectory = &controls.fileListBox("FDirectory"); }

  ui::FileListBox* FDirectory = nullptr;
};

}  // namespace TRACE

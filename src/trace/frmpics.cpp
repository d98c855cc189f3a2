#include "trace/frmpics.h"

#include "ui/layouts.h"

namespace TRACE {

frmpics& frmpics::instance() {
  static frmpics form;
  return form;
}

const ui::FormLayout& frmpics::Layout() const { return ui::kFrmpicsLayout; }

}  // namespace TRACE

#include "cleanup/form1.h"

#include "guard/guard.h"
#include "platform/platform.h"
#include "ui/layouts.h"

namespace cleanup {

Form1& Form1::instance() {
  static Form1 form;
  return form;
}

const ui::FormLayout& Form1::Layout() const { return ui::kForm1Layout; }

void Form1::Bind(ui::Controls&) {}

void Form1::DumpModuleVariables() { guard::slots().GuardModuleVars = guard::dump("str_files", instance().str_files); }

void Form1::Form_Unload(rt::int16& Cancel) {
  guard::Guarded g{"Form1", "Form_Unload", [&] { return guard::dump("Cancel", Cancel); }, guard::noLocals(),
                   DumpModuleVariables};
  g.body([&] { g(100, [&] { platform::End(0); }); });
}

}  // namespace cleanup

#include "guard/component.h"

#include "runtime/error.h"

namespace guard {
namespace {
ComponentFactory factory;
}

void installComponentFactory(ComponentFactory f) { factory = std::move(f); }

std::unique_ptr<ReportComponent> createComponent() {
  if (!factory) rt::raise(rt::errCannotCreateObject);
  auto component = factory();
  if (!component) rt::raise(rt::errCannotCreateObject);
  return component;
}

}  // namespace guard

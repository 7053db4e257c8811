#include "ui/layout.h"

namespace tb::ui {

std::string ControlName(const ControlLayout& control) {
  std::string name = control.name;
  if (control.index >= 0) name += "_" + std::to_string(control.index);
  return name;
}

}  // namespace tb::ui

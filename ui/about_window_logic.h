// What the help window does: its texts when it loads, and OK.
#pragma once

#include "ui/controls.h"

namespace tb::ui {

struct AboutWindowControls {
  WindowControl& window;
  LabelControl& lblDescription;
};

class AboutWindowLogic {
 public:
  explicit AboutWindowLogic(AboutWindowControls controls) : c_(controls) {}

  void Form_Load();
  void cmdOK_Click();

 private:
  AboutWindowControls c_;
};

}  // namespace tb::ui

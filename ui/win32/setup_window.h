// frmTBConfig on native controls: built from the setup window's layout, its
// behaviour is SetupWindowLogic's. Shown modally: RunModal returns when
// the window has closed.
#pragma once

#include <memory>

#include "ui/setup_window_logic.h"
#include "ui/win32/form_window.h"
#include "ui/win32/native_controls.h"

namespace tb::ui::win32 {

class SetupWindow final : public FormWindow {
 public:
  SetupWindow(WindowContext context, HINSTANCE module);
  ~SetupWindow() override;

  // Loads the window and shows it modally: the thread's other windows take
  // no input until it closes. A call while it is open only brings it
  // forward.
  void RunModal();
  SetupWindowLogic& Logic() { return *logic_; }

 protected:
  void OnControl(const ControlLayout& control, int code) override;
  void OnCloseBox() override;

 private:
  struct Views;
  std::unique_ptr<Views> views_;
  std::unique_ptr<SetupWindowLogic> logic_;
  // Cleared when the object goes, also while RunModal waits.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tb::ui::win32

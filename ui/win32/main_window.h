// FormTBMain on native controls: built from the main window's layout, its
// behaviour is MainWindowLogic's. Closing hides the window and unloads it;
// the window itself lives as long as this object.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "ui/main_window_logic.h"
#include "ui/win32/form_window.h"
#include "ui/win32/native_controls.h"

namespace tb::ui::win32 {

class MainWindow final : public FormWindow {
 public:
  MainWindow(WindowContext context, HINSTANCE module, std::function<void()> showHelp);
  ~MainWindow() override;

  // Loads the window unless it is loaded, then shows it.
  void Show();
  void Hide();
  MainWindowLogic& Logic() { return *logic_; }
  // After the device setup window: the stage's lengths may have changed.
  void RefreshHeightBox() {
    if (logic_ != nullptr) logic_->RefreshHeightBox();
  }

 protected:
  void OnControl(const ControlLayout& control, int code) override;
  void OnTick(const ControlLayout& control) override;
  void OnCloseBox() override;

 private:
  struct Views;
  std::unique_ptr<Views> views_;
  std::unique_ptr<MainWindowLogic> logic_;
};

}  // namespace tb::ui::win32

// frmAbout on native controls: built afresh for every opening from the
// help window's layout; closing destroys the window.
#pragma once

#include <memory>

#include "ui/about_window_logic.h"
#include "ui/win32/form_window.h"
#include "ui/win32/native_controls.h"

namespace tb::ui::win32 {

class AboutWindow final : public FormWindow {
 public:
  AboutWindow(HINSTANCE module, HWND owner);
  ~AboutWindow() override;

 protected:
  void OnControl(const ControlLayout& control, int code) override;
  void OnCloseBox() override { Destroy(); }

 private:
  struct Views;
  std::unique_ptr<Views> views_;
  std::unique_ptr<AboutWindowLogic> logic_;
  HBITMAP picture_ = nullptr;
};

// The 55 x 55 picture in picIcon: a moving head and its beam.
HBITMAP AboutPicture();

}  // namespace tb::ui::win32

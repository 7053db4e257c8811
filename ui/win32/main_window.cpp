#include "ui/win32/main_window.h"

#include <string>
#include <vector>

#include "ui/main_window_layout.h"
#include "ui/win32/timer.h"

namespace tb::ui::win32 {

struct MainWindow::Views {
  NativeCombo devices;
  NativeCombo master;
  std::vector<std::unique_ptr<NativeTextBox>> boxes;
  NativeButton enable;
  NativeOption linear;
  NativeEdit height;
  NativeTimer timer;
};

MainWindow::MainWindow(WindowContext context, HINSTANCE module, std::function<void()> showHelp) {
  if (!Build(module, MainWindowLayout(), nullptr)) return;
  const std::vector<HWND> options{Control("OptLin"), Control("OptDist"), Control("OptTrigo")};
  Timer* timer = TimerOf("TimerDMX");
  if (timer == nullptr) return;
  views_.reset(new Views{NativeCombo(Control("ComboDeviceList")),
                         NativeCombo(Control("ComboMaster")),
                         {},
                         NativeButton(*this, Control("CmdEnableTB")),
                         NativeOption(Control("OptLin"), options),
                         NativeEdit(*this, Control("TxtHeight")),
                         NativeTimer(*timer)});
  std::array<TextBoxControl*, kPointCount> boxes{};
  for (int i = 0; i < kPointCount; ++i) {
    views_->boxes.push_back(
        std::make_unique<NativeTextBox>(*this, Control("TxtCalibr_" + std::to_string(i))));
    boxes[static_cast<std::size_t>(i)] = views_->boxes.back().get();
  }
  logic_ = std::make_unique<MainWindowLogic>(
      std::move(context),
      MainWindowControls{views_->devices, views_->master, boxes, views_->enable, views_->linear,
                         views_->height, views_->timer, std::move(showHelp)});
}

MainWindow::~MainWindow() { Destroy(); }

void MainWindow::Show() {
  if (logic_ == nullptr) return;
  logic_->Load();
  ShowActive();
}

void MainWindow::Hide() {
  if (Handle() != nullptr) ShowWindow(Handle(), SW_HIDE);
}

void MainWindow::OnCloseBox() {
  Hide();
  if (logic_ != nullptr) logic_->Unload();
}

void MainWindow::OnTick(const ControlLayout&) {
  if (logic_ != nullptr) logic_->TimerDMX_Timer();
}

void MainWindow::OnControl(const ControlLayout& control, int code) {
  if (logic_ == nullptr) return;
  MainWindowLogic& logic = *logic_;
  const std::string name = control.name;
  HWND hwnd = Control(ControlName(control));
  if (name == "ComboDeviceList" || name == "ComboMaster") {
    if (code != CBN_SELCHANGE) return;
    const int position = static_cast<int>(SendMessageW(hwnd, CB_GETCURSEL, 0, 0));
    if (name == "ComboDeviceList") logic.ComboDeviceList_Click(position);
    if (name == "ComboMaster") logic.ComboMaster_Click(position);
    return;
  }
  if (name == "TxtCalibr") {
    if (code == kClicked) logic.TxtCalibr_Click(control.index);
    return;
  }
  if (name == "TxtHeight") {
    if (code == kEntered || code == EN_KILLFOCUS) logic.TxtHeight_Validate();
    return;
  }
  if (code != BN_CLICKED) return;
  if (name == "CmdGet") logic.CmdGet_Click();
  if (name == "CmdClear") logic.CmdClear_Click();
  if (name == "CmdEnableTB") logic.CmdEnableTB_Click();
  if (name == "CmdHelp") logic.CmdHelp_Click();
  if (name == "OptLin") logic.OptLin_Click();
  if (name == "OptDist") logic.OptDist_Click();
  if (name == "OptTrigo") logic.OptTrigo_Click();
}

}  // namespace tb::ui::win32

// FormTBMain: the working window on Qt, built from its layout table; its
// behaviour is MainWindowLogic's.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

#include "ui/main_window_logic.h"
#include "ui/qt_controls.h"
#include "ui/window_context.h"

class QTimer;

namespace tb::ui {

class FormTBMain final : public QWidget {
  Q_OBJECT

 public:
  explicit FormTBMain(WindowContext context, QWidget* parent = nullptr);
  ~FormTBMain() override;

  // Does nothing; callers may use it to make sure the window object exists.
  void Main() {}

  // Runs the loading now unless the window is loaded already.
  void Load() { logic_->Load(); }
  bool Loaded() const { return logic_->Loaded(); }
  // Closing without a close event: back to the layout state.
  void Unload() { logic_->Unload(); }

  std::int16_t ActivePoint() const { return logic_->ActivePoint(); }
  QTimer* Timer() const { return timer_; }

  void RefreshCalibrationBoxes(std::int16_t device) { logic_->RefreshCalibrationBoxes(device); }
  // After the device setup window: the stage's lengths may have changed.
  void RefreshHeightBox() { logic_->RefreshHeightBox(); }

  void setVisible(bool visible) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // The widgets as the behaviour sees them.
  struct Controls;
  void Connect();

  QTimer* timer_ = nullptr;
  std::unique_ptr<Controls> controls_;
  std::unique_ptr<MainWindowLogic> logic_;
};

}  // namespace tb::ui

// frmTBConfig: the device setup window on Qt, built from its layout table;
// its behaviour is SetupWindowLogic's.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "ui/qt_controls.h"
#include "ui/setup_window_logic.h"
#include "ui/window_context.h"

class QPushButton;

namespace tb::ui {

class frmTBConfig final : public QDialog {
  Q_OBJECT

 public:
  explicit frmTBConfig(WindowContext context, QWidget* parent = nullptr);
  ~frmTBConfig() override;

  // Loads the window and shows it modally; returns once it has closed. A
  // call while the window is already open only brings it forward (the
  // open window's list and edits stay as they are).
  void readTBConfiguration();

  // The settings file, on the window's store and path.
  std::error_code save_config() { return logic_->save_config(); }
  void read_config() { logic_->read_config(); }

  // Loading without showing: what readTBConfiguration does before it
  // waits. Unload drops the list.
  void Form_Load() { logic_->Form_Load(); }
  void Unload() { logic_->Unload(); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QPushButton* cmdOK = nullptr;
  std::unique_ptr<QtWindow> window_;
  std::unique_ptr<QtLabel> lblConf_;
  std::unique_ptr<QtList> lvConf_;
  std::unique_ptr<QtEdit> txtK1K3_;
  std::unique_ptr<QtEdit> txtK1K2_;
  std::unique_ptr<QtEdit> txtHeightChannel_;
  std::unique_ptr<QtEdit> txtFollowRate_;
  std::unique_ptr<SetupWindowLogic> logic_;
};

}  // namespace tb::ui

// frmAbout: the help window on Qt, built from its layout table; its
// behaviour is AboutWindowLogic's. Modeless, one at a time; every opening
// builds it anew.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <memory>

#include "ui/about_window_layout.h"
#include "ui/about_window_logic.h"
#include "ui/qt_controls.h"

namespace tb::ui {

class frmAbout final : public QDialog {
  Q_OBJECT

 public:
  // The Help button: brings the component's open help window forward, or
  // opens a new one (a child window of parent, deleted when closed).
  static frmAbout* ShowHelp(QWidget* parent);
  // The open help window, or null.
  static frmAbout* Open();

  explicit frmAbout(QWidget* parent = nullptr);
  ~frmAbout() override;

  // Fills the texts again; the constructor has done so.
  void Form_Load() { logic_->Form_Load(); }

 private:
  std::unique_ptr<QtWindow> window_;
  std::unique_ptr<QtLabel> lblDescription_;
  std::unique_ptr<AboutWindowLogic> logic_;
};

// The picture in picIcon: a moving head and its beam.
QPixmap AboutPicture();

}  // namespace tb::ui

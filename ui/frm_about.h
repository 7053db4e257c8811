// frmAbout: the help window with the short operator instruction. Modeless,
// one at a time; every opening builds it anew.
#pragma once

#include <QDialog>
#include <QPixmap>

namespace tb::ui {

// The author named in the help window and in the module description.
inline constexpr const char* kAuthor = "TrailBeam Team";

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

  void Form_Load();
  void cmdOK_Click();
};

// The 55 x 55 picture in picIcon: a moving head and its beam.
QPixmap AboutPicture();

}  // namespace tb::ui

// frmTBConfig: the device setup window. Opening it loads TrailBeam.ini into
// the rig store and lists the four devices (name, pan and tilt channel, pan
// and tilt range, pan and tilt fine channel, 0 for none); OK copies the
// list into the device table, ranges limited to 1..1080, and saves the
// file; the close box discards the edits.
#pragma once

#include <QDialog>
#include <string>

#include "ui/window_context.h"

class QLabel;
class QPushButton;

namespace tb::platform {
class ExtLV;
class ListItem;
}  // namespace tb::platform

namespace tb::ui {

// Refused names are told so, and the cell keeps its text.
inline constexpr const char* kNameRefused =
    "This name cannot be stored in TrailBeam.ini: commas, line breaks and characters "
    "outside Windows-1252 are not allowed. The previous name is kept.";

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
  std::error_code save_config();
  void read_config();

  // Loading without showing: what readTBConfiguration does before it
  // waits. Unload drops the list.
  void Form_Load();
  void Unload();

 public slots:
  void cmdOK_Click();
  void lvConf_ItemMouseEvent(tb::platform::ListItem* row, int button, int flag);
  void lvConf_EditEnd(const QString& oldText, const QString& newText);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void AddDeviceRow(int device);

  WindowContext ctx_;
  QLabel* lblConf = nullptr;
  platform::ExtLV* lvConf = nullptr;
  QPushButton* cmdOK = nullptr;
};

}  // namespace tb::ui

// The reference host's window: the stage view, the heads with the marks
// their last save holds, the selected head's pan and tilt faders, follow
// mode as the host sees it, a channel monitor of the universe, and the
// plug-in menu.
#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <vector>

#include "host/interactive/follow_watch.h"
#include "host/interactive/saved_calibration.h"
#include "host/sim/stage_rig.h"
#include "host/sim/universe.h"

class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;

namespace tbhost {

class FollowPanel;
class HeadTable;
class PluginSession;
class StageView;

// All 512 channels as a grid; channels patched to a head carry its colour.
class ChannelMonitor : public QWidget {
  Q_OBJECT

 public:
  ChannelMonitor(const Universe& universe, const StageRig& rig, QWidget* parent = nullptr);
  QSize sizeHint() const override;
  // Repaints the channel's cell when its value differs from the one shown;
  // false (nothing to do) when it does not.
  bool ChannelChanged(int channel);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  static constexpr int kColumns = 32;
  static constexpr int kCellW = 22;
  static constexpr int kCellH = 13;
  static constexpr int kHeaderW = 30;
  const Universe& universe_;
  const StageRig& rig_;
  std::array<std::uint8_t, Universe::kChannels> shown_{};
};

class HostWindow : public QMainWindow {
  Q_OBJECT

 public:
  HostWindow(Universe& universe, const StageRig& rig, QWidget* parent = nullptr);

  // The plug-in the menu talks to; may be null (the menu entries then stay
  // disabled). Not owned.
  void SetSession(PluginSession* session);
  // Sets a head's channels as the operator does with the faders.
  void AimHead(int head, PanTilt dmx);
  void SelectHead(int head);
  void SetMaster(int head);
  int SelectedHead() const;
  StageView* Stage() const { return stage_; }
  const StageRig& Rig() const { return rig_; }
  QWidget* PluginWindow() const { return pluginWindow_; }
  void SetPluginWindow(QWidget* window);
  // What the plug-in's last save holds, by head; `note` says when it was
  // read or why there is nothing.
  void ShowCalibration(const std::vector<SavedDevice>& devices, const QString& note);
  // Follow mode as the reads show it; the stage marks the master while on.
  void ShowFollow(const FollowSeen& seen);
  void ShowMethod(const QString& method);
  // The status bar's standing text; a menu's tips cover it only for a moment.
  void SetStatusText(const QString& text);
  QString StatusText() const;

 signals:
  void configureRequested();
  // The plug-in's main window was handed over (null: none any more).
  void pluginWindowChanged(QWidget* window);

 protected:
  // The host window is the application: closing it ends the session.
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  QWidget* BuildSidePanel();
  QWidget* BuildFaders();
  void Connect();
  void OnUniverseWrite(int channel);
  void SyncFaders();
  void CentreSelected();
  PanTilt CurrentAim(int head) const;

  Universe& universe_;
  const StageRig& rig_;
  PluginSession* session_ = nullptr;
  StageView* stage_ = nullptr;
  HeadTable* heads_ = nullptr;
  QLabel* calibrationNote_ = nullptr;
  QSlider* pan_ = nullptr;
  QSlider* tilt_ = nullptr;
  QSpinBox* panValue_ = nullptr;
  QSpinBox* tiltValue_ = nullptr;
  QPushButton* centre_ = nullptr;
  QLabel* spotInfo_ = nullptr;
  FollowPanel* follow_ = nullptr;
  QLabel* statusText_ = nullptr;
  ChannelMonitor* monitor_ = nullptr;
  QAction* configure_ = nullptr;
  QAction* showMain_ = nullptr;
  QWidget* pluginWindow_ = nullptr;
  bool syncing_ = false;
};

}  // namespace tbhost

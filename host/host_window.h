// The reference host's window: the stage view, the selected head's pan and
// tilt faders, a channel monitor of the universe, and the plug-in menu.
#pragma once

#include <QMainWindow>
#include <vector>

#include "host/stage_rig.h"
#include "host/universe.h"

class QLabel;
class QListWidget;
class QSlider;

namespace tbhost {

class PluginSession;
class StageView;

// All 512 channels as a grid; channels patched to a head carry its colour.
class ChannelMonitor : public QWidget {
  Q_OBJECT

 public:
  ChannelMonitor(const Universe& universe, const StageRig& rig, QWidget* parent = nullptr);
  QSize sizeHint() const override;
  void ChannelChanged(int channel);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  static constexpr int kColumns = 32;
  const Universe& universe_;
  const StageRig& rig_;
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
  QWidget* PluginWindow() const { return pluginWindow_; }
  void SetPluginWindow(QWidget* window) { pluginWindow_ = window; }
  // The status bar's standing text; a menu's tips cover it only for a moment.
  void SetStatusText(const QString& text);
  QString StatusText() const;

 signals:
  void configureRequested();

 protected:
  // The host window is the application: closing it ends the session.
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnUniverseWrite(int channel);
  void SyncFaders();
  PanTilt CurrentAim(int head) const;

  Universe& universe_;
  const StageRig& rig_;
  PluginSession* session_ = nullptr;
  StageView* stage_ = nullptr;
  QListWidget* heads_ = nullptr;
  QSlider* pan_ = nullptr;
  QSlider* tilt_ = nullptr;
  QLabel* panValue_ = nullptr;
  QLabel* tiltValue_ = nullptr;
  QLabel* spotInfo_ = nullptr;
  QLabel* statusText_ = nullptr;
  ChannelMonitor* monitor_ = nullptr;
  QAction* configure_ = nullptr;
  QAction* showMain_ = nullptr;
  QWidget* pluginWindow_ = nullptr;
  bool syncing_ = false;
};

}  // namespace tbhost

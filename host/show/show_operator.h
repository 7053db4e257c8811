// The show box's operator: the steps a person takes in the plug-in's windows
// to put a calibrated rig into follow mode and out of it again, with real
// mouse clicks through the windows. Every message box the plug-in shows is
// read, handed on as it stands, and confirmed with OK.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "host/interactive/plugin_windows.h"
#include "host/session/method_choice.h"
#include "host/show/show_master.h"

class QWidget;

namespace tbhost {

class PluginSession;

class ShowOperator {
 public:
  using Listener = std::function<void(const QString& text)>;
  // `pluginSays` hears each of the plug-in's messages once, in order.
  ShowOperator(PluginSession& session, Listener pluginSays);

  // Opens the device setup window, which makes the plug-in read its
  // TrailBeam.ini, and reads the list. Confirms it with OK when `keep`
  // agrees to the devices; otherwise closes it untouched. False when it was
  // not confirmed, or did not close on OK.
  // `keep` answers why not, or nothing.
  using DevicesCheck = std::function<std::string(const std::vector<ListedDevice>& rows)>;
  bool SetUpDevices(const DevicesCheck& keep);
  bool OpenMainWindow();
  // Picks the master list's entry at `entry`, which must read `name`;
  // false when the plug-in refused it.
  bool PickMaster(int entry, const QString& name);
  bool PickMethod(FollowChoice method);
  // Types the follow height into the main window's height box and confirms
  // it with Enter; false when the box is not offered or refuses it.
  bool SetHeight(double metres);
  // The setup window's height channel field gets this before OK; 0 leaves
  // the field as the file filled it.
  void EnterHeightChannel(int channel) { heightChannel_ = channel; }
  // Presses Enable TB, or Stop TB; true when follow mode is then on, or off.
  bool Enable();
  bool Stop();
  // Whether follow mode runs, as the main window shows it.
  bool Following() const;

  // What went wrong in the last step that failed, as the host tells it.
  const QString& Failure() const { return failure_; }

 private:
  class Watch;
  bool Fail(const QString& why);
  bool ReadDevices(QWidget* dialog, std::vector<ListedDevice>& rows);
  bool PressEnableStop(FollowState wanted);

  PluginSession& session_;
  Listener pluginSays_;
  QStringList messages_;  // every message so far
  qsizetype told_ = 0;    // of which pluginSays_ heard this many
  QWidget* main_ = nullptr;
  QString failure_;
  int heightChannel_ = 0;
};

}  // namespace tbhost

// The plug-in's windows as the interactive host looks after them: the main
// window beside the host's, the device setup from the Plug-in menu, and the
// steps the plug-in leaves to the operator taken for them where that changes
// nothing in the plug-in: a hint to open the device setup first (the plug-in
// reads TrailBeam.ini only then), and the main window opened afresh after
// the setup closed, so that its lists show the devices just set up.
#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace tbhost {

class HostWindow;
class PluginSession;

// Whether follow mode runs, as the main window shows it: its Enable button
// reads "Enable TB" only while follow mode is off.
enum class FollowState { Off, Running, Unknown };
FollowState FollowStateOf(const QWidget* mainWindow);

inline constexpr char kOpenSetupFirst[] =
    "Open Plug-in › Configure devices… first: the plug-in reads its devices from "
    "TrailBeam.ini only then.";
inline constexpr char kSetupOpen[] =
    "Device setup open: OK keeps the devices, and the main window lists them once the setup "
    "has closed.";
inline constexpr char kMainWindowReopened[] =
    "Device setup closed: the main window was opened afresh to list the devices.";
inline constexpr char kMainWindowKept[] =
    "Device setup closed while follow mode runs: the main window lists new devices once "
    "you press Stop TB, close it and choose Plug-in › Show main window.";

class PluginWindows : public QObject {
  Q_OBJECT

 public:
  // Answers the host window's menu from now on. Both must outlive this.
  PluginWindows(PluginSession& session, HostWindow& window);

  // Fetches the main window and shows it to the right of the host window.
  // The main window may greet the operator with a modal message, so this
  // belongs inside the event loop.
  bool ShowMainWindow();
  // Shows the device setup and returns once it has closed; then opens the
  // main window afresh unless follow mode runs (closing the main window
  // would end it).
  void OpenDeviceSetup();
  bool SetupOpened() const { return setupOpened_; }

 private:
  void Report(const std::string& error);

  PluginSession& session_;
  HostWindow& window_;
  bool setupOpened_ = false;
};

}  // namespace tbhost

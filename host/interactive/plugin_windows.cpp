#include "host/interactive/plugin_windows.h"

#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "host/interactive/host_window.h"
#include "host/interactive/window_fit.h"
#include "host/session/plugin_session.h"
#include "orvn/comrt.h"

namespace tbhost {

FollowState FollowStateOf(const QWidget* mainWindow) {
  if (mainWindow == nullptr) return FollowState::Unknown;
  const auto* enable = mainWindow->findChild<QPushButton*>("CmdEnableTB");
  if (enable == nullptr) return FollowState::Unknown;
  // The follow timer, where the window has one by that name, must agree.
  const auto* timer = mainWindow->findChild<QTimer*>("TimerDMX");
  if (enable->text() != "Enable TB" || (timer != nullptr && timer->isActive()))
    return FollowState::Running;
  return FollowState::Off;
}

PluginWindows::PluginWindows(PluginSession& session, HostWindow& window)
    : session_(session), window_(window) {
  window_.SetStatusText(kOpenSetupFirst);
  connect(&window_, &HostWindow::configureRequested, this, &PluginWindows::OpenDeviceSetup);
}

void PluginWindows::Report(const std::string& error) {
  std::fprintf(stderr, "trailbeam-host: %s\n", error.c_str());
  window_.SetStatusText(QString::fromStdString(error));
}

bool PluginWindows::ShowMainWindow() {
  void* widget = nullptr;
  if (orvn::FAILED(session_.ShowMainForm(&widget))) {
    Report(session_.LastError());
    return false;
  }
  auto* form = static_cast<QWidget*>(widget);
  if (form == nullptr) return true;  // the plug-in showed it itself
  if (window_.PluginWindow() != form) {
    window_.SetPluginWindow(form);
    FitWindows(window_, *form);
  }
  form->show();
  form->raise();
  return true;
}

void PluginWindows::OpenDeviceSetup() {
  setupOpened_ = true;
  window_.SetStatusText(kSetupOpen);
  if (orvn::FAILED(session_.Configure())) {
    Report(session_.LastError());
    return;
  }
  QWidget* form = window_.PluginWindow();
  if (form != nullptr && FollowStateOf(form) != FollowState::Off) {
    window_.SetStatusText(kMainWindowKept);
    return;
  }
  // Closing unloads the main window; showing loads it again, lists and all.
  if (form != nullptr && form->isVisible()) form->close();
  window_.SetStatusText(kMainWindowReopened);
  ShowMainWindow();
}

}  // namespace tbhost

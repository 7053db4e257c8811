#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "host/host_modes.h"
#include "host/interactive/host_window.h"
#include "host/interactive/interactive_feedback.h"
#include "host/interactive/plugin_windows.h"
#include "host/interactive/window_fit.h"
#include "host/session/plugin_session.h"

namespace tbhost {

int RunInteractive(HostParts& parts, QApplication& app) {
  HostWindow& window = parts.window;
  PluginSession& session = parts.session;
  FollowMonitor follow(*session.Helper(), window);
  SavedMarksWatch marks(SettingsFileBeside(session.ModulePath()), window);
  PluginWindows plugin(session, window);
  // Until the plug-in's main window comes and both are placed side by side.
  if (const QScreen* screen = window.screen())
    window.resize(kHostPreferred.boundedTo(screen->availableGeometry().size()));
  window.show();
  // Shown from inside the event loop: the main window may greet the operator
  // with a modal message.
  QTimer::singleShot(0, &plugin, [&plugin] { plugin.ShowMainWindow(); });
  return app.exec();
}

}  // namespace tbhost

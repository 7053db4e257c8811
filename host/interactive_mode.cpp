#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <vector>

#include "host/host_modes.h"
#include "host/host_window.h"
#include "host/plugin_session.h"
#include "host/plugin_windows.h"

namespace tbhost {

int RunInteractive(HostParts& parts, QApplication& app) {
  HostWindow& window = parts.window;
  PluginSession& session = parts.session;
  const StageRig& rig = parts.rig;
  // The master is the head whose channels the plug-in reads at the follow
  // timer's pace; Get Value reads are far rarer.
  QElapsedTimer clock;
  clock.start();
  std::vector<qint64> lastPanRead(rig.heads.size(), -1000000);
  session.Helper()->SetReadObserver([&](std::int32_t channel, std::int32_t) {
    for (std::size_t h = 0; h < rig.heads.size(); ++h) {
      if (rig.heads[h].panChannel != channel) continue;
      const qint64 now = clock.elapsed();
      const qint64 gap = now - lastPanRead[h];
      lastPanRead[h] = now;
      if (gap >= 50 && gap <= 250) window.SetMaster(static_cast<int>(h));
    }
  });
  PluginWindows plugin(session, window);
  window.resize(1000, 760);
  window.move(20, 20);
  window.show();
  // Shown from inside the event loop: the main window may greet the operator
  // with a modal message.
  QTimer::singleShot(0, &plugin, [&plugin] { plugin.ShowMainWindow(); });
  const int status = app.exec();
  session.Helper()->SetReadObserver(nullptr);
  return status;
}

}  // namespace tbhost

#include <QApplication>
#include <QGuiApplication>
#include <chrono>
#include <cstdio>

#include "host/demo/demo.h"
#include "host/host_modes.h"
#include "host/host_startup.h"
#include "host/interactive/host_window.h"
#if TB_HOST_OLA
#include "host/ola/ola_bridge.h"
#endif
#include "host/session/plugin_session.h"
#include "rig/rig_store.h"

namespace tbhost {

int RunFollow(HostParts& parts, const HostOptions& options, QApplication& app) {
  parts.window.resize(1000, 760);
  parts.window.move(0, 0);
  parts.window.show();
  DemoSettings settings;
  settings.master = parts.rig.master;
  settings.rate = options.rate.value_or(settings.rate);
  settings.methods = {options.method.value_or(FollowChoice::Linear)};
  settings.aimNoiseCm = options.aimNoiseCm.value_or(0.0);
  Demo run(parts.rig, parts.universe, parts.counts, parts.window, parts.session, settings);
  QString failure;
  if (!run.StartFollowing(failure)) return Fail(failure.toStdString());
  // Headless, nobody sees the stage: drawing it on every tick of a moving
  // master would cost more than following does.
  if (QGuiApplication::platformName() == "offscreen") parts.window.hide();
  const MovingHead& master = parts.rig.heads[static_cast<std::size_t>(settings.master)];
  std::printf(
      "follow mode on: rig \"%s\", master \"%s\" on channels %d/%d, method %s, %d ticks a "
      "second\n",
      parts.rig.name.c_str(), master.name.c_str(), master.panChannel, master.tiltChannel,
      MethodText(settings.methods.front()).toUtf8().constData(), settings.rate);
  std::fflush(stdout);
#if TB_HOST_OLA
  // Each tick begins with a read of the master's pan channel; the bridge
  // sends what it wrote as soon as it has run.
  if (parts.ola != nullptr) {
    const std::chrono::milliseconds period(tb::FollowIntervalMs(settings.rate));
    parts.session.Helper()->SetReadObserver(
        [ola = parts.ola, period, pan = master.panChannel](std::int32_t channel, std::int32_t) {
          if (channel == pan) ola->FollowTicked(period);
        });
  }
#endif
  const int status = app.exec();
  parts.session.Helper()->SetReadObserver(nullptr);
  return status;
}

}  // namespace tbhost

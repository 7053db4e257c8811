#include <cstdio>

#include "host/demo.h"
#include "host/host_modes.h"
#include "host/host_window.h"

namespace tbhost {

int RunDemo(HostParts& parts, const HostOptions& options) {
  parts.window.resize(1000, 760);
  parts.window.move(0, 0);
  parts.window.show();
  DemoSettings settings;
  settings.seconds = options.seconds;
  settings.png = QString::fromStdString(options.png.empty() ? "trailbeam-demo.png" : options.png);
  settings.report = QString::fromStdString(options.report);
  settings.screenshot = QString::fromStdString(options.screenshot);
  Demo run(parts.rig, parts.universe, parts.counts, parts.window, parts.session, settings);
  const DemoOutcome outcome = run.Run();
  std::fputs(Demo::ReportText(parts.rig, settings, outcome).toUtf8().constData(), stdout);
  QString error;
  bool written = Demo::WritePicture(parts.rig, settings, outcome, error);
  written = Demo::WriteJson(parts.rig, settings, outcome, error) && written;
  if (!written)
    std::fprintf(stderr, "trailbeam-host: %s\n", error.toUtf8().constData());
  else
    std::printf("\npicture of the stage: %s\n", settings.png.toUtf8().constData());
  return outcome.completed && written ? 0 : 1;
}

}  // namespace tbhost

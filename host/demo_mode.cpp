#include <cstdio>

#include "host/demo/demo.h"
#include "host/demo/demo_json.h"
#include "host/demo/demo_picture.h"
#include "host/demo/demo_report.h"
#include "host/host_modes.h"
#include "host/interactive/host_window.h"
#include "host/output_files.h"

namespace tbhost {

int RunDemo(HostParts& parts, const HostOptions& options) {
  parts.window.resize(1000, 760);
  parts.window.move(0, 0);
  parts.window.show();
  DemoSettings settings;
  settings.seconds = options.seconds;
  settings.height = options.height.value_or(0.0);
  settings.rate = options.rate.value_or(settings.rate);
  settings.metric = options.height.has_value();
  settings.aimNoiseCm = options.aimNoiseCm.value_or(0.0);
  settings.master = parts.rig.master;
  if (options.compare)
    settings.methods.assign(kAllMethods.begin(), kAllMethods.end());
  else
    settings.methods = {options.method.value_or(FollowChoice::Linear)};
  settings.png = QString::fromStdString(options.png.empty() ? kDefaultDemoPicture : options.png);
  settings.report = QString::fromStdString(options.report);
  settings.screenshot = QString::fromStdString(options.screenshot);
  Demo run(parts.rig, parts.universe, parts.counts, parts.window, parts.session, settings);
  const DemoOutcome outcome = run.Run();
  std::fputs(DemoReportText(parts.rig, settings, outcome).toUtf8().constData(), stdout);
  // Every file is tried: one that fails does not keep the others unwritten.
  bool written = true;
  auto note = [&written](bool ok, const QString& error) {
    if (!ok) std::fprintf(stderr, "trailbeam-host: %s\n", error.toUtf8().constData());
    written = written && ok;
    return ok;
  };
  QString error;
  if (note(WriteDemoPicture(parts.rig, settings, outcome, error), error))
    std::printf("\npicture of the stage: %s\n", settings.png.toUtf8().constData());
  note(WriteDemoJson(parts.rig, settings, outcome, error), error);
  note(WriteDemoScreenshot(settings, outcome, error), error);
  return outcome.completed && written ? 0 : 1;
}

}  // namespace tbhost

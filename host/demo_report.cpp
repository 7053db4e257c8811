#include "host/demo_report.h"

namespace tbhost {

QString DemoReportText(const StageRig& rig, const DemoSettings& settings,
                       const DemoOutcome& outcome) {
  QString out;
  const auto& master = rig.heads[static_cast<std::size_t>(settings.master)];
  out += QString("TrailBeam demo: %1 heads on a %2 x %3 m stage, master \"%4\" (channels %5/%6)\n")
             .arg(rig.heads.size())
             .arg(rig.width)
             .arg(rig.depth)
             .arg(QString::fromStdString(master.name))
             .arg(master.panChannel)
             .arg(master.tiltChannel);
  if (!outcome.completed) out += "SESSION INCOMPLETE: " + outcome.failure + "\n";
  const HostCallCounts& f = outcome.followCalls;
  out +=
      QString("follow ticks run: %1 in %2 s\n").arg(outcome.samples.size()).arg(settings.seconds);
  out += QString(
             "host calls during follow mode: %1 (ReadChannel %2, Output %3, WriteChannel %4), "
             "failed %5\n")
             .arg(f.Total())
             .arg(f.reads)
             .arg(f.outputsFetched)
             .arg(f.writes)
             .arg(f.failed);
  out += QString("host calls in the whole session: %1, output objects still held: %2\n")
             .arg(outcome.allCalls.Total())
             .arg(outcome.allCalls.outputsAlive);
  out += "messages shown by the plug-in: " +
         (outcome.messages.isEmpty() ? QString("none")
                                     : "\"" + outcome.messages.join("\", \"") + "\"") +
         "\n\n";
  out += "distance on the stage floor between the master's spot and each slave's spot (m):\n";
  out += QString("  %1 %2 %3 %4 %5 %6\n")
             .arg("slave", -10)
             .arg("zone", -5)
             .arg("ticks", 6)
             .arg("mean", 7)
             .arg("p95", 7)
             .arg("max", 7);
  for (std::size_t h = 0; h < outcome.report.bySlave.size(); ++h) {
    if (static_cast<int>(h) == settings.master) continue;
    for (int z = 0; z < kZoneCount; ++z) {
      const ErrorSummary& s = outcome.report.bySlave[h][z];
      if (s.count == 0 && s.noSpot == 0 && z != 0) continue;
      out +=
          QString("  %1 %2 %3 %4 %5 %6%7\n")
              .arg(z == 0 ? QString::fromStdString(rig.heads[h].name) : QString(), -10)
              .arg(ZoneName(z), -5)
              .arg(s.count, 6)
              .arg(s.mean, 7, 'f', 3)
              .arg(s.p95, 7, 'f', 3)
              .arg(s.max, 7, 'f', 3)
              .arg(s.noSpot > 0 ? QString("  (%1 ticks off the floor)").arg(s.noSpot) : QString());
    }
  }
  return out;
}

}  // namespace tbhost

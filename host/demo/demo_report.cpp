#include "host/demo/demo_report.h"

namespace tbhost {
namespace {

QString Name(const std::string& name) { return QString::fromStdString(name); }

QString Header(const StageRig& rig, const DemoSettings& settings, const DemoOutcome& outcome) {
  const auto& master = rig.heads[static_cast<std::size_t>(settings.master)];
  QString out = QString(
                    "TrailBeam demo: rig \"%1\", %2 heads on a %3 x %4 m stage, master \"%5\" "
                    "(channels %6/%7)%8\n")
                    .arg(Name(rig.name))
                    .arg(rig.heads.size())
                    .arg(rig.width)
                    .arg(rig.depth)
                    .arg(Name(master.name))
                    .arg(master.panChannel)
                    .arg(master.tiltChannel)
                    .arg(master.panFineChannel != 0 ? ", 16-bit with fine channels" : "");
  if (!outcome.completed) out += "SESSION INCOMPLETE: " + outcome.failure + "\n";
  out += QString("host calls in the whole session: %1, output objects still held: %2\n")
             .arg(outcome.allCalls.Total())
             .arg(outcome.allCalls.outputsAlive);
  out += "messages shown by the plug-in: " +
         (outcome.messages.isEmpty() ? QString("none")
                                     : "\"" + outcome.messages.join("\", \"") + "\"") +
         "\n";
  return out;
}

// On the floor the beams end in spots; at a height they pass the performer.
QString Between(const DemoSettings& settings) {
  return settings.height > 0 ? "the master's beam and each slave's beam"
                             : "the master's spot and each slave's spot";
}

QString FollowCalls(const MethodRun& run, double seconds, int rate) {
  const HostCallCounts& f = run.followCalls;
  return QString("follow ticks run: %1 in %2 s at %3 a second\n")
             .arg(run.samples.size())
             .arg(seconds)
             .arg(rate) +
         QString(
             "host calls during follow mode: %1 (ReadChannel %2, Output %3, WriteChannel %4), "
             "failed %5\n")
             .arg(f.Total())
             .arg(f.reads)
             .arg(f.outputsFetched)
             .arg(f.writes)
             .arg(f.failed);
}

QString SlaveTable(const StageRig& rig, const DemoSettings& settings, const MethodRun& run) {
  const int master = settings.master;
  QString out =
      "distance " + PlaneText(settings.height) + " between " + Between(settings) + " (m):\n";
  out += QString("  %1 %2 %3 %4 %5 %6\n")
             .arg("slave", -10)
             .arg("zone", -5)
             .arg("ticks", 6)
             .arg("mean", 7)
             .arg("p95", 7)
             .arg("max", 7);
  for (std::size_t h = 0; h < run.report.bySlave.size(); ++h) {
    if (static_cast<int>(h) == master) continue;
    for (int z = 0; z < kZoneCount; ++z) {
      const ErrorSummary& s = run.report.bySlave[h][z];
      if (s.count == 0 && s.noSpot == 0 && z != 0) continue;
      out +=
          QString("  %1 %2 %3 %4 %5 %6%7\n")
              .arg(z == 0 ? Name(rig.heads[h].name) : QString(), -10)
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

QString Figures(const ErrorSummary& s) {
  return QString("%1 %2 %3").arg(s.mean, 7, 'f', 3).arg(s.p95, 7, 'f', 3).arg(s.max, 7, 'f', 3);
}

// What the figures leave out or hold, when there is anything.
QString Exceptions(const Accuracy& a, const QString& prefix) {
  QString out;
  if (a.error.noSpot > 0)
    out += prefix + QString("%1 slave ticks with the beam off the floor, not in the figures\n")
                        .arg(a.error.noSpot);
  if (a.ideal.noSpot > 0)
    out += prefix + QString(
                        "%1 slave ticks where the head cannot reach the master's spot, not in "
                        "the ideal figures\n")
                        .arg(a.ideal.noSpot);
  if (a.held > 0)
    out += prefix + QString(
                        "%1 slave ticks held by the method (no writes), counted where the "
                        "slave stood\n")
                        .arg(a.held);
  return out;
}

QString AccuracyLines(const Accuracy& a, const QString& bits) {
  QString out = QString("every slave and every tick together (m): %1 %2 %3\n")
                    .arg("mean", 7)
                    .arg("p95", 7)
                    .arg("max", 7);
  out += QString("  %1 %2\n").arg("followed", -38).arg(Figures(a.error));
  out += QString("  %1 %2\n").arg("ideal (aimed exactly, " + bits + ")", -38).arg(Figures(a.ideal));
  return out + Exceptions(a, "  ");
}

QString CompareTable(const DemoSettings& settings, const DemoOutcome& outcome,
                     const QString& bits) {
  QString out = QString(
                    "follow mode once per method, %1 s each on the same path and calibration; "
                    "distance %3 between %4 (m), "
                    "every slave and every tick; ideal: each slave aimed exactly and rounded to "
                    "%2 (mean):\n")
                    .arg(settings.seconds)
                    .arg(bits)
                    .arg(PlaneText(settings.height), Between(settings));
  out += QString("  %1 %2 %3 %4 %5 %6\n")
             .arg("method", -20)
             .arg("ticks", 6)
             .arg("mean", 7)
             .arg("p95", 7)
             .arg("max", 7)
             .arg("ideal", 7);
  for (const MethodRun& run : outcome.runs) {
    const Accuracy& a = run.accuracy;
    out += QString("  %1 %2 %3 %4\n")
               .arg(RunText(run, settings), -20)
               .arg(run.samples.size(), 6)
               .arg(Figures(a.error))
               .arg(a.ideal.mean, 7, 'f', 3);
    out += Exceptions(a, "    " + RunText(run, settings) + ": ");
  }
  return out;
}

// The fit's head positions beside the true ones; the sim knows where the
// heads hang, an operator would not.
QString StageLines(const StageRig& rig, const DemoSettings& settings, const DemoOutcome& outcome) {
  if (!settings.metric || !outcome.completed) return {};
  if (!outcome.stage.solved)
    return "stage fit: not solved (" + QString::fromStdString(outcome.stage.why) + ")\n";
  QString out =
      "stage fit, head positions as it estimates them (not measurements): distance from where "
      "the head hangs, largest point residual in the head's own values\n";
  for (const HeadEstimate& e : outcome.stage.heads)
    out += QString("  %1 %2 m %3\n")
               .arg(Name(rig.heads[e.head].name), -10)
               .arg(e.offBy, 7, 'f', 3)
               .arg(e.largestSteps, 7, 'f', 2);
  return out;
}

}  // namespace

QString IdealResolution(const StageRig& rig, int master) {
  const bool fine = master >= 0 && static_cast<std::size_t>(master) < rig.heads.size() &&
                    rig.heads[static_cast<std::size_t>(master)].panFineChannel != 0;
  return fine ? "16 bit" : "8 bit";
}

QString DemoReportText(const StageRig& rig, const DemoSettings& settings,
                       const DemoOutcome& outcome) {
  QString out = Header(rig, settings, outcome);
  const QString bits = IdealResolution(rig, settings.master);
  out += StageLines(rig, settings, outcome);
  if (PlanRuns(settings).size() > 1) return out + "\n" + CompareTable(settings, outcome, bits);
  for (const MethodRun& run : outcome.runs) {
    out += "method: " + RunText(run, settings) + "\n";
    out += FollowCalls(run, settings.seconds, settings.rate) + "\n";
    out += SlaveTable(rig, settings, run) + "\n";
    out += AccuracyLines(run.accuracy, bits);
  }
  return out;
}

}  // namespace tbhost

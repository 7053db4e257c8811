#include "host/demo/demo_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace tbhost {
namespace {

QJsonArray Pair(PanTilt p) { return QJsonArray{p.pan, p.tilt}; }

QJsonObject Calls(const HostCallCounts& c) {
  return QJsonObject{{"reads", double(c.reads)},
                     {"outputs", double(c.outputsFetched)},
                     {"writes", double(c.writes)},
                     {"failed", double(c.failed)},
                     {"outputsAlive", double(c.outputsAlive)}};
}

// noSpot: the slave ticks left out of the figures (see Accuracy).
QJsonObject Figures(const ErrorSummary& s) {
  return QJsonObject{{"mean", s.mean},
                     {"p95", s.p95},
                     {"max", s.max},
                     {"count", double(s.count)},
                     {"noSpot", double(s.noSpot)}};
}

QJsonArray Heads(const StageRig& rig, const DemoOutcome& outcome) {
  QJsonArray heads;
  for (std::size_t h = 0; h < rig.heads.size(); ++h) {
    const MovingHead& head = rig.heads[h];
    QJsonObject entry{{"name", QString::fromStdString(head.name)},
                      {"panChannel", head.panChannel},
                      {"tiltChannel", head.tiltChannel},
                      {"panRange", head.panRangeDeg},
                      {"tiltRange", head.tiltRangeDeg}};
    // Present with fine channels: every pair of the head is then 16-bit.
    if (head.panFineChannel != 0) entry["panFineChannel"] = head.panFineChannel;
    if (head.tiltFineChannel != 0) entry["tiltFineChannel"] = head.tiltFineChannel;
    QJsonArray cal;
    if (h < outcome.calibration.size())
      for (const PanTilt& p : outcome.calibration[h]) cal.append(Pair(p));
    entry["calibration"] = cal;
    // Where the stage fit put the head: its estimate, beside the truth.
    for (const HeadEstimate& e : outcome.stage.heads) {
      if (e.head != h) continue;
      entry["solvedPosition"] = QJsonArray{e.place.x, e.place.y, e.height};
      entry["solvedError"] = e.offBy;
      entry["largestResidualSteps"] = e.largestSteps;
    }
    heads.append(entry);
  }
  return heads;
}

// One method's follow session; a single run's fields stand at the top level.
void AddRun(QJsonObject& into, const MethodRun& run) {
  into["method"] = MethodText(run.method);
  into["followHeight"] = run.followHeight;
  into["error"] = Figures(run.accuracy.error);
  into["ideal"] = Figures(run.accuracy.ideal);
  into["held"] = double(run.accuracy.held);
  into["followCalls"] = Calls(run.followCalls);
  QJsonArray ticks;
  for (const TickSample& s : run.samples) {
    QJsonArray at;
    for (const PanTilt& p : s.heads) at.append(Pair(p));
    ticks.append(QJsonObject{
        {"zone", s.zone}, {"master", Pair(s.master)}, {"heads", at}, {"writes", s.writes}});
  }
  into["ticks"] = ticks;
}

}  // namespace

bool WriteDemoJson(const StageRig& rig, const DemoSettings& settings, const DemoOutcome& outcome,
                   QString& error) {
  if (settings.report.isEmpty()) return true;
  QJsonObject root;
  root["completed"] = outcome.completed;
  root["failure"] = outcome.failure;
  root["rig"] = QString::fromStdString(rig.name);
  root["master"] = settings.master;
  root["seconds"] = settings.seconds;
  root["height"] = settings.height;
  root["rate"] = settings.rate;
  root["aimNoiseCm"] = settings.aimNoiseCm;
  if (settings.metric)
    root["stage"] = QJsonObject{{"solved", outcome.stage.solved},
                                {"why", QString::fromStdString(outcome.stage.why)}};
  root["messages"] = QJsonArray::fromStringList(outcome.messages);
  root["allCalls"] = Calls(outcome.allCalls);
  root["heads"] = Heads(rig, outcome);
  if (PlanRuns(settings).size() > 1) {
    QJsonArray runs;
    for (const MethodRun& run : outcome.runs) {
      QJsonObject entry;
      AddRun(entry, run);
      runs.append(entry);
    }
    root["runs"] = runs;
  } else if (!outcome.runs.empty()) {
    AddRun(root, outcome.runs.front());
  } else if (!settings.methods.empty()) {
    root["method"] = MethodText(settings.methods.front());
  }
  QSaveFile file(settings.report);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) < 0 || !file.commit()) {
    error = "could not write " + settings.report + ": " + file.errorString();
    return false;
  }
  return true;
}

}  // namespace tbhost

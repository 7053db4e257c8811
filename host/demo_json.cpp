#include "host/demo_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace tbhost {

bool WriteDemoJson(const StageRig& rig, const DemoSettings& settings, const DemoOutcome& outcome,
                   QString& error) {
  if (settings.report.isEmpty()) return true;
  auto pair = [](PanTilt p) { return QJsonArray{p.pan, p.tilt}; };
  auto calls = [](const HostCallCounts& c) {
    return QJsonObject{{"reads", double(c.reads)},
                       {"outputs", double(c.outputsFetched)},
                       {"writes", double(c.writes)},
                       {"failed", double(c.failed)},
                       {"outputsAlive", double(c.outputsAlive)}};
  };
  QJsonObject root;
  root["completed"] = outcome.completed;
  root["failure"] = outcome.failure;
  root["master"] = settings.master;
  root["seconds"] = settings.seconds;
  root["messages"] = QJsonArray::fromStringList(outcome.messages);
  root["followCalls"] = calls(outcome.followCalls);
  root["allCalls"] = calls(outcome.allCalls);
  QJsonArray heads;
  for (std::size_t h = 0; h < rig.heads.size(); ++h) {
    QJsonObject head{{"name", QString::fromStdString(rig.heads[h].name)},
                     {"panChannel", rig.heads[h].panChannel},
                     {"tiltChannel", rig.heads[h].tiltChannel}};
    QJsonArray cal;
    if (h < outcome.calibration.size())
      for (const PanTilt& p : outcome.calibration[h]) cal.append(pair(p));
    head["calibration"] = cal;
    heads.append(head);
  }
  root["heads"] = heads;
  QJsonArray ticks;
  for (const TickSample& s : outcome.samples) {
    QJsonArray at;
    for (const PanTilt& p : s.heads) at.append(pair(p));
    ticks.append(QJsonObject{{"zone", s.zone}, {"master", pair(s.master)}, {"heads", at}});
  }
  root["ticks"] = ticks;
  QSaveFile file(settings.report);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) < 0 || !file.commit()) {
    error = "could not write " + settings.report + ": " + file.errorString();
    return false;
  }
  return true;
}

}  // namespace tbhost

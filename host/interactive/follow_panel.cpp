#include "host/interactive/follow_panel.h"

#include <QFormLayout>
#include <QLabel>

namespace tbhost {

int MasterHead(const StageRig& rig, const FollowSeen& seen) {
  if (!seen.on) return -1;
  for (std::size_t h = 0; h < rig.heads.size(); ++h)
    if (rig.heads[h].panChannel == seen.panChannel &&
        (seen.tiltChannel == 0 || rig.heads[h].tiltChannel == seen.tiltChannel))
      return static_cast<int>(h);
  return -1;
}

QString FollowStateText(const FollowSeen& seen) {
  if (!seen.on) return "Off";
  if (seen.ticksPerSecond <= 0) return "On";
  return QString("On · %1 ticks/s").arg(seen.ticksPerSecond);
}

QString MasterText(const StageRig& rig, const FollowSeen& seen) {
  if (!seen.on) return "none";
  const QString channels = seen.tiltChannel != 0
                               ? QString("ch %1/%2").arg(seen.panChannel).arg(seen.tiltChannel)
                               : QString("ch %1").arg(seen.panChannel);
  const int head = MasterHead(rig, seen);
  if (head < 0) return channels;
  return QString("%1 (%2)").arg(
      QString::fromStdString(rig.heads[static_cast<std::size_t>(head)].name), channels);
}

FollowPanel::FollowPanel(const StageRig& rig, QWidget* parent)
    : QGroupBox("Follow mode", parent), rig_(rig) {
  setObjectName("followPanel");
  setToolTip("Seen from outside: the plug-in reads the master's pan and tilt on every tick.");
  state_ = new QLabel;
  state_->setObjectName("followState");
  master_ = new QLabel;
  master_->setObjectName("followMaster");
  method_ = new QLabel;
  method_->setObjectName("followMethod");
  auto* form = new QFormLayout(this);
  form->setContentsMargins(8, 4, 8, 4);
  form->setVerticalSpacing(2);
  form->addRow("State", state_);
  form->addRow("Master", master_);
  form->addRow("Method", method_);
  ShowSeen({});
  ShowMethod({});
}

void FollowPanel::ShowSeen(const FollowSeen& seen) {
  state_->setText(FollowStateText(seen));
  master_->setText(MasterText(rig_, seen));
}

void FollowPanel::ShowMethod(const QString& method) {
  method_->setText(method.isEmpty() ? "–" : method);
}

}  // namespace tbhost

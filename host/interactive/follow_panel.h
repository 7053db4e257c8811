// Follow mode at a glance: on or off and the tick rate, as the plug-in's
// reads show them, the master they read, and the method picked in the
// plug-in's main window. Texts change only when what they show changes.
#pragma once

#include <QGroupBox>

#include "host/interactive/follow_watch.h"
#include "host/sim/stage_rig.h"

class QLabel;

namespace tbhost {

class FollowPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit FollowPanel(const StageRig& rig, QWidget* parent = nullptr);
  void ShowSeen(const FollowSeen& seen);
  // Empty when the main window is not open.
  void ShowMethod(const QString& method);

 private:
  const StageRig& rig_;
  QLabel* state_ = nullptr;
  QLabel* master_ = nullptr;
  QLabel* method_ = nullptr;
};

// The head whose pan and tilt are `seen`'s master channels, or -1.
int MasterHead(const StageRig& rig, const FollowSeen& seen);
// "On · 10 ticks/s", "Off".
QString FollowStateText(const FollowSeen& seen);
// "Truss R (ch 3/4)", "ch 9/10" for channels no head of the rig has, "none".
QString MasterText(const StageRig& rig, const FollowSeen& seen);

}  // namespace tbhost

// The headless operator session: sets up the devices in the plug-in's setup
// window, calibrates every head on the five marks, picks the master, then
// for each method asked for picks it and runs follow mode while the master
// travels over the stage, and reports how closely the slaves followed.
// Everything goes through the plug-in's own windows and the binary
// interface, as an operator and a host would.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <vector>

#include "host/session/channel_helper.h"
#include "host/session/method_choice.h"
#include "host/sim/follow_stats.h"
#include "host/sim/stage_estimate.h"
#include "host/sim/stage_rig.h"

namespace tbhost {

class HostWindow;
class PluginSession;

struct DemoSettings {
  double seconds = 6.0;  // of follow mode, per method
  // The performer's height in metres: the master lights the point at that
  // height and every error is measured there. With `metric` the operator
  // types the K1-K3 length in the device setup, and the
  // trigonometric method is played once on the floor (height box 0) and
  // once with the box at this height.
  double height = 0.0;
  bool metric = false;
  // Centimetres of spread (one standard deviation on each axis) with which
  // the operator hits each mark while calibrating; 0: exactly.
  double aimNoiseCm = 0.0;
  int rate = 10;   // follow ticks a second, typed into the device setup
  int master = 1;  // rig index of the master head
  // Played in this order, each on the same path and the same calibration.
  std::vector<FollowChoice> methods = {FollowChoice::Linear};
  QString png;         // picture of the stage with the traces; empty: none
  QString report;      // JSON with every tick; empty: none
  QString screenshot;  // the screen halfway through follow mode; empty: none
};

// One method's follow session.
struct MethodRun {
  FollowChoice method = FollowChoice::Linear;
  double followHeight = 0.0;  // in the main window's height box during the run
  std::vector<TickSample> samples;
  HostCallCounts followCalls;  // host calls made during follow mode
  FollowReport report;         // by slave and zone
  Accuracy accuracy;           // every slave and tick together
};

struct DemoOutcome {
  bool completed = false;  // every step of the session ran
  QString failure;         // the step that did not, and why
  QStringList messages;    // texts of the plug-in's message boxes, in order
  std::vector<std::array<PanTilt, 5>> calibration;  // by head, as taken over
  std::vector<MethodRun> runs;                      // those that reached follow mode
  StageEstimate stage;  // with the lengths typed: the fit's head positions
  HostCallCounts allCalls;
  QImage screenshot;  // the screen halfway through follow mode, when asked for
};

QString MethodText(FollowChoice method);
// The run as reports name it: the method, and with metric lengths the
// height box's value for the trigonometric method ("trigonometric 1.50 m").
QString RunText(const MethodRun& run, const DemoSettings& settings);
// Where the demo's errors are measured: "on the stage floor" or "at 1.50 m
// above the floor".
QString PlaneText(double height);

// Where along the demo's path the master points after `elapsed` of `total`
// seconds: a short rest on KM, then a figure over the area the marks span.
FloorPoint DemoPath(const StageRig& rig, double elapsed, double total);

// The methods and heights a demo plays: each method on the floor, and with
// metric lengths the trigonometric method also at `height` right after it.
struct PlannedRun {
  FollowChoice method = FollowChoice::Linear;
  double followHeight = 0.0;
};
std::vector<PlannedRun> PlanRuns(const DemoSettings& settings);

class Demo {
 public:
  Demo(const StageRig& rig, Universe& universe, HostCallCounts& counts, HostWindow& window,
       PluginSession& session, DemoSettings settings);
  DemoOutcome Run();
  // The session up to Enable TB with the first method, for a host that then
  // keeps following (the master played from outside, e.g. a console).
  // False, with the reason in `failure`, when a step did not run.
  bool StartFollowing(QString& failure);

 private:
  bool RigFits();
  bool SetUpDevices();
  bool TypeDevices(QWidget* dialog);
  bool TypeRate(QWidget* dialog);
  bool ShowMainWindow();
  bool Calibrate();
  bool ChooseMaster();
  bool PickMethod(FollowChoice method);
  bool TypeLengths(QWidget* dialog);
  bool TypeHeight(double metres);
  bool FollowWith(PlannedRun plan);
  bool Follow(MethodRun& run);
  // Moves the master along the path for the demo's seconds while the event
  // loop runs the plug-in's ticks; grabs the screen halfway when asked to.
  void MoveMaster();
  bool Fail(const QString& why);

  const StageRig& rig_;
  Universe& universe_;
  HostCallCounts& counts_;
  HostWindow& window_;
  PluginSession& session_;
  DemoSettings settings_;
  DemoOutcome outcome_;
  QWidget* mainForm_ = nullptr;
};

}  // namespace tbhost

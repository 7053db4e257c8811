// The show box: what an operator does at the start and the end of a show,
// done headless on the rig they calibrated in the module's own
// TrailBeam.ini. Between the two, the console plays the master through OLA
// and the plug-in's ticks drive the slaves; the box only tells how it goes.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host/host_modes.h"
#include "host/host_startup.h"
#include "host/session/channel_helper.h"
#if TB_HOST_OLA
#include "host/ola/ola_bridge.h"
#endif
#include "host/session/plugin_session.h"
#include "host/show/run_status.h"
#include "host/show/show_master.h"
#include "host/show/show_operator.h"
#include "host/show/show_rig.h"
#include "rig/rig_store.h"

namespace fs = std::filesystem;

namespace tbhost {
namespace {

constexpr int kStatusEveryMs = 60 * 1000;

void Say(const std::string& text) {
  std::fprintf(stderr, "trailbeam-host: %s\n", text.c_str());
  std::fflush(stderr);
}

// A channel cell as the setup window fills it: a plain decimal number.
int CellChannel(const std::string& text) {
  int value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : -1;
}

std::int64_t SteadySecond() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Counts the follow ticks (each begins with a read of the master's pan
// channel) and prints the status line when asked, once a minute and on
// every change of the OLA state. Tells the OLA bridge of every tick, so
// that the slaves leave as soon as the tick has written them.
class StatusReporter {
 public:
  StatusReporter(ShowParts& parts, const ShowOperator& op, const ListedDevice& master, int device,
                 FollowChoice method, int rate)
      : parts_(parts), op_(op), masterPan_(CellChannel(master.pan)) {
    status_.master = "\"" + master.name + "\" (device " + std::to_string(device) + ", channels " +
                     master.pan + "/" + master.tilt + ")";
    status_.method = std::string(MethodName(method));
    const std::chrono::milliseconds period(tb::FollowIntervalMs(rate));
    parts_.session.Helper()->SetReadObserver([this, period](std::int32_t channel, std::int32_t) {
      if (channel != masterPan_) return;
      ticks_.Add(SteadySecond());
#if TB_HOST_OLA
      if (parts_.ola != nullptr) parts_.ola->FollowTicked(period);
#endif
    });
  }
  ~StatusReporter() { parts_.session.Helper()->SetReadObserver(nullptr); }
  StatusReporter(const StatusReporter&) = delete;
  StatusReporter& operator=(const StatusReporter&) = delete;

  void Start() {
    Print();
    minute_.setTimerType(Qt::VeryCoarseTimer);
    QObject::connect(&minute_, &QTimer::timeout, [this] { Print(); });
    minute_.start(kStatusEveryMs);
#if TB_HOST_OLA
    if (parts_.ola != nullptr) {
      QObject::connect(parts_.ola, &OlaBridge::stateChanged, &minute_,
                       [this, last = parts_.ola->CurrentState()](OlaBridge::State state,
                                                                 const QString&) mutable {
                         if (state == last) return;
                         last = state;
                         Print();
                       });
    }
#endif
  }

  void Print() {
    status_.following = op_.Following();
    status_.ticksLastMinute = ticks_.Count(SteadySecond());
    status_.writes = parts_.counts.writes;
    status_.failedCalls = parts_.counts.failed;
    status_.ola = "OLA: not built in";
#if TB_HOST_OLA
    if (parts_.ola != nullptr) status_.ola = parts_.ola->StatusText().toStdString();
#endif
    Say(StatusLine(status_));
  }

 private:
  ShowParts& parts_;
  const ShowOperator& op_;
  const int masterPan_;
  LastMinuteCount ticks_;
  RunStatus status_;
  QTimer minute_;
};

// The operator's steps up to Enable TB: the devices read and confirmed, the
// master and the method picked. `rig` is what the box found in the file;
// the setup window is closed without OK unless it lists the same.
bool PrepareFollowing(ShowOperator& op, const HostOptions& options, FollowChoice method,
                      const ShowRig& rig, MasterPick& pick) {
  const auto check = [&](const std::vector<ListedDevice>& listed) {
    if (std::string why = CheckListedAsExpected(listed, rig.listed); !why.empty()) return why;
    pick = FindMaster(listed, options.master.value_or(MasterChoice{}));
    return pick.error;
  };
  op.EnterHeightChannel(options.heightChannel.value_or(0));
  if (!op.SetUpDevices(check) || !op.OpenMainWindow()) return false;
  const std::string& name = rig.listed[static_cast<std::size_t>(pick.device - 1)].name;
  return op.PickMaster(pick.entry, QString::fromStdString(name)) && op.PickMethod(method) &&
         (!options.height || op.SetHeight(*options.height));
}

// Everything that would refuse the show and can be seen in the file, found
// before the plug-in reads it: a refusal leaves the file as it was.
int CheckRig(const fs::path& module, const HostOptions& options, ShowRig& rig) {
  // The plug-in reads this file when its setup window opens; without it
  // there is no rig, and confirming the setup would write an empty one.
  const fs::path settings = module.parent_path() / "TrailBeam.ini";
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(settings, ec)))
    return Fail("no TrailBeam.ini beside " + module.string() +
                ": set up and calibrate the rig with the interactive host on this module first");
  std::string bytes;
  if (const std::string why = ReadShowRigFile(settings, bytes); !why.empty())
    return Fail(settings.string() + " could not be read: " + why);
  rig = CheckShowRig(bytes, options.master.value_or(MasterChoice{}), settings.string(),
                     options.height);
  if (!rig.error.empty()) return Fail(rig.error + "; " + settings.string() + " is left as it was");
  for (const std::string& note : rig.notes) Say(note);
  Say("the rig: " + settings.string() + ", following " + std::to_string(rig.rate) +
      " times a second");
  return 0;
}

}  // namespace

int RunShow(ShowParts& parts, const HostOptions& options, QApplication& app) {
  ShowRig rig;
  if (const int refused = CheckRig(parts.module, options, rig); refused != 0) return refused;
  // Only a signal ends the box, whatever window closes; and it must not
  // close the main window itself, which would end follow mode without
  // Stop TB.
  app.setQuitOnLastWindowClosed(false);
  OnQuitSignal(nullptr);

  ShowOperator op(parts.session,
                  [](const QString& text) { Say("plug-in message: " + text.toStdString()); });
  const FollowChoice method = options.method.value_or(FollowChoice::Linear);
  MasterPick pick;
  if (!PrepareFollowing(op, options, method, rig, pick))
    return Fail(op.Failure().toStdString() + "; follow mode is off");

  if (options.heightChannel)
    Say("the follow height comes from channel " + std::to_string(*options.heightChannel));
  else if (options.height)
    Say("follow height " + QString::number(*options.height, 'f', 2).toStdString() + " m");
  const ListedDevice& master = rig.listed[static_cast<std::size_t>(pick.device - 1)];
  if (QuitRequested()) {
    Say("asked to stop before follow mode came on; the box ends");
    return 0;
  }
  StatusReporter status(parts, op, master, pick.device, method, rig.rate);
  if (!op.Enable()) return Fail(op.Failure().toStdString());
  status.Start();
  QEventLoop running;
  OnQuitSignal([&running] { running.quit(); });
  // A signal that came while the box was starting found no loop to end.
  if (!QuitRequested()) running.exec();
  OnQuitSignal(nullptr);

  const bool stopped = op.Stop();
  status.Print();
  if (!stopped) return Fail(op.Failure().toStdString());
  Say("follow mode off; the box ends");
  return 0;
}

}  // namespace tbhost

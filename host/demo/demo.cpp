#include "host/demo/demo.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <numbers>

#include "host/demo/tick_recorder.h"
#include "host/interactive/host_window.h"
#include "host/interactive/window_fit.h"
#include "host/session/operator_input.h"
#include "host/session/plugin_session.h"
#include "host/sim/operator_aim.h"
#include "rig/rig_store.h"

namespace tbhost {
namespace {

constexpr int kMotionStepMs = 20;  // the master's path is updated this often
constexpr double kRestOnKm = 0.6;  // seconds the master rests on KM first

}  // namespace

QString MethodText(FollowChoice method) {
  const std::string_view name = MethodName(method);
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

QString RunText(const MethodRun& run, const DemoSettings& settings) {
  if (!settings.metric || run.method != FollowChoice::Trigonometric) return MethodText(run.method);
  return MethodText(run.method) + (run.followHeight > 0
                                       ? QString(" %1 m").arg(run.followHeight, 0, 'f', 2)
                                       : QString(" floor"));
}

QString PlaneText(double height) {
  return height > 0 ? QString("at %1 m above the floor").arg(height, 0, 'f', 2)
                    : QString("on the stage floor");
}

FloorPoint DemoPath(const StageRig& rig, double elapsed, double total) {
  const FloorPoint km = rig.MarkAt(Mark::KM);
  if (elapsed <= kRestOnKm || total <= kRestOnKm) return km;
  // A 1:2 figure through KM that reaches every corner's side and every mark's
  // extent: x swings once across the whole width between the marks, y twice.
  const double u = std::min(1.0, (elapsed - kRestOnKm) / (total - kRestOnKm));
  const FloorPoint k1 = rig.MarkAt(Mark::K1);
  const FloorPoint k4 = rig.MarkAt(Mark::K4);
  const double ax = (k4.x - k1.x) / 2;
  const double ay = (k4.y - k1.y) / 2;
  const double turn = 2 * std::numbers::pi * u;
  return {km.x + ax * std::sin(turn), km.y + ay * std::sin(2 * turn)};
}

std::vector<PlannedRun> PlanRuns(const DemoSettings& settings) {
  std::vector<PlannedRun> plan;
  for (FollowChoice method : settings.methods) {
    plan.push_back({method, 0.0});
    if (settings.metric && method == FollowChoice::Trigonometric && settings.height > 0)
      plan.push_back({method, settings.height});
  }
  return plan;
}

Demo::Demo(const StageRig& rig, Universe& universe, HostCallCounts& counts, HostWindow& window,
           PluginSession& session, DemoSettings settings)
    : rig_(rig),
      universe_(universe),
      counts_(counts),
      window_(window),
      session_(session),
      settings_(std::move(settings)) {}

bool Demo::Fail(const QString& why) {
  if (outcome_.failure.isEmpty()) outcome_.failure = why;
  return false;
}

// Each head is a device of the plug-in, head n device n + 1.
bool Demo::RigFits() {
  if (settings_.master < 0 || static_cast<std::size_t>(settings_.master) >= rig_.heads.size())
    return Fail("no such master head");
  if (rig_.heads.size() > static_cast<std::size_t>(tb::kDeviceCount))
    return Fail(QString("the rig has %1 heads, more than the plug-in's %2 devices")
                    .arg(rig_.heads.size())
                    .arg(tb::kDeviceCount));
  return true;
}

DemoOutcome Demo::Run() {
  MessageBoxWatcher watcher(outcome_.messages);
  if (!RigFits()) return outcome_;
  bool ok = SetUpDevices() && ShowMainWindow() && Calibrate() && ChooseMaster();
  const auto master = static_cast<std::size_t>(settings_.master);
  if (ok && settings_.metric)
    outcome_.stage =
        EstimateStage(rig_, master, outcome_.calibration, TapeLength(rig_, Mark::K1, Mark::K3));
  for (const PlannedRun& plan : PlanRuns(settings_)) {
    if (!ok) break;
    ok = FollowWith(plan);
  }
  outcome_.completed = ok;
  outcome_.allCalls = counts_;
  for (MethodRun& run : outcome_.runs) {
    run.report = Evaluate(rig_, master, run.samples, settings_.height);
    run.accuracy = MeasureAccuracy(rig_, master, run.samples, settings_.height);
  }
  if (mainForm_ != nullptr) mainForm_->hide();
  return outcome_;
}

bool Demo::StartFollowing(QString& failure) {
  MessageBoxWatcher watcher(outcome_.messages);
  bool ok = RigFits() && SetUpDevices() && ShowMainWindow() && Calibrate() && ChooseMaster() &&
            PickMethod(settings_.methods.empty() ? FollowChoice::Linear : settings_.methods[0]);
  if (ok) {
    QPushButton* enable = Button(mainForm_, "CmdEnableTB");
    if (enable == nullptr) {
      ok = Fail("the main window has no CmdEnableTB");
    } else {
      QTest::mouseClick(enable, Qt::LeftButton);
      Settle(5);
      if (enable->text() != "Stop TB")
        ok = Fail("follow mode did not start (the button reads \"" + enable->text() + "\")");
    }
  }
  failure =
      ok ? QString() : (outcome_.failure.isEmpty() ? "no such master head" : outcome_.failure);
  return ok;
}

bool Demo::SetUpDevices() {
  bool driven = false;
  // Configure blocks in the setup window's modal loop; the operator's work
  // is done from inside that loop.
  QTimer::singleShot(0, [this, &driven] {
    auto* dialog = WaitFor<QWidget>([] {
      QWidget* w = QApplication::activeModalWidget();
      return w != nullptr && w->objectName() == "frmTBConfig" ? w : nullptr;
    });
    if (dialog == nullptr) {
      Fail("the device setup window did not open");
      return;
    }
    QPushButton* ok = Button(dialog, "cmdOK");
    if (ok == nullptr || !TypeDevices(dialog) || !TypeRate(dialog) ||
        (settings_.metric && !TypeLengths(dialog))) {
      if (ok == nullptr) Fail("the device setup window has no cmdOK button");
      dialog->close();
      return;
    }
    QTest::mouseClick(ok, Qt::LeftButton);
    driven = true;
  });
  const orvn::HRESULT hr = session_.Configure();
  if (orvn::FAILED(hr)) return Fail(QString::fromStdString(session_.LastError()));
  if (!driven)
    return Fail(outcome_.failure.isEmpty() ? "the device setup was not finished"
                                           : outcome_.failure);
  // OK closes the window only after the settings file was written.
  if (QWidget* w = QApplication::activeModalWidget();
      w != nullptr && w->objectName() == "frmTBConfig")
    return Fail("the device setup window stayed open after OK");
  return true;
}

// Name and channels of every head, its ranges where they are not the usual
// ones and its fine channels where it has them; each column found by its
// header, as the operator reads it.
bool Demo::TypeDevices(QWidget* dialog) {
  auto* list = dialog->findChild<QAbstractItemView*>("lvConf");
  if (list == nullptr) return Fail("the device setup window has no lvConf list");
  for (std::size_t h = 0; h < rig_.heads.size(); ++h) {
    const MovingHead& head = rig_.heads[h];
    struct Cell {
      const char* header;
      QString text;
    };
    std::vector<Cell> cells = {{"Gerät", QString::fromStdString(head.name)},
                               {"Pan Channel", QString::number(head.panChannel)},
                               {"Tilt Channel", QString::number(head.tiltChannel)}};
    if (head.panRangeDeg != static_cast<int>(kPanRangeDeg))
      cells.push_back({"Pan range", QString::number(head.panRangeDeg)});
    if (head.tiltRangeDeg != static_cast<int>(kTiltRangeDeg))
      cells.push_back({"Tilt range", QString::number(head.tiltRangeDeg)});
    if (head.panFineChannel != 0)
      cells.push_back({"Pan fine", QString::number(head.panFineChannel)});
    if (head.tiltFineChannel != 0)
      cells.push_back({"Tilt fine", QString::number(head.tiltFineChannel)});
    for (const Cell& cell : cells) {
      const QString header = QString::fromUtf8(cell.header);
      const int column = ColumnWithHeader(list, header);
      if (column < 0) return Fail("the device list has no column \"" + header + "\"");
      if (!TypeIntoCell(list, static_cast<int>(h), column, cell.text))
        return Fail(QString("could not type \"%1\" into row %2, column \"%3\" of the device list")
                        .arg(cell.text)
                        .arg(h + 1)
                        .arg(header));
    }
  }
  return true;
}

// Typed whatever it is: the module's file may hold another from an earlier
// session.
bool Demo::TypeRate(QWidget* dialog) {
  if (!TypeInto(dialog->findChild<QLineEdit*>("txtFollowRate"), QString::number(settings_.rate)))
    return Fail("the device setup window has no txtFollowRate field");
  return true;
}

// What the operator measured on the floor with a tape, in the field below
// the device list: the one length the stage needs. K1-K2 is left out, as
// the README's measurements were taken.
bool Demo::TypeLengths(QWidget* dialog) {
  const std::pair<const char*, double> lengths[] = {
      {"txtK1K3", TapeLength(rig_, Mark::K1, Mark::K3)}};
  for (const auto& [name, metres] : lengths) {
    auto* field = dialog->findChild<QLineEdit*>(name);
    if (field == nullptr) return Fail(QString("the device setup window has no %1 field").arg(name));
    const QString text = QString::number(metres, 'f', 2);
    TypeInto(field, text);
    QTest::keyClick(field, Qt::Key_Tab);
    if (field->text() != text)
      return Fail(QString("%1 holds \"%2\" after typing \"%3\"").arg(name, field->text(), text));
  }
  return true;
}

bool Demo::ShowMainWindow() {
  void* widget = nullptr;
  const orvn::HRESULT hr = session_.ShowMainForm(&widget);
  if (orvn::FAILED(hr)) return Fail(QString::fromStdString(session_.LastError()));
  if (widget == nullptr) return Fail("the plug-in hands out no main window widget to drive");
  mainForm_ = static_cast<QWidget*>(widget);
  window_.SetPluginWindow(mainForm_);
  // Placed as the interactive host places it: on a laptop's screen a window
  // beside an unshrunk host would leave Get Value and Help off the screen.
  FitWindows(window_, *mainForm_);
  mainForm_->show();
  Settle();
  return true;
}

bool Demo::Calibrate() {
  auto* devices = mainForm_->findChild<QComboBox*>("ComboDeviceList");
  QPushButton* get = Button(mainForm_, "CmdGet");
  if (devices == nullptr || get == nullptr)
    return Fail("the main window has no ComboDeviceList or CmdGet");
  outcome_.calibration.assign(rig_.heads.size(), {});
  const auto aims = OperatorAims(rig_, settings_.aimNoiseCm);
  for (std::size_t h = 0; h < rig_.heads.size(); ++h) {
    if (!PickEntry(devices, static_cast<int>(h)))
      return Fail(QString("could not pick device %1 in ComboDeviceList").arg(h + 1));
    for (Mark mark : kAllMarks) {
      const auto aim = AimAt(rig_.heads[h], aims[h][static_cast<int>(mark)]);
      if (!aim) return Fail(QString("head %1 cannot reach %2").arg(h + 1).arg(MarkName(mark)));
      window_.SelectHead(static_cast<int>(h));
      window_.AimHead(static_cast<int>(h), *aim);
      const QString boxName = QString("TxtCalibr_%1").arg(static_cast<int>(mark));
      auto* box = mainForm_->findChild<QWidget*>(boxName);
      if (box == nullptr) return Fail("the main window has no " + boxName);
      QTest::mouseClick(box, Qt::LeftButton);
      QTest::mouseClick(get, Qt::LeftButton);
      Settle(5);
      outcome_.calibration[h][static_cast<int>(mark)] = *aim;
    }
  }
  return true;
}

bool Demo::ChooseMaster() {
  auto* masters = mainForm_->findChild<QComboBox*>("ComboMaster");
  if (masters == nullptr) return Fail("the main window has no ComboMaster");
  const int before = static_cast<int>(outcome_.messages.size());
  if (!PickEntry(masters, settings_.master))
    return Fail("could not pick the master in ComboMaster");
  Settle();
  if (static_cast<int>(outcome_.messages.size()) != before)
    return Fail("the master was not accepted: " + outcome_.messages.back());
  window_.SetMaster(settings_.master);
  window_.SelectHead(settings_.master);
  return true;
}

bool Demo::PickMethod(FollowChoice method) {
  const QString name = QString::fromLatin1(MethodOption(method));
  auto* option = mainForm_->findChild<QAbstractButton*>(name);
  if (option == nullptr) return Fail("the main window has no " + name);
  const auto before = outcome_.messages.size();
  QTest::mouseClick(option, Qt::LeftButton);
  Settle();
  if (outcome_.messages.size() != before)
    return Fail("the plug-in did not take the " + MethodText(method) + " method: \"" +
                outcome_.messages.back() + "\"");
  if (!option->isChecked()) return Fail(name + " was not selected by the click");
  return true;
}

// The operator's height: typed into the box and confirmed with Enter. The
// box refuses nothing it offers here, so any message is a failure.
bool Demo::TypeHeight(double metres) {
  auto* box = mainForm_->findChild<QLineEdit*>("TxtHeight");
  if (box == nullptr) return Fail("the main window has no TxtHeight");
  if (!box->isEnabled()) return Fail("the main window offers no follow height: " + box->toolTip());
  const auto before = outcome_.messages.size();
  const QString text = QString::number(metres, 'f', 2);
  TypeInto(box, text);
  QTest::keyClick(box, Qt::Key_Return);
  Settle();
  if (outcome_.messages.size() != before || box->text() != text)
    return Fail("the plug-in did not take the height " + text);
  return true;
}

bool Demo::FollowWith(PlannedRun plan) {
  if (!PickMethod(plan.method)) return false;
  if (settings_.metric && !TypeHeight(plan.followHeight)) return false;
  outcome_.runs.push_back({});
  outcome_.runs.back().method = plan.method;
  outcome_.runs.back().followHeight = plan.followHeight;
  return Follow(outcome_.runs.back());
}

bool Demo::Follow(MethodRun& run) {
  QPushButton* enable = Button(mainForm_, "CmdEnableTB");
  if (enable == nullptr) return Fail("the main window has no CmdEnableTB");
  const auto master = static_cast<std::size_t>(settings_.master);
  TickRecorder recorder(rig_, master, outcome_.calibration[master], universe_, counts_,
                        run.samples);
  bool recording = false;
  session_.Helper()->SetReadObserver([&](std::int32_t channel, std::int32_t value) {
    if (recording) recorder.OnRead(channel, value);
  });

  // Start on KM, where the path begins.
  if (const auto aim =
          AimAtHeight(rig_.heads[master], DemoPath(rig_, 0, settings_.seconds), settings_.height))
    window_.AimHead(settings_.master, *aim);
  const HostCallCounts before = counts_;
  recording = true;
  QTest::mouseClick(enable, Qt::LeftButton);
  Settle(5);
  if (enable->text() != "Stop TB") {
    recording = false;
    session_.Helper()->SetReadObserver(nullptr);
    return Fail("follow mode did not start (the button reads \"" + enable->text() + "\")");
  }
  MoveMaster();
  QTest::mouseClick(enable, Qt::LeftButton);
  Settle(5);
  recording = false;
  recorder.Finish();
  session_.Helper()->SetReadObserver(nullptr);
  const HostCallCounts after = counts_;
  run.followCalls.reads = after.reads - before.reads;
  run.followCalls.outputsFetched = after.outputsFetched - before.outputsFetched;
  run.followCalls.writes = after.writes - before.writes;
  run.followCalls.failed = after.failed - before.failed;
  run.followCalls.outputsAlive = after.outputsAlive;
  if (enable->text() != "Enable TB")
    return Fail("follow mode did not stop (the button reads \"" + enable->text() + "\")");
  if (run.samples.empty()) return Fail("no follow tick ran");
  return true;
}
void Demo::MoveMaster() {
  const MovingHead& master = rig_.heads[static_cast<std::size_t>(settings_.master)];
  QElapsedTimer clock;
  clock.start();
  QTimer motion;
  motion.setTimerType(Qt::PreciseTimer);
  motion.setInterval(kMotionStepMs);
  QObject::connect(&motion, &QTimer::timeout, [&] {
    const double t = static_cast<double>(clock.elapsed()) / 1000.0;
    if (const auto aim =
            AimAtHeight(master, DemoPath(rig_, t, settings_.seconds), settings_.height))
      window_.AimHead(settings_.master, *aim);
  });
  motion.start();
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(settings_.seconds * 1000), &loop, &QEventLoop::quit);
  if (!settings_.screenshot.isEmpty() && outcome_.screenshot.isNull()) {
    QTimer::singleShot(static_cast<int>(settings_.seconds * 500), &loop, [this] {
      if (QScreen* screen = QGuiApplication::primaryScreen())
        outcome_.screenshot = screen->grabWindow(0).toImage();
    });
  }
  loop.exec();
  motion.stop();
}

}  // namespace tbhost

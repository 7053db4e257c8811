#include "host/demo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <functional>
#include <numbers>

#include "host/host_window.h"
#include "host/plugin_session.h"
#include "host/stage_view.h"

namespace tbhost {
namespace {

constexpr int kWaitMs = 5000;      // for a window or editor to turn up
constexpr int kSettleMs = 30;      // after a click, for the window to react
constexpr int kMotionStepMs = 20;  // the master's path is updated this often
constexpr double kRestOnKm = 0.6;  // seconds the master rests on KM first

// Spins the event loop until `found` gives non-null or the time is up.
template <class T>
T* WaitFor(const std::function<T*()>& found, int timeoutMs = kWaitMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (true) {
    if (T* t = found()) return t;
    if (deadline.hasExpired()) return nullptr;
    QTest::qWait(10);
  }
}

void Settle(int ms = kSettleMs) { QTest::qWait(ms); }

// The plug-in's message boxes are modal; an operator reads them and presses
// OK. This does the same and keeps the texts for the report.
class MessageBoxWatcher {
 public:
  explicit MessageBoxWatcher(QStringList& texts) : texts_(texts) {
    timer_.setInterval(25);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || box == handling_) return;
    handling_ = box;
    texts_ << box->text();
    if (QAbstractButton* ok = box->button(QMessageBox::Ok))
      QTest::mouseClick(ok, Qt::LeftButton);
    else
      box->accept();
    handling_ = nullptr;
  }

  QStringList& texts_;
  QTimer timer_;
  QMessageBox* handling_ = nullptr;
};

// An operator's pick in a drop-down list: open it, click the entry.
bool PickEntry(QComboBox* combo, int index) {
  if (combo == nullptr || index < 0 || index >= combo->count()) return false;
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  if (WaitFor<QAbstractItemView>([view] { return view->isVisible() ? view : nullptr; }, 1000)) {
    const QModelIndex entry = view->model()->index(index, combo->modelColumn());
    view->scrollTo(entry);
    const QPoint at = view->visualRect(entry).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    Settle();
  }
  if (view->isVisible()) combo->hidePopup();
  return combo->currentIndex() == index;
}

QPushButton* Button(QWidget* window, const char* name) {
  return window->findChild<QPushButton*>(QString::fromLatin1(name));
}

// Types `text` into one cell of the setup window's list: double-click the
// cell, replace the editor's text, confirm with Enter.
bool TypeIntoCell(QAbstractItemView* list, int row, int column, const QString& text) {
  const QModelIndex cell = list->model()->index(row, column);
  if (!cell.isValid()) return false;
  list->scrollTo(cell);
  const QPoint at = list->visualRect(cell).center();
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  auto* editor = WaitFor<QLineEdit>(
      [list] {
        for (QLineEdit* e : list->findChildren<QLineEdit*>())
          if (e->isVisible()) return e;
        return static_cast<QLineEdit*>(nullptr);
      },
      2000);
  if (editor == nullptr) return false;
  editor->selectAll();
  QTest::keyClick(editor, Qt::Key_Backspace);
  QTest::keyClicks(editor, text);
  QTest::keyClick(editor, Qt::Key_Return);
  Settle();
  return list->model()->data(cell).toString() == text;
}

// Through a new file renamed over the old one: never half a picture.
bool SaveImage(const QImage& image, const QString& path, QString& error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
    error = "could not write " + path + ": " + file.errorString();
    return false;
  }
  return true;
}

}  // namespace

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

DemoOutcome Demo::Run() {
  MessageBoxWatcher watcher(outcome_.messages);
  if (settings_.master < 0 || static_cast<std::size_t>(settings_.master) >= rig_.heads.size()) {
    Fail("no such master head");
    return outcome_;
  }
  outcome_.completed =
      SetUpDevices() && ShowMainWindow() && Calibrate() && ChooseMaster() && Follow();
  outcome_.allCalls = counts_;
  outcome_.report = Evaluate(rig_, static_cast<std::size_t>(settings_.master), outcome_.samples);
  if (mainForm_ != nullptr) mainForm_->hide();
  return outcome_;
}

bool Demo::StartFollowing(QString& failure) {
  MessageBoxWatcher watcher(outcome_.messages);
  bool ok = settings_.master >= 0 &&
            static_cast<std::size_t>(settings_.master) < rig_.heads.size() && SetUpDevices() &&
            ShowMainWindow() && Calibrate() && ChooseMaster();
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
    auto* list = dialog->findChild<QAbstractItemView*>("lvConf");
    QPushButton* ok = Button(dialog, "cmdOK");
    if (list == nullptr || ok == nullptr) {
      Fail("the device setup window has no lvConf list or cmdOK button");
      dialog->close();
      return;
    }
    for (std::size_t h = 0; h < rig_.heads.size() && h < 4; ++h) {
      const MovingHead& head = rig_.heads[h];
      const QString cells[3] = {QString::fromStdString(head.name), QString::number(head.panChannel),
                                QString::number(head.tiltChannel)};
      for (int column = 0; column < 3; ++column) {
        if (!TypeIntoCell(list, static_cast<int>(h), column, cells[column])) {
          Fail(QString("could not type \"%1\" into row %2, column %3 of the device list")
                   .arg(cells[column])
                   .arg(h + 1)
                   .arg(column));
          dialog->close();
          return;
        }
      }
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

bool Demo::ShowMainWindow() {
  void* widget = nullptr;
  const orvn::HRESULT hr = session_.ShowMainForm(&widget);
  if (orvn::FAILED(hr)) return Fail(QString::fromStdString(session_.LastError()));
  if (widget == nullptr) return Fail("the plug-in hands out no main window widget to drive");
  mainForm_ = static_cast<QWidget*>(widget);
  window_.SetPluginWindow(mainForm_);
  mainForm_->move(window_.frameGeometry().right() + 12, window_.frameGeometry().top());
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
  for (std::size_t h = 0; h < rig_.heads.size(); ++h) {
    if (!PickEntry(devices, static_cast<int>(h)))
      return Fail(QString("could not pick device %1 in ComboDeviceList").arg(h + 1));
    for (Mark mark : kAllMarks) {
      const auto aim = AimAt(rig_.heads[h], rig_.MarkAt(mark));
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

bool Demo::Follow() {
  QPushButton* enable = Button(mainForm_, "CmdEnableTB");
  if (enable == nullptr) return Fail("the main window has no CmdEnableTB");
  const MovingHead& master = rig_.heads[static_cast<std::size_t>(settings_.master)];
  const auto& masterCal = outcome_.calibration[static_cast<std::size_t>(settings_.master)];

  // A tick reads the master's pan, then its tilt, then writes the slaves;
  // the next pan read therefore closes the previous tick.
  bool recording = false;
  bool pending = false;
  TickSample current;
  auto closeTick = [&] {
    if (!pending) return;
    pending = false;
    current.zone = ZoneOf(current.master, masterCal);
    current.heads.clear();
    for (const MovingHead& head : rig_.heads)
      current.heads.push_back({universe_.At(head.panChannel), universe_.At(head.tiltChannel)});
    outcome_.samples.push_back(current);
  };
  session_.Helper()->SetReadObserver([&](std::int32_t channel, std::int32_t value) {
    if (!recording) return;
    if (channel == master.panChannel) {
      closeTick();
      current = {};
      current.master = {value, -1};
      pending = true;
    } else if (channel == master.tiltChannel && pending) {
      current.master.tilt = value;
    }
  });

  // Start on KM, where the path begins.
  if (const auto aim = AimAt(master, DemoPath(rig_, 0, settings_.seconds)))
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

  QElapsedTimer clock;
  clock.start();
  QTimer motion;
  motion.setTimerType(Qt::PreciseTimer);
  motion.setInterval(kMotionStepMs);
  QObject::connect(&motion, &QTimer::timeout, [&] {
    const double t = static_cast<double>(clock.elapsed()) / 1000.0;
    if (const auto aim = AimAt(master, DemoPath(rig_, t, settings_.seconds)))
      window_.AimHead(settings_.master, *aim);
  });
  motion.start();
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(settings_.seconds * 1000), &loop, &QEventLoop::quit);
  if (!settings_.screenshot.isEmpty()) {
    QTimer::singleShot(static_cast<int>(settings_.seconds * 500), &loop, [this] {
      if (QScreen* screen = QGuiApplication::primaryScreen())
        outcome_.screenshot = screen->grabWindow(0).toImage();
    });
  }
  loop.exec();
  motion.stop();

  QTest::mouseClick(enable, Qt::LeftButton);
  Settle(5);
  recording = false;
  closeTick();
  session_.Helper()->SetReadObserver(nullptr);
  const HostCallCounts after = counts_;
  outcome_.followCalls.reads = after.reads - before.reads;
  outcome_.followCalls.outputsFetched = after.outputsFetched - before.outputsFetched;
  outcome_.followCalls.writes = after.writes - before.writes;
  outcome_.followCalls.failed = after.failed - before.failed;
  outcome_.followCalls.outputsAlive = after.outputsAlive;
  if (enable->text() != "Enable TB")
    return Fail("follow mode did not stop (the button reads \"" + enable->text() + "\")");
  if (outcome_.samples.empty()) return Fail("no follow tick ran");
  return true;
}

QString Demo::ReportText(const StageRig& rig, const DemoSettings& settings,
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

bool Demo::WritePicture(const StageRig& rig, const DemoSettings& settings,
                        const DemoOutcome& outcome, QString& error) {
  if (settings.png.isEmpty()) return true;
  StageScene scene;
  scene.rig = &rig;
  scene.master = settings.master;
  scene.traces.assign(rig.heads.size(), {});
  for (const TickSample& sample : outcome.samples) {
    for (std::size_t h = 0; h < rig.heads.size() && h < sample.heads.size(); ++h) {
      const PanTilt aim = static_cast<int>(h) == settings.master ? sample.master : sample.heads[h];
      if (const auto spot = BeamSpot(rig.heads[h], aim)) scene.traces[h].push_back(*spot);
    }
  }
  if (!outcome.samples.empty()) scene.aims = outcome.samples.back().heads;
  // The caption sits above the stage: the title, then one line per slave in
  // its trace's colour.
  const auto& all = outcome.report.bySlave;
  std::vector<std::pair<QString, QColor>> lines;
  lines.emplace_back(
      QString("TrailBeam demo, the stage from above with the audience at the bottom: master %1 "
              "(white path), %2 follow ticks; slaves dashed")
          .arg(QString::fromStdString(rig.heads[static_cast<std::size_t>(settings.master)].name))
          .arg(outcome.samples.size()),
      QColor(0xe0, 0xe0, 0xe0));
  for (std::size_t h = 0; h < all.size(); ++h) {
    if (static_cast<int>(h) == settings.master) continue;
    lines.emplace_back(QString("%1: distance to the master's spot mean %2 m, p95 %3 m, max %4 m")
                           .arg(QString::fromStdString(rig.heads[h].name))
                           .arg(all[h][0].mean, 0, 'f', 2)
                           .arg(all[h][0].p95, 0, 'f', 2)
                           .arg(all[h][0].max, 0, 'f', 2),
                       HeadColor(static_cast<int>(h)));
  }
  constexpr int kLineHeight = 18;
  const int captionHeight = 12 + kLineHeight * static_cast<int>(lines.size());
  QImage image(1000, 960 + captionHeight, QImage::Format_RGB32);
  image.fill(QColor(0x1e, 0x22, 0x28));
  {
    QPainter painter(&image);
    PaintStage(painter, QRectF(0, captionHeight, image.width(), image.height() - captionHeight),
               scene);
    QFont f = painter.font();
    f.setPointSizeF(10);
    painter.setFont(f);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      painter.setPen(lines[i].second);
      painter.drawText(
          QRectF(12, 8 + kLineHeight * static_cast<double>(i), image.width() - 24, kLineHeight),
          Qt::AlignLeft | Qt::AlignVCenter, lines[i].first);
    }
  }
  return SaveImage(image, settings.png, error);
}

bool Demo::WriteScreenshot(const DemoSettings& settings, const DemoOutcome& outcome,
                           QString& error) {
  if (settings.screenshot.isEmpty()) return true;
  if (outcome.screenshot.isNull()) {
    error = "no screenshot for " + settings.screenshot +
            (outcome.samples.empty() ? ": the session did not reach follow mode"
                                     : ": the screen could not be grabbed");
    return false;
  }
  return SaveImage(outcome.screenshot, settings.screenshot, error);
}

bool Demo::WriteJson(const StageRig& rig, const DemoSettings& settings, const DemoOutcome& outcome,
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

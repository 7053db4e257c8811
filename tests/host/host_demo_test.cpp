// The whole operator session, headless: the host loads the real module,
// drives its real windows, and the slaves must follow the master.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

#include "host/sim/follow_stats.h"
#include "host/sim/stage_rig.h"

namespace tbhost {
namespace {

constexpr double kSeconds = 4;
constexpr double kDeg = std::numbers::pi / 180.0;

// Continuous (unquantised) pan/tilt of a head aimed exactly at a point, in
// DMX units, and the spot of a continuous pair: the rig's geometry without
// the 8-bit grid.
struct Angles {
  double pan, tilt;
};
Angles ExactAim(const MovingHead& h, FloorPoint p) {
  const double reach = std::hypot(p.x - h.x, p.y - h.y);
  double pan = std::atan2(p.y - h.y, p.x - h.x) / kDeg - h.facingDeg;
  pan = std::remainder(pan, 360.0);
  const double tilt = std::atan2(reach, h.height) / kDeg;
  return {(pan + kPanRangeDeg / 2) / kPanRangeDeg * kDmxMax,
          (tilt + kTiltRangeDeg / 2) / kTiltRangeDeg * kDmxMax};
}
FloorPoint ExactSpot(const MovingHead& h, Angles a) {
  const double pan = a.pan / kDmxMax * kPanRangeDeg - kPanRangeDeg / 2;
  const double tilt = a.tilt / kDmxMax * kTiltRangeDeg - kTiltRangeDeg / 2;
  const double reach = h.height * std::tan(tilt * kDeg);
  const double az = (h.facingDeg + pan) * kDeg;
  return {h.x + reach * std::cos(az), h.y + reach * std::sin(az)};
}

PanTilt Pair(const QJsonValue& v) {
  const QJsonArray a = v.toArray();
  return {a.at(0).toInt(-1000), a.at(1).toInt(-1000)};
}

// How far a slave's spot may lie from the master's after a tick.
//
// The follow mapping is piecewise linear in pan/tilt space while the rig's
// geometry is not, so even with exact angles a slave lands some way off the
// master's spot: `model`, computed here from the exact angles at the marks
// and the master's actual 8-bit reading, with the zone the master's 8-bit
// calibration gives. On top come the 8-bit steps, per axis in slave steps:
//  - the written value is rounded: 1/2 step;
//  - the slave's corner and KM values are each rounded by up to 1/2 step,
//    and the slave value mixes them with weights (1-f) and f: 1/2(|1-f|+|f|);
//  - the master's corner and KM values are rounded too, which moves the
//    fraction f by up to 1/2(|1-f|+|f|) / |master span| and the slave by
//    |slave span| times that.
// Steps become metres with the slave's floor step length on each axis at
// its spot. In the centre zone the slave goes to its own KM values: the
// model error is the master's distance from KM, plus 1/2 step per axis.
// A quarter more plus 2 cm covers how step lengths change within a step.
double Bound(const StageRig& rig, std::size_t master, std::size_t slave, int zone, PanTilt reading,
             PanTilt slaveAim) {
  const MovingHead& M = rig.heads[master];
  const MovingHead& S = rig.heads[slave];
  const FloorPoint masterSpot = *BeamSpot(M, reading);
  const auto step = StepFootprint(S, slaveAim);
  if (!step) return 0;  // a slave off the floor fails whatever the bound
  if (zone == 5) {
    const double model = Distance(masterSpot, rig.MarkAt(Mark::KM));
    return 1.25 * (model + 0.5 * (step->pan + step->tilt)) + 0.02;
  }
  const Mark corner = kAllMarks[static_cast<std::size_t>(zone - 1)];
  const Angles mc = ExactAim(M, rig.MarkAt(corner)), mkm = ExactAim(M, rig.MarkAt(Mark::KM));
  const Angles sc = ExactAim(S, rig.MarkAt(corner)), skm = ExactAim(S, rig.MarkAt(Mark::KM));
  const double fPan = (mc.pan - reading.pan) / (mc.pan - mkm.pan);
  const double fTilt = (mc.tilt - reading.tilt) / (mc.tilt - mkm.tilt);
  const Angles ideal{sc.pan - (sc.pan - skm.pan) * fPan, sc.tilt - (sc.tilt - skm.tilt) * fTilt};
  const double model = Distance(masterSpot, ExactSpot(S, ideal));
  auto steps = [](double f, double slaveSpan, double masterSpan) {
    const double mix = 0.5 * (std::abs(1 - f) + std::abs(f));
    return 0.5 + mix + mix * std::abs(slaveSpan / masterSpan);
  };
  const double qPan = steps(fPan, sc.pan - skm.pan, mc.pan - mkm.pan);
  const double qTilt = steps(fTilt, sc.tilt - skm.tilt, mc.tilt - mkm.tilt);
  return 1.25 * (model + qPan * step->pan + qTilt * step->tilt) + 0.02;
}

struct HostRun {
  int exitCode = -1;
  QString out, err;
};

// The host as a user starts it from a shell, without a display.
void StartHost(QProcess& host, const QStringList& args, const QString& folder) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.remove("ORVNCOM_REGISTRY");
  host.setProcessEnvironment(env);
  host.setWorkingDirectory(folder);
  host.start(TRAILBEAM_HOST, args);
}

HostRun RunHost(const QStringList& args, const QString& folder) {
  QProcess host;
  StartHost(host, args, folder);
  HostRun run;
  if (!host.waitForFinished(150000) || host.exitStatus() != QProcess::NormalExit) return run;
  run.exitCode = host.exitCode();
  run.out = QString::fromUtf8(host.readAllStandardOutput());
  run.err = QString::fromUtf8(host.readAllStandardError());
  return run;
}

TEST(HostCommandLine, RefusesUnknownArgumentsBeforeAnythingRuns) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  struct Case {
    QStringList args;
    QString firstLine;
  };
  const Case cases[] = {
      {{"--folow"}, "trailbeam-host: unknown option --folow (did you mean --follow?)"},
      {{"--bogus"}, "trailbeam-host: unknown option --bogus"},
      {{"-platform", "offscreen", "stray"}, "trailbeam-host: unexpected argument stray"},
      {{"--demo", "--png"}, "trailbeam-host: --png needs a value"},
      {{"--demo", "--rig", "nowhere"},
       "trailbeam-host: --rig needs one of default, sides, mixed, overhead, arena"},
      {{"--method", "fast"},
       "trailbeam-host: --method needs one of linear, distance, trigonometric"},
  };
  for (const Case& c : cases) {
    const HostRun run = RunHost(c.args, dir.path());
    const QString line = c.args.join(' ');
    EXPECT_EQ(run.exitCode, 2) << line.toStdString();
    EXPECT_EQ(run.err.section('\n', 0, 0), c.firstLine) << run.err.toStdString();
    EXPECT_TRUE(run.err.section('\n', 1, 1).startsWith("usage: trailbeam-host"))
        << run.err.toStdString();
    EXPECT_EQ(run.out, "") << line.toStdString();
  }
  // Nothing ran: no picture in the working folder.
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
  const HostRun help = RunHost({"--help"}, dir.path());
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.startsWith("usage: trailbeam-host")) << help.out.toStdString();
  EXPECT_TRUE(help.out.contains("-platform NAME")) << help.out.toStdString();
}

// Checked before the session starts: nothing runs, nothing is written.
TEST(HostCommandLine, RefusesOutputsItCannotWrite) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString png = dir.filePath("p.png");
  struct Case {
    QStringList args;
    QString err;
  };
  const Case cases[] = {
      {{"--screenshot", "/no/such/dir/s.png"},
       "trailbeam-host: --screenshot /no/such/dir/s.png: the folder /no/such/dir does not "
       "exist\n"},
      {{"--png", png, "--report", "/no/such/r.json"},
       "trailbeam-host: --report /no/such/r.json: the folder /no/such does not exist\n"},
      {{"--demo", "--png", dir.path()},
       "trailbeam-host: --png " + dir.path() + ": is a folder, not a file\n"},
  };
  for (const Case& c : cases) {
    const HostRun run = RunHost(c.args, dir.path());
    EXPECT_EQ(run.exitCode, 1) << c.args.join(' ').toStdString();
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// Qt's own options reach Qt: a style that does not exist draws a warning
// from Qt and nothing from the host.
TEST(HostCommandLine, QtOptionsReachQt) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString report = dir.filePath("r.json");
  const QString screenshot = dir.filePath("s.png");
  const HostRun run =
      RunHost({"-platform", "offscreen", "-style", "no-such-style", "-reverse", "--demo",
               "--seconds", "1", "--report", report, "--screenshot", screenshot},
              dir.path());
  EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
  EXPECT_TRUE(run.err.contains("no-such-style")) << run.err.toStdString();
  EXPECT_FALSE(run.err.contains("trailbeam-host:")) << run.err.toStdString();
  EXPECT_TRUE(QFile::exists(report));
  // The screen halfway through, and the default picture in the working folder.
  for (const QString& picture : {screenshot, dir.filePath("trailbeam-demo.png")}) {
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << picture.toStdString();
    EXPECT_EQ(file.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8)) << picture.toStdString();
  }
}

TEST(HostDemo, EverySlaveFollowsTheMasterOverTheStage) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString report = dir.filePath("demo.json");
  const QString png = dir.filePath("demo.png");
  // The demo must leave the operator's own settings file alone.
  const QString operatorIni = QFileInfo(TRAILBEAM_HOST).absolutePath() + "/TrailBeam.ini";
  QFile before(operatorIni);
  const bool iniExisted = before.exists();
  const QByteArray iniBefore = before.open(QIODevice::ReadOnly) ? before.readAll() : QByteArray();
  before.close();

  QProcess host;
  StartHost(host,
            {"--demo", "--seconds", QString::number(kSeconds), "--report", report, "--png", png},
            dir.path());
  ASSERT_TRUE(host.waitForFinished(150000));
  const QString out = QString::fromUtf8(host.readAllStandardOutput());
  const QString err = QString::fromUtf8(host.readAllStandardError());
  ASSERT_EQ(host.exitStatus(), QProcess::NormalExit) << err.toStdString();
  ASSERT_EQ(host.exitCode(), 0) << out.toStdString() << err.toStdString();
  EXPECT_TRUE(out.contains("follow ticks run:")) << out.toStdString();

  QFile after(operatorIni);
  EXPECT_EQ(after.exists(), iniExisted);
  if (iniExisted && after.open(QIODevice::ReadOnly)) {
    EXPECT_EQ(after.readAll(), iniBefore);
  }

  QFile picture(png);
  ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
  EXPECT_TRUE(picture.read(8) == QByteArray("\x89PNG\r\n\x1a\n", 8));

  QFile file(report);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
  ASSERT_TRUE(root["completed"].toBool()) << root["failure"].toString().toStdString();
  EXPECT_TRUE(root["messages"].toArray().isEmpty());
  EXPECT_EQ(root["rig"].toString(), "default");
  EXPECT_EQ(root["method"].toString(), "linear");
  for (const char* figures : {"error", "ideal"}) {
    const QJsonObject f = root[figures].toObject();
    EXPECT_GT(f["mean"].toDouble(), 0) << figures;
    EXPECT_LE(f["mean"].toDouble(), f["p95"].toDouble()) << figures;
    EXPECT_LE(f["p95"].toDouble(), f["max"].toDouble()) << figures;
  }

  const StageRig rig = DefaultRig();
  const auto master = static_cast<std::size_t>(root["master"].toInt(-1));
  ASSERT_LT(master, rig.heads.size());
  std::array<PanTilt, 5> masterCal{};
  for (Mark m : kAllMarks)
    masterCal[static_cast<int>(m)] = *AimAt(rig.heads[master], rig.MarkAt(m));

  const QJsonArray ticks = root["ticks"].toArray();
  // The follow timer ran repeatedly; how often per second is not judged here.
  ASSERT_GE(ticks.size(), 5);
  // Each tick: two reads, then a fresh output object for each of the three
  // slaves' two writes, all released, none failed.
  const QJsonObject calls = root["followCalls"].toObject();
  const auto n = static_cast<double>(ticks.size());
  const double slaves = static_cast<double>(rig.heads.size() - 1);
  EXPECT_EQ(calls["reads"].toDouble(), 2 * n);
  EXPECT_EQ(calls["writes"].toDouble(), 2 * slaves * n);
  EXPECT_EQ(calls["outputs"].toDouble(), calls["writes"].toDouble());
  EXPECT_EQ(calls["failed"].toDouble(), 0);
  EXPECT_EQ(root["allCalls"].toObject()["outputsAlive"].toDouble(), 0);

  std::array<int, 6> zonesSeen{};
  std::vector<double> worst(rig.heads.size(), 0);
  for (const QJsonValue& t : ticks) {
    const QJsonObject tick = t.toObject();
    const PanTilt reading = Pair(tick["master"]);
    const auto masterSpot = BeamSpot(rig.heads[master], reading);
    ASSERT_TRUE(masterSpot.has_value());
    const int zone = ZoneOf(reading, masterCal);
    EXPECT_EQ(tick["zone"].toInt(), zone);
    ++zonesSeen[static_cast<std::size_t>(zone)];
    const QJsonArray heads = tick["heads"].toArray();
    ASSERT_EQ(heads.size(), static_cast<qsizetype>(rig.heads.size()));
    for (std::size_t s = 0; s < rig.heads.size(); ++s) {
      if (s == master) continue;
      const PanTilt aim = Pair(heads.at(static_cast<qsizetype>(s)));
      const auto spot = BeamSpot(rig.heads[s], aim);
      ASSERT_TRUE(spot.has_value()) << rig.heads[s].name;
      const double error = Distance(*spot, *masterSpot);
      const double bound = Bound(rig, master, s, zone, reading, aim);
      worst[s] = std::max(worst[s], error);
      EXPECT_LE(error, bound) << rig.heads[s].name << " in zone " << zone << ", master at "
                              << reading.pan << "/" << reading.tilt << ", slave at " << aim.pan
                              << "/" << aim.tilt;
      // The bound must still tell following from not following: a slave
      // left on KM while the master stands at a corner mark is 3.6 m off.
      // (Where a tick samples the path depends on the machine's load; the
      // path's worst places come close to 2.5 m.)
      EXPECT_LT(bound, 3.0) << rig.heads[s].name << " in zone " << zone;
    }
  }
  // The path crosses every corner zone.
  for (int z = 1; z <= 4; ++z) EXPECT_GT(zonesSeen[static_cast<std::size_t>(z)], 0) << "zone " << z;
}

// --follow sets up the rig it is given, picks the method in the main window,
// types the rate into the device setup and keeps following until it is told
// to end.
TEST(HostFollow, StartsWithTheRigMethodAndRateGiven) {
  const struct {
    QStringList args;
    const char* line;
  } cases[] = {
      {{"--follow", "--rig", "sides", "--method", "trigonometric"},
       "follow mode on: rig \"sides\", master \"FOH\" on channels 1/2, method trigonometric, 10 "
       "ticks a second"},
      {{"--follow", "--rate", "25"},
       "follow mode on: rig \"default\", master \"Truss R\" on channels 3/4, method linear, 25 "
       "ticks a second"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess host;
    StartHost(host, c.args, dir.path());
    QString out;
    while (!out.contains('\n') && host.waitForReadyRead(60000))
      out += QString::fromUtf8(host.readAllStandardOutput());
    EXPECT_EQ(out.section('\n', 0, 0).toStdString(), c.line)
        << QString::fromUtf8(host.readAllStandardError()).toStdString();
    host.terminate();
    ASSERT_TRUE(host.waitForFinished(20000));
    EXPECT_EQ(host.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(host.exitCode(), 0);
  }
}

// What --compare must show on each rig: the same path played with every
// method, and how close each came to the ideal (each slave aimed exactly at
// the master's spot, 8 bit).
//
// On the overhead rig the slaves hang over the stage and their 8-bit steps
// are 5 cm or less, while the master's calibration values, taken from far in
// front, are each rounded by up to half a step of 0.3 m: the trigonometric
// map carries that rounding (about 3.5 times the ideal), and the linear and
// distance methods both miss by metres, neither better than the other.
//
// The arena's twelve heads see a 16 x 10 m stage from all four sides and
// from the floor: there, too, linear and distance miss by metres, and some of
// their ticks send a slave's beam off the floor, while trigonometric stays
// within twice the ideal for every slave.
struct RigBounds {
  const char* rig;
  double trigonometricOverIdeal;  // largest mean error as a multiple of the ideal mean
  bool distanceNoWorseThanLinear;
  // Of each slave alone, with trigonometric: its largest mean error as a
  // multiple of its own ideal mean.
  double slaveOverIdeal;
  // Whether linear and distance, too, keep every slave's beam on the floor.
  bool everyMethodOnTheFloor = true;
};

void PrintTo(const RigBounds& bounds, std::ostream* os) { *os << bounds.rig; }

class HostCompare : public testing::TestWithParam<RigBounds> {};

// Width of a PNG from its header.
int PngWidth(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QByteArray head = file.read(24);
  if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n")) return -1;
  const auto* b = reinterpret_cast<const unsigned char*>(head.constData()) + 16;
  return (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
}

std::vector<TickSample> TicksOf(const QJsonObject& run);

// Each slave measured alone against the master, as if the rig were the two
// of them: a slave left behind cannot hide in the others' mean.
void ExpectEverySlaveNearItsIdeal(const StageRig& rig, std::size_t master,
                                  const std::vector<TickSample>& ticks, double overIdeal) {
  for (std::size_t s = 0; s < rig.heads.size(); ++s) {
    if (s == master) continue;
    StageRig two = rig;
    two.heads = {rig.heads[master], rig.heads[s]};
    std::vector<TickSample> theirs = ticks;
    for (TickSample& tick : theirs) {
      ASSERT_EQ(tick.heads.size(), rig.heads.size());
      tick.heads = {tick.heads[master], tick.heads[s]};
    }
    const Accuracy a = MeasureAccuracy(two, 0, theirs);
    EXPECT_EQ(a.error.noSpot, 0u) << rig.heads[s].name;
    EXPECT_GT(a.ideal.mean, 0) << rig.heads[s].name;
    EXPECT_LE(a.error.mean, overIdeal * a.ideal.mean)
        << rig.heads[s].name << ": " << a.error.mean << " m, ideal " << a.ideal.mean << " m";
  }
}

TEST_P(HostCompare, EveryMethodOnOnePathWithinItsBounds) {
  const RigBounds bounds = GetParam();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString report = dir.filePath("compare.json");
  const QString png = dir.filePath("compare.png");
  const HostRun run = RunHost({"--demo", "--rig", bounds.rig, "--compare", "--seconds", "3",
                               "--report", report, "--png", png},
                              dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();

  QFile file(report);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
  ASSERT_TRUE(root["completed"].toBool()) << root["failure"].toString().toStdString();
  EXPECT_EQ(root["rig"].toString(), bounds.rig);
  const StageRig rig = *RigByName(bounds.rig);
  const auto master = static_cast<std::size_t>(rig.master);
  EXPECT_EQ(root["master"].toInt(-1), rig.master);
  EXPECT_EQ(root["heads"].toArray().size(), static_cast<qsizetype>(rig.heads.size()));
  const auto slaves = static_cast<double>(rig.heads.size() - 1);
  const QJsonArray runs = root["runs"].toArray();
  ASSERT_EQ(runs.size(), 3);
  const char* const methods[] = {"linear", "distance", "trigonometric"};
  double mean[3], ideal[3];
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(methods[i]);
    const QJsonObject r = runs.at(i).toObject();
    EXPECT_EQ(r["method"].toString(), methods[i]);
    const QJsonObject error = r["error"].toObject();
    const QJsonObject best = r["ideal"].toObject();
    mean[i] = error["mean"].toDouble(-1);
    ideal[i] = best["mean"].toDouble(-1);
    EXPECT_GT(ideal[i], 0);
    EXPECT_GE(mean[i], ideal[i]);  // nothing beats each slave aimed exactly
    EXPECT_LE(mean[i], error["p95"].toDouble());
    EXPECT_LE(error["p95"].toDouble(), error["max"].toDouble());
    // The path stays on the marked floor: every slave's beam stays on it,
    // and no tick is held.
    if (i == 2 || bounds.everyMethodOnTheFloor) {
      EXPECT_EQ(error["noSpot"].toDouble(-1), 0);
    }
    EXPECT_EQ(r["held"].toDouble(-1), 0);
    // Two reads and, for each slave, two writes per tick.
    const auto ticks = static_cast<double>(r["ticks"].toArray().size());
    EXPECT_GE(ticks, 10);
    const QJsonObject calls = r["followCalls"].toObject();
    EXPECT_EQ(calls["reads"].toDouble(), 2 * ticks);
    EXPECT_EQ(calls["writes"].toDouble(), 2 * slaves * ticks);
    EXPECT_EQ(calls["failed"].toDouble(-1), 0);
    // Every slave on its own, the last devices as much as the first.
    if (i == 2) {
      ExpectEverySlaveNearItsIdeal(rig, master, TicksOf(r), bounds.slaveOverIdeal);
    }
  }
  // One path: the ideal barely changes with the ticks' timing.
  EXPECT_NEAR(ideal[0], ideal[2], 0.15 * ideal[2]);
  EXPECT_NEAR(ideal[1], ideal[2], 0.15 * ideal[2]);
  EXPECT_LE(mean[2], bounds.trigonometricOverIdeal * ideal[2]);
  if (bounds.distanceNoWorseThanLinear) {
    EXPECT_LE(mean[1], mean[0]);
  } else {
    // Where both miss by metres, trigonometric must not.
    EXPECT_LE(mean[2], 0.25 * std::min(mean[0], mean[1]));
  }

  // One table, the methods in order, and one picture with a panel each.
  const QStringList lines = run.out.split('\n');
  const auto header = lines.indexOf(QRegularExpression("^  method +ticks +mean +p95 +max +ideal$"));
  ASSERT_GE(header, 0) << run.out.toStdString();
  // A method's row may be followed by its exceptions, indented further.
  QStringList rows;
  for (auto at = header + 1; at < lines.size() && lines[at].startsWith("  "); ++at)
    if (!lines[at].startsWith("    ")) rows << lines[at];
  ASSERT_EQ(rows.size(), 3) << run.out.toStdString();
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(rows[i].startsWith(QString("  ") + methods[i])) << run.out.toStdString();
  EXPECT_EQ(PngWidth(png), 3 * 760);
}

// With --fine every head has 16-bit pan and tilt: the demo enters and
// calibrates the fine channels, the plug-in reads the master's four channels
// and writes four per slave, and the trigonometric method comes down to the
// 16-bit floor.
TEST(HostCompareFine, SixteenBitHeadsOnTheDefaultRig) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString report = dir.filePath("compare.json");
  const HostRun run =
      RunHost({"--demo", "--fine", "--compare", "--seconds", "3", "--report", report}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
  EXPECT_TRUE(run.out.contains("16-bit with fine channels")) << run.out.toStdString();
  EXPECT_TRUE(run.out.contains("rounded to 16 bit")) << run.out.toStdString();

  QFile file(report);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
  ASSERT_TRUE(root["completed"].toBool()) << root["failure"].toString().toStdString();
  const QJsonArray heads = root["heads"].toArray();
  ASSERT_EQ(heads.size(), 4);
  for (int h = 0; h < 4; ++h) {
    const QJsonObject head = heads.at(h).toObject();
    EXPECT_EQ(head["panChannel"].toInt(), 4 * h + 1);
    EXPECT_EQ(head["panFineChannel"].toInt(), 4 * h + 2);
    EXPECT_EQ(head["tiltChannel"].toInt(), 4 * h + 3);
    EXPECT_EQ(head["tiltFineChannel"].toInt(), 4 * h + 4);
    // Calibrated with 16-bit values: not all of them multiples of 256.
    bool fineUsed = false;
    for (const QJsonValue pair : head["calibration"].toArray())
      fineUsed = fineUsed || pair.toArray().at(0).toInt() % 256 != 0;
    EXPECT_TRUE(fineUsed) << h;
  }
  const QJsonArray runs = root["runs"].toArray();
  ASSERT_EQ(runs.size(), 3);
  for (int i = 0; i < 3; ++i) {
    const QJsonObject r = runs.at(i).toObject();
    SCOPED_TRACE(r["method"].toString().toStdString());
    const auto ticks = static_cast<double>(r["ticks"].toArray().size());
    EXPECT_GE(ticks, 10);
    const QJsonObject calls = r["followCalls"].toObject();
    EXPECT_EQ(calls["reads"].toDouble(), 4 * ticks);
    EXPECT_EQ(calls["writes"].toDouble(), 12 * ticks);
    EXPECT_EQ(r["held"].toDouble(-1), 0);
    // The 16-bit floor: a millimetre or two.
    EXPECT_LT(r["ideal"].toObject()["max"].toDouble(1), 0.01);
  }
  const QJsonObject trigonometric = runs.at(2).toObject()["error"].toObject();
  EXPECT_LT(trigonometric["mean"].toDouble(1), 0.02);
  EXPECT_LT(trigonometric["max"].toDouble(1), 0.1);
}

QJsonObject ReadReport(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(file.readAll()).object();
}

PanTilt PairOf(const QJsonValue& v) {
  const QJsonArray a = v.toArray();
  return {a.at(0).toInt(-1), a.at(1).toInt(-1)};
}

std::vector<TickSample> TicksOf(const QJsonObject& run) {
  std::vector<TickSample> samples;
  for (const QJsonValue tick : run["ticks"].toArray()) {
    const QJsonObject t = tick.toObject();
    TickSample s;
    s.zone = t["zone"].toInt();
    s.master = PairOf(t["master"]);
    for (const QJsonValue head : t["heads"].toArray()) s.heads.push_back(PairOf(head));
    s.writes = t["writes"].toInt(-1);
    samples.push_back(s);
  }
  return samples;
}

// A performer 1.5 m tall on the sides rig: the operator enters K1-K3, the
// method follows on the floor and then at the height, and both are measured
// where the performer is.
TEST(HostHeight, FollowingAtTheHeightBeatsTheFloorThere) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString report = dir.filePath("height.json");
  const HostRun run = RunHost({"--demo", "--rig", "sides", "--method", "trigonometric", "--height",
                               "1.5", "--seconds", "3", "--report", report},
                              dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
  EXPECT_TRUE(run.out.contains("at 1.50 m above the floor")) << run.out.toStdString();
  EXPECT_TRUE(run.out.contains("not measurements")) << run.out.toStdString();
  const QJsonObject root = ReadReport(report);
  ASSERT_TRUE(root["completed"].toBool()) << root["failure"].toString().toStdString();
  EXPECT_EQ(root["height"].toDouble(), 1.5);
  EXPECT_TRUE(root["messages"].toArray().isEmpty());
  ASSERT_TRUE(root["stage"].toObject()["solved"].toBool())
      << root["stage"].toObject()["why"].toString().toStdString();
  for (const QJsonValue head : root["heads"].toArray()) {
    const QJsonObject h = head.toObject();
    SCOPED_TRACE(h["name"].toString().toStdString());
    EXPECT_EQ(h["solvedPosition"].toArray().size(), 3);
    EXPECT_GE(h["solvedError"].toDouble(-1), 0.0);
    // Within a step or so of every calibration ray, as a stage that fits.
    EXPECT_GE(h["largestResidualSteps"].toDouble(-1), 0.0);
    EXPECT_LT(h["largestResidualSteps"].toDouble(99), 1.5);
  }

  const StageRig rig = *RigByName("sides");
  const auto master = static_cast<std::size_t>(root["master"].toInt());
  const QJsonArray runs = root["runs"].toArray();
  ASSERT_EQ(runs.size(), 2);
  const QJsonObject floor = runs.at(0).toObject();
  const QJsonObject height = runs.at(1).toObject();
  EXPECT_EQ(floor["followHeight"].toDouble(-1), 0.0);
  EXPECT_EQ(height["followHeight"].toDouble(-1), 1.5);
  for (const QJsonObject& r : {floor, height}) {
    SCOPED_TRACE(r["followHeight"].toDouble());
    const std::vector<TickSample> ticks = TicksOf(r);
    ASSERT_GE(ticks.size(), 10u);
    // The report's figures are those in the plane at 1.5 m, not the floor's.
    const Accuracy atHeight = MeasureAccuracy(rig, master, ticks, 1.5);
    const Accuracy onFloor = MeasureAccuracy(rig, master, ticks, 0.0);
    EXPECT_NEAR(r["error"].toObject()["mean"].toDouble(), atHeight.error.mean, 1e-9);
    EXPECT_NEAR(r["ideal"].toObject()["mean"].toDouble(), atHeight.ideal.mean, 1e-9);
    EXPECT_GT(std::abs(atHeight.error.mean - onFloor.error.mean), 0.1);
  }
  const double floorMean = floor["error"].toObject()["mean"].toDouble();
  const double heightMean = height["error"].toObject()["mean"].toDouble();
  const double ideal = height["ideal"].toObject()["mean"].toDouble();
  EXPECT_LT(heightMean, floorMean / 4) << heightMean << " " << floorMean;
  EXPECT_LT(heightMean, 2.5 * ideal) << heightMean << " " << ideal;
}

// The operator's spread is seeded: two runs calibrate alike, and not as an
// exact aim would.
TEST(HostAimNoise, TheSameSpreadCalibratesAlike) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  std::vector<QJsonArray> calibrations;
  for (const char* name : {"first.json", "second.json"}) {
    const QString report = dir.filePath(name);
    const HostRun run = RunHost(
        {"--demo", "--fine", "--aim-noise", "2", "--seconds", "1", "--report", report}, dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    const QJsonObject root = ReadReport(report);
    EXPECT_EQ(root["aimNoiseCm"].toDouble(), 2.0);
    // The ranges are right: an operator's aim alone must not be told to
    // check them.
    EXPECT_TRUE(root["messages"].toArray().isEmpty()) << run.out.toStdString();
    QJsonArray all;
    for (const QJsonValue head : root["heads"].toArray())
      all.append(head.toObject()["calibration"]);
    calibrations.push_back(all);
  }
  ASSERT_EQ(calibrations[0].size(), 4);
  EXPECT_EQ(calibrations[0], calibrations[1]);
  const StageRig rig = WithFineChannels(DefaultRig());
  int moved = 0;
  for (std::size_t h = 0; h < rig.heads.size(); ++h)
    for (Mark mark : kAllMarks) {
      const PanTilt taken = PairOf(
          calibrations[0].at(static_cast<qsizetype>(h)).toArray().at(static_cast<int>(mark)));
      const PanTilt exact = *AimAt(rig.heads[h], rig.MarkAt(mark));
      moved += taken == exact ? 0 : 1;
      // A 2 cm spread stays within centimetres of the mark.
      EXPECT_LT(Distance(*BeamSpot(rig.heads[h], taken), rig.MarkAt(mark)), 0.1);
    }
  EXPECT_GT(moved, 15);
}

INSTANTIATE_TEST_SUITE_P(
    Rigs, HostCompare,
    testing::Values(RigBounds{"default", 2.5, true, 3.0}, RigBounds{"sides", 2.5, true, 3.0},
                    RigBounds{"mixed", 2.5, true, 3.0}, RigBounds{"overhead", 4.5, false, 6.0},
                    RigBounds{"arena", 2.5, false, 3.0, false}),
    [](const testing::TestParamInfo<RigBounds>& info) { return std::string(info.param.rig); });

}  // namespace
}  // namespace tbhost

// On rigs that the plausibility check of the linear method finds fault with
// (heads at the sides, at the back, over the stage; the arena's twelve, of
// which the plug-in keeps eight after its 25 lines), a calibration taken in
// the interactive host with "trigonometric" chosen must be in TrailBeam.ini
// after Enable TB, and the show box must then come up in follow mode from
// that file alone.
#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>

#include "host/demo/demo.h"
#include "host/interactive/host_window.h"
#include "host/session/operator_input.h"
#include "host/session/plugin_session.h"
#include "module_copy_host.h"

namespace tbhost {
namespace {

class CalibrationKept : public ModuleCopyHost, public testing::WithParamInterface<const char*> {
 protected:
  CalibrationKept() : ModuleCopyHost(*RigByName(GetParam())) {}

  QByteArray Settings() const {
    QFile ini(dir_.filePath("TrailBeam.ini"));
    return ini.open(QIODevice::ReadOnly) ? ini.readAll() : QByteArray();
  }

  // The calibration lines the operator's aims must have left: five per
  // device after its device line, "1,pan,tilt".
  QStringList ExpectedCalibration() const {
    QStringList lines;
    for (const MovingHead& head : rig_.heads) {
      for (Mark mark : kAllMarks) {
        const auto aim = AimAt(head, rig_.MarkAt(mark));
        lines << (aim ? QString("1,%1,%2").arg(aim->pan).arg(aim->tilt) : QString("?"));
      }
    }
    return lines;
  }
};

TEST_P(CalibrationKept, TrigonometricSavesItAndTheShowBoxRunsFromIt) {
  StartHost();
  DemoSettings settings;
  settings.master = rig_.master;
  settings.methods = {FollowChoice::Trigonometric};
  Demo demo(rig_, universe_, counts_, window_, session_, settings);
  QString failure;
  ASSERT_TRUE(demo.StartFollowing(failure)) << failure.toStdString();

  const QStringList lines = QString::fromLatin1(Settings()).split("\r\n");
  ASSERT_GE(lines.size(), 25) << Settings().toStdString();
  QStringList calibration;
  for (int d = 0; d < static_cast<int>(rig_.heads.size()); ++d) {
    if (d < 4) {
      calibration << lines.mid(2 + 6 * d, 5);
      continue;
    }
    // Devices 5 on after the 25 lines, each point behind its key.
    for (const char* mark : {"K1", "K2", "K3", "K4", "KM"}) {
      const QString key = QString("Device%1.%2=").arg(d + 1).arg(mark);
      const auto at = std::find_if(lines.begin(), lines.end(),
                                   [&](const QString& line) { return line.startsWith(key); });
      calibration << (at == lines.end() ? QString("missing") : at->mid(key.size()));
    }
  }
  EXPECT_EQ(calibration.join(" ").toStdString(), ExpectedCalibration().join(" ").toStdString())
      << Settings().toStdString();

  // Stop TB, as the operator ends the session; it saves once more.
  QWidget* form = window_.PluginWindow();
  ASSERT_NE(form, nullptr);
  QPushButton* enable = Button(form, "CmdEnableTB");
  ASSERT_NE(enable, nullptr);
  QTest::mouseClick(enable, Qt::LeftButton);
  ASSERT_EQ(enable->text(), "Enable TB");
  const QByteArray saved = Settings();

  // The show box on the same module: no olad is needed for follow mode to
  // come on, only for DMX to flow (tests/ola checks that part).
  QProcess box;
  box.setProcessChannelMode(QProcess::SeparateChannels);
  const QString master = QString::number(rig_.master + 1);
  box.start(TRAILBEAM_HOST,
            {"--run", "--master", master, "--method", "trigonometric", "--plugin",
             dir_.filePath("TrailBeam.so"), "--ola-in", "1", "--ola-out", "2", "--ola-port", "1"});
  ASSERT_TRUE(box.waitForStarted());
  QByteArray said;
  const bool on = QTest::qWaitFor(
      [&] {
        said += box.readAllStandardError();
        return said.contains("status: follow on") || box.state() == QProcess::NotRunning;
      },
      120000);
  said += box.readAllStandardError();
  EXPECT_TRUE(on && said.contains("status: follow on")) << said.toStdString();
  EXPECT_TRUE(said.contains("method trigonometric")) << said.toStdString();
  EXPECT_FALSE(said.contains("plug-in message")) << said.toStdString();
  ::kill(static_cast<pid_t>(box.processId()), SIGTERM);
  ASSERT_TRUE(box.waitForFinished(60000));
  said += box.readAllStandardError();
  EXPECT_EQ(box.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(box.exitCode(), 0) << said.toStdString();
  EXPECT_TRUE(said.contains("follow mode off")) << said.toStdString();
  EXPECT_EQ(Settings(), saved) << "the box changed the operator's rig";
}

INSTANTIATE_TEST_SUITE_P(RigsThePlausibilityCheckRefuses, CalibrationKept,
                         testing::Values("sides", "mixed", "overhead", "arena"));

}  // namespace
}  // namespace tbhost

// The show box on a rig calibrated with its K1-K3 length: `--run --height`
// types the height into the main window's box, `--run --height-channel`
// enters the channel in the device setup, whose OK stores it; a stored
// channel then takes the height box away, and the show box says so and
// stays off.
#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "host/demo/demo.h"
#include "host/interactive/host_window.h"
#include "host/session/operator_input.h"
#include "host/session/plugin_session.h"
#include "module_copy_host.h"

namespace tbhost {
namespace {

class ShowBoxHeight : public ModuleCopyHost {
 protected:
  ShowBoxHeight() : ModuleCopyHost(*RigByName("sides")) {}

  QByteArray Settings() const {
    QFile ini(dir_.filePath("TrailBeam.ini"));
    return ini.open(QIODevice::ReadOnly) ? ini.readAll() : QByteArray();
  }

  struct BoxRun {
    bool following = false;
    int exitCode = -1;
    QByteArray said;
  };

  // The box until follow mode is on (then SIGTERM) or it ends by itself.
  BoxRun RunBox(const QStringList& extra) {
    QProcess box;
    box.setProcessChannelMode(QProcess::SeparateChannels);
    QStringList args = {"--run",
                        "--master",
                        QString::number(rig_.master + 1),
                        "--method",
                        "trigonometric",
                        "--plugin",
                        dir_.filePath("TrailBeam.so"),
                        "--ola-in",
                        "1",
                        "--ola-out",
                        "2",
                        "--ola-port",
                        "1"};
    args << extra;
    box.start(TRAILBEAM_HOST, args);
    BoxRun run;
    if (!box.waitForStarted()) return run;
    run.following = QTest::qWaitFor(
        [&] {
          run.said += box.readAllStandardError();
          return run.said.contains("status: follow on") || box.state() == QProcess::NotRunning;
        },
        120000);
    run.following = run.said.contains("status: follow on");
    if (box.state() != QProcess::NotRunning) {
      ::kill(static_cast<pid_t>(box.processId()), SIGTERM);
      if (!box.waitForFinished(60000)) return run;
    }
    run.said += box.readAllStandardError();
    if (box.exitStatus() == QProcess::NormalExit) run.exitCode = box.exitCode();
    return run;
  }
};

TEST_F(ShowBoxHeight, HeightAndHeightChannelReachThePlugin) {
  StartHost();
  DemoSettings settings;
  settings.master = rig_.master;
  settings.methods = {FollowChoice::Trigonometric};
  settings.metric = true;  // the operator enters K1-K3
  Demo demo(rig_, universe_, counts_, window_, session_, settings);
  QString failure;
  ASSERT_TRUE(demo.StartFollowing(failure)) << failure.toStdString();
  QPushButton* enable = Button(window_.PluginWindow(), "CmdEnableTB");
  ASSERT_NE(enable, nullptr);
  QTest::mouseClick(enable, Qt::LeftButton);
  ASSERT_EQ(enable->text(), "Enable TB");
  const QByteArray calibrated = Settings();
  ASSERT_GT(calibrated.split('\n').size(), 26) << "no K1-K3 line after the 25";

  struct Case {
    QStringList extra;
    bool follows;
    const char* said;  // a line the box must print
    bool storesChannel;
  };
  // In this order: once the channel is stored the box is no longer offered.
  const Case cases[] = {
      {{"--height", "1.25"}, true, "follow height 1.25 m", false},
      {{"--height-channel", "17"}, true, "the follow height comes from channel 17", true},
      {{"--height", "1.00"}, false, "channel 17", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extra.join(" ").toStdString());
    const QByteArray before = Settings();
    const BoxRun run = RunBox(c.extra);
    EXPECT_EQ(run.following, c.follows) << run.said.toStdString();
    EXPECT_EQ(run.exitCode, c.follows ? 0 : 1) << run.said.toStdString();
    EXPECT_TRUE(run.said.contains(c.said)) << run.said.toStdString();
    EXPECT_FALSE(run.said.contains("plug-in message")) << run.said.toStdString();
    const QList<QByteArray> lines = Settings().split('\n');
    const QList<QByteArray> calibratedLines = calibrated.split('\n');
    // The 25 described lines are the operator's rig, whatever the box did.
    ASSERT_GE(lines.size(), 25);
    EXPECT_EQ(lines.mid(0, 25), calibratedLines.mid(0, 25));
    const bool stored = lines.mid(25).join('\n').contains("17");
    EXPECT_EQ(stored, c.storesChannel);
    if (!c.storesChannel) {
      EXPECT_EQ(Settings(), before);
    }
  }
}

}  // namespace
}  // namespace tbhost

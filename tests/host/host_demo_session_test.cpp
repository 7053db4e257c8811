// The demo's session in this process with the real module: what the
// operator's typing and clicks leave in the plug-in, read from the settings
// file that OK in the setup window wrote.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include "host/demo/demo.h"
#include "host/interactive/host_window.h"
#include "host/interactive/interactive_feedback.h"
#include "host/interactive/stage_view.h"
#include "host/session/plugin_session.h"
#include "host/sim/stage_estimate.h"
#include "module_copy_host.h"

namespace tbhost {
namespace {

class DemoSession : public ModuleCopyHost {
 protected:
  DemoSession() : ModuleCopyHost(*RigByName("mixed")) {}
  void SetUp() override { StartHost(); }

  QStringList SettingsLines() const {
    QFile ini(dir_.filePath("TrailBeam.ini"));
    if (!ini.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(ini.readAll()).split("\r\n");
  }
};

// The mixed rig's wide-angle head is the one whose ranges are typed; the
// method is clicked in the main window before Enable.
TEST_F(DemoSession, TypesTheRangesThatDifferAndClicksTheMethod) {
  DemoSettings settings;
  settings.seconds = 1;
  settings.master = rig_.master;
  settings.methods = {FollowChoice::Trigonometric};
  Demo demo(rig_, universe_, counts_, window_, session_, settings);
  const DemoOutcome outcome = demo.Run();
  ASSERT_TRUE(outcome.completed) << outcome.failure.toStdString();
  ASSERT_EQ(outcome.runs.size(), 1u);
  EXPECT_EQ(outcome.runs[0].method, FollowChoice::Trigonometric);
  EXPECT_FALSE(outcome.runs[0].samples.empty());
  // No range finding at Enable: the plug-in knows the head's real ranges.
  for (const QString& text : outcome.messages)
    EXPECT_FALSE(text.contains("range")) << text.toStdString();

  // Name, pan and tilt channel of each device, its ranges only where they
  // are not 540/270: the file's device lines 2, 8, 14 and 20.
  const QStringList lines = SettingsLines();
  ASSERT_GE(lines.size(), 20);
  EXPECT_EQ(lines[1], "FOH,1,2");
  EXPECT_EQ(lines[7], "Tower,3,4");
  EXPECT_EQ(lines[13], "Wide,5,6,630,265");
  EXPECT_EQ(lines[19], "Back,7,8");

  QWidget* form = window_.PluginWindow();
  ASSERT_NE(form, nullptr);
  auto* trigonometric = form->findChild<QRadioButton*>("OptTrigo");
  ASSERT_NE(trigonometric, nullptr);
  EXPECT_TRUE(trigonometric->isChecked());
}

// The rate asked for is typed into the device setup: OK stores it in the
// file, and the plug-in's follow timer ran at its interval.
TEST_F(DemoSession, TypesTheRateAndThePluginFollowsAtIt) {
  DemoSettings settings;
  settings.seconds = 1;
  settings.master = rig_.master;
  settings.rate = 40;
  Demo demo(rig_, universe_, counts_, window_, session_, settings);
  const DemoOutcome outcome = demo.Run();
  ASSERT_TRUE(outcome.completed) << outcome.failure.toStdString();
  EXPECT_TRUE(SettingsLines().contains("FollowRate=40"));
  QWidget* form = window_.PluginWindow();
  ASSERT_NE(form, nullptr);
  auto* timer = form->findChild<QTimer*>("TimerDMX");
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 25);
}

class HeightSession : public ModuleCopyHost {
 protected:
  HeightSession() : ModuleCopyHost(*RigByName("overhead")) {}
  void SetUp() override { StartHost(); }
};

// The operator's K1-K3 goes through the setup window into the file, the
// height through the box; the file the plug-in saved gives the interactive
// host the same estimate of the heads as the demo's own fit, and its stage
// draws it.
TEST_F(HeightSession, TheLengthAndHeightGoThroughTheWindowsAndTheFileGivesTheEstimate) {
  DemoSettings settings;
  settings.seconds = 1;
  settings.master = rig_.master;
  settings.methods = {FollowChoice::Trigonometric};
  settings.metric = true;
  settings.height = 1.5;
  Demo demo(rig_, universe_, counts_, window_, session_, settings);
  const DemoOutcome outcome = demo.Run();
  ASSERT_TRUE(outcome.completed) << outcome.failure.toStdString();
  ASSERT_EQ(outcome.runs.size(), 2u);
  EXPECT_EQ(outcome.runs[0].followHeight, 0.0);
  EXPECT_EQ(outcome.runs[1].followHeight, 1.5);
  auto* box = window_.PluginWindow()->findChild<QLineEdit*>("TxtHeight");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "1.50");
  ASSERT_TRUE(outcome.stage.solved) << outcome.stage.why;

  QFile ini(dir_.filePath("TrailBeam.ini"));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QByteArray bytes = ini.readAll();
  ini.close();
  const QString length = QString::number(TapeLength(rig_, Mark::K1, Mark::K3), 'f', 2);
  const QStringList lines = QString::fromUtf8(bytes).split("\r\n");
  ASSERT_GT(lines.size(), 25);
  EXPECT_TRUE(lines.mid(25).join("\n").contains(length)) << lines.mid(25).join("|").toStdString();
  EXPECT_FALSE(lines.mid(0, 25).join("\n").contains(length));

  const StageEstimate saved = EstimateSavedStage(
      rig_, rig_.master,
      std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  ASSERT_TRUE(saved.solved) << saved.why;
  ASSERT_EQ(saved.heads.size(), outcome.stage.heads.size());
  for (std::size_t i = 0; i < saved.heads.size(); ++i) {
    EXPECT_EQ(saved.heads[i].head, outcome.stage.heads[i].head);
    EXPECT_NEAR(saved.heads[i].offBy, outcome.stage.heads[i].offBy, 1e-6);
  }

  window_.Stage()->SetMaster(rig_.master);
  SavedMarksWatch watch(dir_.filePath("TrailBeam.ini"), window_);
  const std::vector<HeadEstimate>& shown = window_.Stage()->Estimates();
  ASSERT_EQ(shown.size(), saved.heads.size());
  for (std::size_t i = 0; i < shown.size(); ++i)
    EXPECT_NEAR(shown[i].offBy, saved.heads[i].offBy, 1e-9);
}

}  // namespace
}  // namespace tbhost

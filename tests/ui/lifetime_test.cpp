// The host's application ends while the component's windows are open: the
// windows go first, nothing crashes and nothing leaks (run under the
// sanitizers to see the latter).
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTemporaryDir>
#include <memory>

#include "ui/component_windows.h"
#include "ui/form_tb_main.h"
#include "ui/frm_about.h"
#include "ui/frm_tb_config.h"
#include "ui_test_support.h"

namespace tb::testing {
namespace {

TEST(ComponentWindows, CreatedOnFirstUseAndGoneWithTheApplication) {
  int argc = 1;
  char name[] = "ui_lifetime_test";
  char* argv[] = {name, nullptr};
  QTemporaryDir dir;
  RigStore rig;
  RecordingSink sink;
  ui::ComponentWindows windows({rig, sink, dir.filePath("TrailBeam.ini").toStdString()});
  EXPECT_FALSE(ui::ComponentWindows::CanCreateWindows());

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    auto app = std::make_unique<QApplication>(argc, argv);
    EXPECT_TRUE(ui::ComponentWindows::CanCreateWindows());
    EXPECT_FALSE(windows.Alive());
    ui::FormTBMain& main = windows.Main();
    EXPECT_EQ(&windows.Main(), &main);  // one per component
    ui::frmTBConfig& config = windows.Config();
    EXPECT_EQ(&windows.Config(), &config);
    EXPECT_TRUE(windows.Alive());

    main.show();
    config.Form_Load();
    config.show();
    QPointer<ui::frmAbout> help = ui::frmAbout::ShowHelp(&main);
    QPointer<ui::FormTBMain> mainAlive = &main;
    QCoreApplication::processEvents();

    app.reset();
    EXPECT_EQ(mainAlive, nullptr);
    EXPECT_EQ(help, nullptr);
    EXPECT_FALSE(windows.Alive());
    EXPECT_FALSE(ui::ComponentWindows::CanCreateWindows());
  }
}

}  // namespace
}  // namespace tb::testing

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// The interactive host with the real module, used as an operator does after
// a restart: the main window starts empty, the device setup is opened from
// the Plug-in menu, and the host opens the main window afresh so that it
// lists the devices, except while follow mode runs.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "host/interactive/host_window.h"
#include "host/interactive/plugin_windows.h"
#include "host/session/operator_input.h"
#include "host/session/plugin_session.h"
#include "module_copy_host.h"

namespace tbhost {
namespace {

// Two devices, both calibrated on all five points.
const char kSettings[] =
    "TrailBeam.ini\r\nSpot links,1,2\r\n1,60,40\r\n1,60,200\r\n1,220,40\r\n1,220,200\r\n"
    "1,140,120\r\nSpot rechts,3,4\r\n1,30,10\r\n1,31,190\r\n1,200,20\r\n1,210,180\r\n"
    "1,90,70\r\n,0,0\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n"
    ",0,0\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n";

bool Eventually(const std::function<bool()>& test) { return QTest::qWaitFor(test, 5000); }

class InteractiveHost : public ModuleCopyHost {
 protected:
  InteractiveHost() : ModuleCopyHost(DefaultRig()) {}
  void SetUp() override {
    StartHost(QByteArray(kSettings, sizeof kSettings - 1));
    if (HasFatalFailure()) return;
    windows_ = std::make_unique<PluginWindows>(session_, window_);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }
  void TearDown() override {
    if (QWidget* form = window_.PluginWindow()) form->close();
  }

  QWidget* Form() const { return window_.PluginWindow(); }
  template <class T>
  T* Control(const char* name) const {
    return Form() != nullptr ? Form()->findChild<T*>(name) : nullptr;
  }

  // Plug-in › Configure devices…, then OK in the setup window: mouse clicks
  // through the menu bar, the menu and the window.
  void ConfigureDevicesFromTheMenu() {
    auto* entry = window_.findChild<QAction*>("actionConfigure");
    ASSERT_NE(entry, nullptr);
    auto* menu = qobject_cast<QMenu*>(entry->parent());
    ASSERT_NE(menu, nullptr);
    QMenuBar* bar = window_.menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    ASSERT_TRUE(Eventually([menu] { return menu->isVisible(); }));
    bool closedWithOk = false;
    // The setup window is modal: the operator's part runs inside its loop.
    QTimer::singleShot(0, [this, &closedWithOk] {
      QWidget* setup = nullptr;
      if (!Eventually([&setup] {
            setup = QApplication::activeModalWidget();
            return setup != nullptr && setup->objectName() == "frmTBConfig";
          }))
        return;
      EXPECT_EQ(window_.StatusText(), kSetupOpen);
      QTest::mouseClick(setup->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
      closedWithOk = true;
    });
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
    ASSERT_TRUE(Eventually([&closedWithOk] { return closedWithOk; }));
    ASSERT_TRUE(Eventually([] { return QApplication::activeModalWidget() == nullptr; }));
    QTest::qWait(50);
  }

  // Opens the drop-down list with a click on its arrow and clicks the entry.
  static void Pick(QComboBox* combo, int index) {
    ASSERT_NE(combo, nullptr);
    QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(combo->width() - 6, combo->height() / 2));
    QAbstractItemView* view = combo->view();
    ASSERT_TRUE(Eventually([view] { return view->isVisible(); }));
    // A release this soon after the list opened counts as part of the opening click.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    const QRect entry = view->visualRect(view->model()->index(index, combo->modelColumn()));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
    ASSERT_TRUE(Eventually([view] { return !view->isVisible(); }));
  }

  std::unique_ptr<PluginWindows> windows_;
  // The operator reads every message box and presses its OK.
  QStringList messages_;
  MessageBoxWatcher watcher_{messages_};
};

TEST_F(InteractiveHost, OpensTheMainWindowAfreshAfterTheSetupUnlessFollowModeRuns) {
  // After a restart: the hint, and a main window that knows no device yet.
  EXPECT_EQ(window_.StatusText(), kOpenSetupFirst);
  ASSERT_TRUE(windows_->ShowMainWindow());
  ASSERT_NE(Form(), nullptr);
  EXPECT_TRUE(Form()->isVisible());
  auto* devices = Control<QComboBox>("ComboDeviceList");
  auto* master = Control<QComboBox>("ComboMaster");
  auto* enable = Control<QPushButton>("CmdEnableTB");
  ASSERT_TRUE(devices && master && enable);
  EXPECT_EQ(devices->count(), 0);
  ASSERT_TRUE(Eventually([this] { return messages_.size() == 1; }));
  EXPECT_EQ(messages_.front(), "Bitte weitere Geräte konfigurieren");
  EXPECT_EQ(FollowStateOf(Form()), FollowState::Off);

  // The setup reads TrailBeam.ini; the host then opens the main window again.
  ConfigureDevicesFromTheMenu();
  EXPECT_TRUE(windows_->SetupOpened());
  EXPECT_EQ(window_.StatusText(), kMainWindowReopened);
  EXPECT_TRUE(Form()->isVisible());
  ASSERT_EQ(devices->count(), 2);
  EXPECT_EQ(devices->itemText(0), "Spot links");
  EXPECT_EQ(devices->itemText(1), "Spot rechts");
  EXPECT_EQ(master->count(), 2);
  EXPECT_EQ(messages_.size(), 1);

  // Follow mode on: the main window must stay as it is through the setup.
  Pick(master, 0);
  QTest::mouseClick(enable, Qt::LeftButton);
  ASSERT_EQ(enable->text(), "Stop TB");
  EXPECT_EQ(FollowStateOf(Form()), FollowState::Running);
  ConfigureDevicesFromTheMenu();
  EXPECT_EQ(window_.StatusText(), kMainWindowKept);
  EXPECT_EQ(enable->text(), "Stop TB");
  EXPECT_EQ(FollowStateOf(Form()), FollowState::Running);
  EXPECT_EQ(master->currentIndex(), 0);
  QTest::mouseClick(enable, Qt::LeftButton);
  ASSERT_EQ(enable->text(), "Enable TB");

  // The operator closed the main window: it comes back after the setup.
  Form()->close();
  ASSERT_FALSE(Form()->isVisible());
  ConfigureDevicesFromTheMenu();
  EXPECT_TRUE(Form()->isVisible());
  EXPECT_EQ(devices->count(), 2);
  EXPECT_EQ(master->currentIndex(), -1);
  EXPECT_EQ(window_.StatusText(), kMainWindowReopened);
  EXPECT_EQ(messages_.size(), 1) << messages_.join(" | ").toStdString();
}

}  // namespace
}  // namespace tbhost

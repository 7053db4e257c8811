// The interactive host's feedback, used as an operator does on a 1366 x 768
// screen with the real module: the saved marks per head after a save, the
// follow indicator on and off, one DMX step per key, a lost beam brought
// back onto the stage, and both windows on the screen.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTableWidget>
#include <QTest>
#include <functional>

#include "host/demo/demo.h"
#include "host/interactive/head_table.h"
#include "host/interactive/interactive_feedback.h"
#include "host/interactive/plugin_windows.h"
#include "host/interactive/stage_view.h"
#include "host/interactive/window_fit.h"
#include "host/session/operator_input.h"
#include "module_copy_host.h"

namespace tbhost {
namespace {

// Spot links on Truss L's channels, calibrated on all five marks; Spot
// rechts on Truss R's, not calibrated.
const char kSettings[] =
    "TrailBeam.ini\r\nSpot links,1,2\r\n1,60,40\r\n1,60,200\r\n1,220,40\r\n1,220,200\r\n"
    "1,140,120\r\nSpot rechts,3,4\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n"
    ",0,0\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n"
    ",0,0\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n";

bool Eventually(const std::function<bool()>& test) { return QTest::qWaitFor(test, 5000); }

class Feedback : public ModuleCopyHost {
 protected:
  Feedback() : ModuleCopyHost(DefaultRig()) {}
  void SetUp() override {
    StartHost(QByteArray(kSettings, sizeof kSettings - 1));
    if (HasFatalFailure()) return;
    follow_ = std::make_unique<FollowMonitor>(*session_.Helper(), window_);
    marks_ = std::make_unique<SavedMarksWatch>(SettingsFileBeside(session_.ModulePath()), window_);
    windows_ = std::make_unique<PluginWindows>(session_, window_);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    ASSERT_TRUE(windows_->ShowMainWindow());
    ASSERT_NE(Form(), nullptr);
    // The main window greets with a message until the setup has been opened.
    ASSERT_TRUE(Eventually([this] { return messages_.size() == 1; }));
  }
  void TearDown() override {
    if (QWidget* form = Form()) form->close();
  }

  QWidget* Form() const { return window_.PluginWindow(); }
  template <class T>
  T* Control(const char* name) const {
    return Form() != nullptr ? Form()->findChild<T*>(name) : nullptr;
  }
  template <class T>
  T* Host(const char* name) {
    return window_.findChild<T*>(name);
  }
  QString Text(const char* label) { return Host<QLabel>(label)->text(); }
  PanTilt Aim(int head) const {
    const MovingHead& h = rig_.heads[static_cast<std::size_t>(head)];
    return {universe_.At(h.panChannel), universe_.At(h.tiltChannel)};
  }
  HeadTable* Heads() { return Host<HeadTable>("headList"); }

  // Plug-in › Configure devices…, then OK in the setup window (which reads
  // TrailBeam.ini and saves it again): clicks through menu and window.
  void ConfigureDevicesFromTheMenu() {
    auto* entry = Host<QAction>("actionConfigure");
    auto* menu = qobject_cast<QMenu*>(entry->parent());
    ASSERT_NE(menu, nullptr);
    QMenuBar* bar = window_.menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    ASSERT_TRUE(Eventually([menu] { return menu->isVisible(); }));
    bool closed = false;
    QTimer::singleShot(0, [&closed] {
      QWidget* setup = nullptr;
      if (!Eventually([&setup] {
            setup = QApplication::activeModalWidget();
            return setup != nullptr && setup->objectName() == "frmTBConfig";
          }))
        return;
      QTest::mouseClick(setup->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
      closed = true;
    });
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
    ASSERT_TRUE(Eventually([&closed] { return closed; }));
    ASSERT_TRUE(Eventually([] { return QApplication::activeModalWidget() == nullptr; }));
    ASSERT_TRUE(Eventually([this] { return Control<QComboBox>("ComboMaster")->count() == 2; }));
  }

  void ClickHeadRow(int head) {
    QTableWidget* table = Heads();
    const QRect cell = table->visualRect(table->model()->index(head, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(window_.SelectedHead(), head);
  }

  // Drags on the stage from one pixel to another, pressing and moving as a hand does.
  void Drag(QPointF from, QPointF to) {
    StageView* stage = window_.Stage();
    QTest::mousePress(stage, Qt::LeftButton, {}, from.toPoint());
    for (int step = 1; step <= 4; ++step) {
      const QPointF at = from + (to - from) * step / 4.0;
      QMouseEvent move(QEvent::MouseMove, at, stage->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                       {});
      QApplication::sendEvent(stage, &move);
    }
    QTest::mouseRelease(stage, Qt::LeftButton, {}, to.toPoint());
  }

  std::unique_ptr<FollowMonitor> follow_;
  std::unique_ptr<SavedMarksWatch> marks_;
  std::unique_ptr<PluginWindows> windows_;
  QStringList messages_;
  MessageBoxWatcher watcher_{messages_};
};

QStringList MarksOf(const HeadTable* table, int head) {
  QStringList texts;
  for (Mark m : kAllMarks) texts << table->MarkText(head, m);
  return texts;
}

TEST_F(Feedback, TheHeadTableShowsTheMarksOfTheLastSave) {
  const QStringList all = {"✓", "✓", "✓", "✓", "✓"};
  const QStringList none = {"·", "·", "·", "·", "·"};
  const QStringList noDevice = {"–", "–", "–", "–", "–"};
  EXPECT_EQ(MarksOf(Heads(), 0), all);
  EXPECT_EQ(MarksOf(Heads(), 1), none);
  EXPECT_EQ(MarksOf(Heads(), 2), noDevice);
  EXPECT_EQ(MarksOf(Heads(), 3), noDevice);
  EXPECT_TRUE(Text("calibrationNote").startsWith("As saved in TrailBeam.ini at "));

  // Spot rechts takes KM where Truss R points, picked in the host's table.
  ConfigureDevicesFromTheMenu();
  ASSERT_TRUE(PickEntry(Control<QComboBox>("ComboDeviceList"), 1));
  QTest::mouseClick(Control<QWidget>("TxtCalibr_4"), Qt::LeftButton);
  ClickHeadRow(1);
  QTest::mouseClick(Control<QPushButton>("CmdGet"), Qt::LeftButton);
  // Not in the file until a save: Enable TB without a master saves and refuses.
  QTest::qWait(100);
  EXPECT_EQ(MarksOf(Heads(), 1), none);
  QTest::mouseClick(Control<QPushButton>("CmdEnableTB"), Qt::LeftButton);
  ASSERT_TRUE(Eventually([this] { return messages_.size() == 2; }));
  EXPECT_EQ(messages_.back(), "Please, select master device");
  const QStringList kmOnly = {"·", "·", "·", "·", "(✓)"};
  ASSERT_TRUE(Eventually([&] { return MarksOf(Heads(), 1) == kmOnly; }))
      << MarksOf(Heads(), 1).join(' ').toStdString();
  EXPECT_EQ(MarksOf(Heads(), 0), all);
  EXPECT_EQ(MarksOf(Heads(), 2), noDevice);
}

TEST_F(Feedback, TheFollowIndicatorShowsFollowModeAndLetsTheMasterGoWhenItStops) {
  EXPECT_EQ(Text("followState"), "Off");
  EXPECT_EQ(Text("followMaster"), "none");
  EXPECT_EQ(Text("followMethod"), "linear");
  ConfigureDevicesFromTheMenu();
  ASSERT_TRUE(PickEntry(Control<QComboBox>("ComboMaster"), 0));
  auto* enable = Control<QPushButton>("CmdEnableTB");
  QTest::mouseClick(enable, Qt::LeftButton);
  ASSERT_EQ(enable->text(), "Stop TB");
  // The plug-in's timer ticks ten times a second; a loaded machine may be a tick off.
  const QRegularExpression rate("^On · (\\d+) ticks/s$");
  ASSERT_TRUE(Eventually([&] { return rate.match(Text("followState")).hasMatch(); }))
      << Text("followState").toStdString();
  EXPECT_NEAR(rate.match(Text("followState")).captured(1).toInt(), 10, 1);
  EXPECT_EQ(Text("followMaster"), "Truss L (ch 1/2)");
  EXPECT_EQ(window_.Stage()->Master(), 0);

  QTest::mouseClick(Control<QAbstractButton>("OptDist"), Qt::LeftButton);
  EXPECT_EQ(Text("followMethod"), "distance");

  QTest::mouseClick(enable, Qt::LeftButton);
  ASSERT_EQ(enable->text(), "Enable TB");
  ASSERT_TRUE(Eventually([this] { return Text("followState") == "Off"; }));
  EXPECT_EQ(Text("followMaster"), "none");
  // The stage no longer calls any head "(master)".
  EXPECT_EQ(window_.Stage()->Master(), -1);
  EXPECT_EQ(messages_.size(), 1) << messages_.join(" | ").toStdString();
}

TEST_F(Feedback, ArrowKeysMoveTheSelectedHeadOneDmxStep) {
  struct Case {
    const char* control;
    Qt::Key key;
    const char* keyName;
    int pan, tilt;  // change of the selected head's channels
  };
  const Case cases[] = {
      {"panValue", Qt::Key_Up, "Up", 1, 0},           {"panValue", Qt::Key_Down, "Down", -1, 0},
      {"tiltValue", Qt::Key_Up, "Up", 0, 1},          {"tiltValue", Qt::Key_Down, "Down", 0, -1},
      {"panValue", Qt::Key_PageUp, "Page Up", 10, 0}, {"panFader", Qt::Key_Right, "Right", 1, 0},
      {"tiltFader", Qt::Key_Left, "Left", 0, -1},
  };
  // The operator's hands are on the host's window now.
  window_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  ClickHeadRow(2);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " " + c.keyName);
    QWidget* control = Host<QWidget>(c.control);
    ASSERT_NE(control, nullptr);
    // The operator clicks into the box's text, or on the fader's handle.
    QPoint at(control->width() / 4, control->height() / 2);
    if (auto* slider = qobject_cast<QSlider*>(control)) {
      QStyleOptionSlider option;
      option.initFrom(slider);
      option.orientation = slider->orientation();
      option.minimum = slider->minimum();
      option.maximum = slider->maximum();
      option.sliderPosition = option.sliderValue = slider->value();
      at = slider->style()
               ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
               .center();
    }
    const PanTilt before = Aim(2);
    // The click lands on whatever is at that spot: a spin box's text field.
    QWidget* hit = control->childAt(at);
    QTest::mouseClick(hit != nullptr ? hit : control, Qt::LeftButton, {},
                      hit != nullptr ? hit->mapFrom(control, at) : at);
    ASSERT_TRUE(control->hasFocus());
    ASSERT_EQ(Aim(2), before) << "the click alone moved the head";
    QTest::keyClick(control, c.key);
    EXPECT_EQ(Aim(2).pan - before.pan, c.pan);
    EXPECT_EQ(Aim(2).tilt - before.tilt, c.tilt);
    EXPECT_EQ(Aim(1), (AimAt(rig_.heads[1], rig_.MarkAt(Mark::KM)).value()));
  }
}

TEST_F(Feedback, ALostBeamComesBackOntoTheStage) {
  StageView* stage = window_.Stage();
  // The plug-in or a console sends Truss R's beam up into the roof.
  ASSERT_TRUE(universe_.Set(rig_.heads[1].panChannel, 0));
  ASSERT_TRUE(universe_.Set(rig_.heads[1].tiltChannel, 0));
  ASSERT_FALSE(stage->SpotPixel(1).has_value());
  ClickHeadRow(1);
  QTest::mouseClick(Host<QPushButton>("centreHead"), Qt::LeftButton);
  EXPECT_EQ(Aim(1), AimAt(rig_.heads[1], rig_.MarkAt(Mark::KM)).value());

  // FOH L's spot lands 19 m off, outside the picture: grab the head instead.
  ASSERT_TRUE(universe_.Set(rig_.heads[2].tiltChannel, 200));
  const auto far = BeamSpot(rig_.heads[2], Aim(2));
  ASSERT_TRUE(far.has_value());
  ASSERT_FALSE(stage->rect().contains(stage->FloorToWidget(*far).toPoint()));
  const QPointF head = StageMapping(rig_, QRectF(stage->rect())).HeadPixel(rig_.heads[2]);
  Drag(head, stage->FloorToWidget(rig_.MarkAt(Mark::K4)));
  const PanTilt want = AimAt(rig_.heads[2], rig_.MarkAt(Mark::K4)).value();
  EXPECT_LE(std::abs(Aim(2).pan - want.pan), 1);
  EXPECT_LE(std::abs(Aim(2).tilt - want.tilt), 1);

  // A click on a head only picks it.
  const PanTilt before = Aim(3);
  QTest::mouseClick(stage, Qt::LeftButton, {},
                    StageMapping(rig_, QRectF(stage->rect())).HeadPixel(rig_.heads[3]).toPoint());
  EXPECT_EQ(window_.SelectedHead(), 3);
  EXPECT_EQ(Aim(3), before);

  // A spot dragged past the stage's front edge stays on the edge.
  Drag(*stage->SpotPixel(3), stage->FloorToWidget({2.0, -2.0}));
  const auto spot = BeamSpot(rig_.heads[3], Aim(3));
  ASSERT_TRUE(spot.has_value());
  EXPECT_NEAR(spot->x, 2.0, 0.15);
  EXPECT_NEAR(spot->y, 0.0, 0.15);
}

void ExpectBothWindowsFit(HostWindow& window, const QWidget& form) {
  const QRect screen = window.screen()->availableGeometry();
  ASSERT_EQ(screen, QRect(0, 0, 1366, 768)) << "the test runs on a 1366 x 768 screen";
  const QRect host = window.frameGeometry();
  const QRect plugin = form.frameGeometry();
  EXPECT_TRUE(screen.contains(host)) << host.width() << "x" << host.height();
  EXPECT_TRUE(screen.contains(plugin)) << plugin.x() << "," << plugin.y();
  EXPECT_FALSE(host.intersects(plugin));
  // Nothing in the host is squeezed below its minimum or cut off.
  EXPECT_GE(window.width(), window.minimumSizeHint().width());
  EXPECT_GE(window.height(), window.minimumSizeHint().height());
  QStatusBar* status = window.statusBar();
  EXPECT_TRUE(screen.contains(QRect(status->mapToGlobal(QPoint(0, 0)), status->size())));
  for (const char* name : {"channelMonitor", "headList", "followPanel", "centreHead", "panValue"}) {
    auto* w = window.findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << name;
    EXPECT_EQ(w->visibleRegion().boundingRect(), w->rect()) << name;
  }
}

TEST_F(Feedback, BothWindowsFitAScreenOf1366x768) { ExpectBothWindowsFit(window_, *Form()); }

// The arena's twelve heads on the same screen: the head table gives up rows
// to the faders and scrolls, and every head can be picked and driven.
class ArenaOnALaptop : public ModuleCopyHost {
 protected:
  ArenaOnALaptop() : ModuleCopyHost(*RigByName("arena")) {}
  void SetUp() override {
    StartHost();
    if (HasFatalFailure()) return;
    follow_ = std::make_unique<FollowMonitor>(*session_.Helper(), window_);
    marks_ = std::make_unique<SavedMarksWatch>(SettingsFileBeside(session_.ModulePath()), window_);
    windows_ = std::make_unique<PluginWindows>(session_, window_);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    ASSERT_TRUE(windows_->ShowMainWindow());
    ASSERT_NE(window_.PluginWindow(), nullptr);
  }
  void TearDown() override {
    if (QWidget* form = window_.PluginWindow()) form->close();
  }
  std::unique_ptr<FollowMonitor> follow_;
  std::unique_ptr<SavedMarksWatch> marks_;
  std::unique_ptr<PluginWindows> windows_;
  QStringList messages_;
  MessageBoxWatcher watcher_{messages_};
};

TEST_F(ArenaOnALaptop, TwelveHeadsFitAndTheFadersDriveTheLast) {
  ExpectBothWindowsFit(window_, *window_.PluginWindow());
  auto* table = window_.findChild<HeadTable*>("headList");
  ASSERT_EQ(table->rowCount(), 12);
  const QRect first = table->visualRect(table->model()->index(0, 0));
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, first.center());
  ASSERT_EQ(window_.SelectedHead(), 0);
  QTest::keyClick(table, Qt::Key_End, Qt::ControlModifier);
  ASSERT_EQ(window_.SelectedHead(), 11);
  // Scrolled to it, all of its row inside the table.
  const QRect last = table->visualRect(table->model()->index(11, 0));
  EXPECT_TRUE(table->viewport()->rect().contains(last))
      << last.y() << " in " << table->viewport()->height();
  const MovingHead& head = rig_.heads[11];
  auto* pan = window_.findChild<QSpinBox*>("panValue");
  ASSERT_NE(pan, nullptr);
  const int before = universe_.At(head.panChannel);
  QTest::mouseClick(pan, Qt::LeftButton, {}, pan->rect().center());
  QTest::keyClick(pan, Qt::Key_Up);
  EXPECT_EQ(universe_.At(head.panChannel), before + 1);
}

// --follow and --screenshot start as the demo does, with the host window at
// its preferred size: the plug-in's window must still come out whole.
class DemoOnALaptop : public ModuleCopyHost {
 protected:
  DemoOnALaptop() : ModuleCopyHost(DefaultRig()) {}
  void SetUp() override { StartHost(); }
  void TearDown() override {
    if (QWidget* form = window_.PluginWindow()) form->close();
  }
};

TEST_F(DemoOnALaptop, TheMainWindowAndItsButtonsAreOnTheScreen) {
  window_.resize(1000, 760);
  window_.move(0, 0);
  window_.show();
  DemoSettings settings;
  settings.master = rig_.master;
  settings.methods = {FollowChoice::Trigonometric};
  Demo demo(rig_, universe_, counts_, window_, session_, settings);
  QString failure;
  ASSERT_TRUE(demo.StartFollowing(failure)) << failure.toStdString();
  QWidget* form = window_.PluginWindow();
  ASSERT_NE(form, nullptr);
  const QRect screen = window_.screen()->availableGeometry();
  ASSERT_EQ(screen, QRect(0, 0, 1366, 768)) << "the test runs on a 1366 x 768 screen";
  EXPECT_TRUE(screen.contains(form->frameGeometry()))
      << form->frameGeometry().x() << "," << form->frameGeometry().y();
  EXPECT_FALSE(window_.frameGeometry().intersects(form->frameGeometry()));
  for (const char* name : {"CmdGet", "CmdClear", "CmdHelp", "CmdEnableTB", "OptTrigo"}) {
    auto* w = form->findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << name;
    EXPECT_TRUE(screen.contains(QRect(w->mapToGlobal(QPoint(0, 0)), w->size()))) << name;
  }
}

TEST(WindowFit, KeepsBothWindowsOnScreensLargeAndSmall) {
  struct Case {
    QRect screen;
    bool side;  // room for both side by side
  };
  const QSize hostMinimum(800, 650);
  const QSize plugin(440, 197);
  const Case cases[] = {{{0, 0, 1366, 768}, true},
                        {{0, 0, 1920, 1080}, true},
                        {{1920, 24, 1280, 1000}, true},  // a second screen, a panel on top
                        {{0, 0, 1024, 768}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.screen.width());
    const WindowFit fit = FitBeside(c.screen, hostMinimum, plugin);
    const QRect pluginRect(fit.pluginFrame, plugin);
    EXPECT_TRUE(c.screen.contains(fit.host));
    EXPECT_TRUE(c.screen.contains(pluginRect));
    EXPECT_EQ(fit.host.intersects(pluginRect), !c.side);
    EXPECT_GE(fit.host.width(), hostMinimum.width());
    EXPECT_LE(fit.host.width(), kHostPreferred.width());
    EXPECT_EQ(fit.host.topLeft(), c.screen.topLeft());
  }
}

}  // namespace
}  // namespace tbhost

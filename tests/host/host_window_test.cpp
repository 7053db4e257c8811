// The host's own controls: faders and dragging a spot set a head's channels,
// and channel writes from elsewhere show on the faders.
#include "host/interactive/host_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "host/interactive/stage_view.h"

namespace tbhost {
namespace {

class HostWindowTest : public testing::Test {
 protected:
  HostWindowTest() : window_(universe_, rig_) {
    window_.resize(1000, 760);
    window_.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }
  PanTilt Aim(int head) const {
    const MovingHead& h = rig_.heads[static_cast<std::size_t>(head)];
    return {universe_.At(h.panChannel), universe_.At(h.tiltChannel)};
  }
  QSlider* Fader(const char* name) { return window_.findChild<QSlider*>(name); }

  const StageRig rig_ = DefaultRig();
  Universe universe_;
  HostWindow window_;
};

TEST_F(HostWindowTest, DraggingASpotAimsTheHeadAtTheDropPoint) {
  StageView* stage = window_.Stage();
  for (int head = 0; head < static_cast<int>(rig_.heads.size()); ++head) {
    for (Mark mark : {Mark::K1, Mark::K4}) {
      SCOPED_TRACE(rig_.heads[static_cast<std::size_t>(head)].name + " to " + MarkName(mark));
      window_.SelectHead(head);  // the heads start overlapping on KM
      const auto from = stage->SpotPixel(head);
      ASSERT_TRUE(from.has_value());
      const QPoint to = stage->FloorToWidget(rig_.MarkAt(mark)).toPoint();
      QTest::mousePress(stage, Qt::LeftButton, {}, from->toPoint());
      QMouseEvent move(QEvent::MouseMove, QPointF(to), stage->mapToGlobal(QPointF(to)),
                       Qt::NoButton, Qt::LeftButton, {});
      QApplication::sendEvent(stage, &move);
      QTest::mouseRelease(stage, Qt::LeftButton, {}, to);
      // A pixel is a centimetre or two; the aim is the mark's own 8-bit
      // pair or a neighbour of it.
      const PanTilt want = *AimAt(rig_.heads[static_cast<std::size_t>(head)], rig_.MarkAt(mark));
      const PanTilt got = Aim(head);
      EXPECT_LE(std::abs(got.pan - want.pan), 1);
      EXPECT_LE(std::abs(got.tilt - want.tilt), 1);
      EXPECT_EQ(stage->Selected(), head);
    }
  }
}

TEST_F(HostWindowTest, FadersDriveTheSelectedHeadOnly) {
  window_.SelectHead(2);
  const PanTilt others[] = {Aim(0), Aim(1), Aim(3)};
  Fader("panFader")->setValue(17);
  Fader("tiltFader")->setValue(201);
  EXPECT_EQ(Aim(2), (PanTilt{17, 201}));
  EXPECT_EQ(Aim(0), others[0]);
  EXPECT_EQ(Aim(1), others[1]);
  EXPECT_EQ(Aim(3), others[2]);
}

TEST_F(HostWindowTest, WritesFromThePluginMoveTheFaders) {
  window_.SelectHead(1);
  const MovingHead& head = rig_.heads[1];
  ASSERT_TRUE(universe_.Set(head.panChannel, 99));
  ASSERT_TRUE(universe_.Set(head.tiltChannel, 150));
  EXPECT_EQ(Fader("panFader")->value(), 99);
  EXPECT_EQ(Fader("tiltFader")->value(), 150);
  // Following the faders does not write back.
  EXPECT_EQ(Aim(1), (PanTilt{99, 150}));
  // Choosing another head shows that head's values.
  window_.SelectHead(0);
  EXPECT_EQ(Fader("panFader")->value(), Aim(0).pan);
}

// With fine channels the faders span 16 bits and move both bytes of an axis.
TEST(HostWindowFine, FadersAndWritesCarryBothBytes) {
  const StageRig rig = WithFineChannels(DefaultRig());
  Universe universe;
  HostWindow window(universe, rig);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* pan = window.findChild<QSlider*>("panFader");
  auto* tilt = window.findChild<QSlider*>("tiltFader");
  ASSERT_NE(pan, nullptr);
  ASSERT_NE(tilt, nullptr);
  window.SelectHead(2);
  EXPECT_EQ(pan->maximum(), 65535);
  EXPECT_EQ(tilt->maximum(), 65535);
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  // As an operator sets a value: click into the number beside the fader,
  // select it, type, Enter.
  const auto type = [&](const char* box, const char* text) {
    auto* spin = window.findChild<QSpinBox*>(box);
    ASSERT_NE(spin, nullptr);
    auto* field = spin->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
  };
  const MovingHead& head = rig.heads[2];
  type("panValue", "40000");  // 156 x 256 + 64
  type("tiltValue", "255");
  EXPECT_EQ(pan->value(), 40000);
  EXPECT_EQ(universe.At(head.panChannel), 156);
  EXPECT_EQ(universe.At(head.panFineChannel), 64);
  EXPECT_EQ(universe.At(head.tiltChannel), 0);
  EXPECT_EQ(universe.At(head.tiltFineChannel), 255);
  // The plug-in writes coarse, then fine: the fader ends on the whole value.
  ASSERT_TRUE(universe.Set(head.panChannel, 10));
  ASSERT_TRUE(universe.Set(head.panFineChannel, 20));
  EXPECT_EQ(pan->value(), 10 * 256 + 20);
  EXPECT_EQ(universe.At(head.panChannel), 10);
}

// Booms beside the stage, a truss behind it, a tower far off and heads over
// the stage: the drawing holds every one of them and the whole floor, in
// a wide area and a tall one.
// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

// A follow tick with the master at rest writes every slave's values again:
// the window must stay still then, and move as soon as a value does.
TEST_F(HostWindowTest, RewritingTheSameValuesPaintsNothing) {
  auto* monitor = window_.findChild<QWidget*>("channelMonitor");
  ASSERT_NE(monitor, nullptr);
  QTest::qWait(50);  // the first paint after showing
  PaintCounter stagePaints(window_.Stage());
  PaintCounter monitorPaints(monitor);
  for (int tick = 0; tick < 3; ++tick) {
    for (std::size_t h = 0; h < rig_.heads.size(); ++h) {
      const PanTilt aim = Aim(static_cast<int>(h));
      ASSERT_TRUE(universe_.Set(rig_.heads[h].panChannel, aim.pan));
      ASSERT_TRUE(universe_.Set(rig_.heads[h].tiltChannel, aim.tilt));
    }
    QTest::qWait(30);
  }
  EXPECT_EQ(stagePaints.count, 0);
  EXPECT_EQ(monitorPaints.count, 0);

  const MovingHead& slave = rig_.heads[2];
  ASSERT_TRUE(universe_.Set(slave.panChannel, (universe_.At(slave.panChannel) + 1) % 256));
  QTest::qWait(50);
  EXPECT_GT(stagePaints.count, 0);
  EXPECT_GT(monitorPaints.count, 0);
}

TEST(StageMapping, AFarHeadIsLabelledWithItsDistanceFromTheStage) {
  StageRig rig = *RigByName("default");
  struct Case {
    double x, y;
    const char* label;
  };
  const Case cases[] = {
      {4.0, 3.0, "H"},                // over the stage
      {4.0, -1.5, "H"},               // just within reach in front
      {4.0, -8.0, "H · 8.0 m out"},   // front of house
      {-3.0, 3.0, "H · 3.0 m out"},   // house left
      {11.0, 10.0, "H · 5.0 m out"},  // behind, off to the side: 3 and 4 m
      {rig.width + 1.6, 0, "H · 1.6 m out"},
  };
  for (const Case& c : cases) {
    MovingHead head;
    head.name = "H";
    head.x = c.x;
    head.y = c.y;
    EXPECT_EQ(HeadLabel(rig, head, false).toStdString(), c.label) << c.x << "," << c.y;
  }
  MovingHead master;
  master.name = "M";
  master.y = -4;
  EXPECT_EQ(HeadLabel(rig, master, true).toStdString(), "M (master) · 4.0 m out");
}

TEST(StageMapping, EveryHeadOfEveryRigAndTheFloorAreInTheDrawing) {
  for (const std::string_view name : kRigNames) {
    const StageRig rig = *RigByName(name);
    for (const QRectF area : {QRectF(10, 20, 620, 500), QRectF(0, 0, 300, 900)}) {
      SCOPED_TRACE(std::string(name) + " in " + std::to_string(area.width()) + " x " +
                   std::to_string(area.height()));
      const StageMapping map(rig, area);
      for (const MovingHead& head : rig.heads) {
        const QPointF at = map.HeadPixel(head);
        // The head's icon is 18 x 14 pixels around that point.
        EXPECT_TRUE(area.contains(QRectF(at.x() - 9, at.y() - 7, 18, 14))) << head.name;
        // Near the stage a head is drawn where it hangs; farther out at the
        // drawing's edge, its label giving the distance it is really out.
        const FloorPoint back = map.ToFloor(at);
        const double out = DistanceFromStage(rig, head);
        const bool atEdge = std::abs(back.x - head.x) > 1e-9 || std::abs(back.y - head.y) > 1e-9;
        EXPECT_EQ(atEdge, out > kDrawnReach) << head.name << " " << out << " m out";
        EXPECT_EQ(HeadLabel(rig, head, false).contains(" m out"), atEdge) << head.name;
      }
      // Heads pulled in to one edge are set side by side, none covering another.
      const std::vector<QPointF> at = map.HeadPixels();
      for (std::size_t a = 0; a < at.size(); ++a)
        for (std::size_t b = a + 1; b < at.size(); ++b) {
          const bool edge = DistanceFromStage(rig, rig.heads[a]) > kDrawnReach ||
                            DistanceFromStage(rig, rig.heads[b]) > kDrawnReach;
          const bool apart =
              std::abs(at[a].x() - at[b].x()) >= 18 || std::abs(at[a].y() - at[b].y()) >= 14;
          EXPECT_TRUE(!edge || apart) << rig.heads[a].name << " and " << rig.heads[b].name;
        }
      // The stage takes the view, not a far head: it spans at least half of
      // the area's width or height.
      const QRectF floor(map.ToPixel({0, rig.depth}), map.ToPixel({rig.width, 0}));
      EXPECT_GE(std::max(floor.width() / area.width(), floor.height() / area.height()), 0.5);
      for (const FloorPoint corner : {FloorPoint{0, 0}, FloorPoint{rig.width, rig.depth}})
        EXPECT_TRUE(area.contains(map.ToPixel(corner)));
      // Nothing is squeezed: a metre is as long across as it is deep.
      const QPointF o = map.ToPixel({0, 0});
      EXPECT_NEAR(map.ToPixel({1, 0}).x() - o.x(), o.y() - map.ToPixel({0, 1}).y(), 1e-9);
    }
  }
}

}  // namespace
}  // namespace tbhost

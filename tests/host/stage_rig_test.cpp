// The simulated rig's geometry, the universe and the follow statistics.
#include "host/sim/stage_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/sim/follow_stats.h"
#include "host/sim/head_channels.h"
#include "host/sim/universe.h"

namespace tbhost {
namespace {

// A head at (2, 3), 4 m up, facing upstage. DMX 170 is exactly +90 degrees
// of pan and +45 degrees of tilt (reach 4 m), 85 exactly -45 degrees.
const MovingHead kHead{"test", 2.0, 3.0, 4.0, 90.0, 1, 2};

struct SpotCase {
  PanTilt dmx;
  bool onFloor;
  FloorPoint expected;
};

TEST(BeamSpot, PointsWhereTheAnglesSay) {
  const SpotCase cases[] = {
      {{170, 170}, true, {-2.0, 3.0}},  // pan +90: facing turns to -x
      {{0, 170}, true, {-2.0, 3.0}},    // pan -270 is the same direction
      {{255, 170}, true, {6.0, 3.0}},   // pan +270: +x
      {{85, 85}, true, {-2.0, 3.0}},    // pan -90 (+x), tilted back: -x
      {{170, 85}, true, {6.0, 3.0}},    // pan +90 (-x) tilted back: +x
      {{0, 0}, false, {}},              // tilt -135: beam points up
      {{0, 255}, false, {}},            // tilt +135: beam points up
      {{256, 170}, false, {}},          // not a DMX value
      {{170, -1}, false, {}},
  };
  for (const SpotCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "pan " << c.dmx.pan << " tilt " << c.dmx.tilt);
    const auto spot = BeamSpot(kHead, c.dmx);
    ASSERT_EQ(spot.has_value(), c.onFloor);
    if (!c.onFloor) continue;
    EXPECT_NEAR(spot->x, c.expected.x, 1e-9);
    EXPECT_NEAR(spot->y, c.expected.y, 1e-9);
  }
}

TEST(AimAt, EveryMarkIsHitWithinOneEightBitStep) {
  const StageRig rig = DefaultRig();
  for (const MovingHead& head : rig.heads) {
    for (Mark mark : kAllMarks) {
      SCOPED_TRACE(head.name + " at " + MarkName(mark));
      const auto aim = AimAt(head, rig.MarkAt(mark));
      ASSERT_TRUE(aim.has_value());
      const auto spot = BeamSpot(head, *aim);
      const auto step = StepFootprint(head, *aim);
      ASSERT_TRUE(spot && step);
      // The nearest of the four surrounding 8-bit pairs lies within half a
      // grid cell's diagonal of the mark.
      EXPECT_LE(Distance(*spot, rig.MarkAt(mark)), 0.5 * std::hypot(step->pan, step->tilt) + 1e-9);
    }
  }
}

TEST(AimAt, NoNeighbouringPairLandsCloser) {
  const StageRig rig = DefaultRig();
  for (const MovingHead& head : rig.heads) {
    for (double x = 0.5; x < rig.width; x += 1.25) {
      for (double y = 0.5; y < rig.depth; y += 1.1) {
        const FloorPoint target{x, y};
        const auto aim = AimAt(head, target);
        ASSERT_TRUE(aim.has_value());
        const double got = Distance(*BeamSpot(head, *aim), target);
        for (int dp = -1; dp <= 1; ++dp)
          for (int dt = -1; dt <= 1; ++dt)
            if (const auto other = BeamSpot(head, {aim->pan + dp, aim->tilt + dt})) {
              EXPECT_LE(got, Distance(*other, target) + 1e-9)
                  << head.name << " at " << x << ", " << y << " off by " << dp << "/" << dt;
            }
      }
    }
  }
}

TEST(AimAt, RefusesWhatNoBeamCanReach) {
  EXPECT_FALSE(AimAt(kHead, {200.0, 3.0}).has_value());  // nearly horizontal
  EXPECT_FALSE(AimAt(kHead, {std::numeric_limits<double>::quiet_NaN(), 0}).has_value());
  MovingHead onFloor = kHead;
  onFloor.height = 0;
  EXPECT_FALSE(AimAt(onFloor, {1, 1}).has_value());
  // Straight below: the yoke stays at the middle of its pan range.
  const auto below = AimAt(kHead, {kHead.x, kHead.y});
  ASSERT_TRUE(below.has_value());
  EXPECT_LT(Distance(*BeamSpot(kHead, *below), {kHead.x, kHead.y}), 0.05);
}

// Every head of the default rig must be calibratable the way the follow
// engine needs it: KM strictly between K1 and K3 in pan and between K1 and
// K2 in tilt, K1/K2 on one pan side and K1/K3 on one tilt side.
TEST(DefaultRig, EveryHeadSeesTheMarksAsAGrid) {
  const StageRig rig = DefaultRig();
  ASSERT_EQ(rig.heads.size(), 4u);
  for (const MovingHead& head : rig.heads) {
    SCOPED_TRACE(head.name);
    std::array<PanTilt, 5> cal{};
    for (Mark m : kAllMarks) cal[static_cast<int>(m)] = *AimAt(head, rig.MarkAt(m));
    const auto& [k1, k2, k3, k4, km] = cal;
    EXPECT_LT(std::min(k1.pan, k3.pan), km.pan);
    EXPECT_GT(std::max(k1.pan, k3.pan), km.pan);
    EXPECT_LT(std::min(k1.tilt, k2.tilt), km.tilt);
    EXPECT_GT(std::max(k1.tilt, k2.tilt), km.tilt);
    EXPECT_EQ(ZoneOf(k2, cal), 2);
    EXPECT_EQ(ZoneOf(k3, cal), 3);
    EXPECT_EQ(ZoneOf(k4, cal), 4);
  }
}

// kHead mounted, turned and ranged in other ways.
MovingHead Mounted(double facingDeg, Mounting mounting, int panRangeDeg = 540,
                   int tiltRangeDeg = 270, bool negativeTiltSide = false) {
  MovingHead head = kHead;
  head.facingDeg = facingDeg;
  head.mounting = mounting;
  head.panRangeDeg = panRangeDeg;
  head.tiltRangeDeg = tiltRangeDeg;
  head.negativeTiltSide = negativeTiltSide;
  return head;
}

// The largest 8-bit steps of the cells around `dmx`: the grid curves, and a
// target between two rows sees the wider of them.
StepLengths LargestStepAround(const MovingHead& head, PanTilt dmx) {
  StepLengths largest;
  for (int dp = -1; dp <= 1; ++dp)
    for (int dt = -1; dt <= 1; ++dt)
      if (const auto step = StepFootprint(head, {dmx.pan + dp, dmx.tilt + dt})) {
        largest.pan = std::max(largest.pan, step->pan);
        largest.tilt = std::max(largest.tilt, step->tilt);
      }
  return largest;
}

TEST(BeamSpot, EveryMountingLandsWhereItsAnglesSay) {
  const MovingHead turned90 = Mounted(180.0, Mounting::Hung);
  const MovingHead turned180 = Mounted(-90.0, Mounting::Hung);
  const MovingHead upright = Mounted(90.0, Mounting::Upright);
  MovingHead wide = Mounted(135.0, Mounting::Hung, 630, 265);
  wide.x = 9.5;
  wide.y = -3.0;
  wide.height = 6.0;
  struct Case {
    const MovingHead* head;
    const char* what;
    PanTilt dmx;
    bool onFloor;
    FloorPoint expected;
  };
  const Case cases[] = {
      {&turned90, "pan +90 turns the -x facing to -y", {170, 170}, true, {2.0, -1.0}},
      {&turned90, "pan -90 turns it to +y", {85, 170}, true, {2.0, 7.0}},
      {&turned180, "pan +90 turns the -y facing to +x", {170, 170}, true, {6.0, 3.0}},
      {&turned180, "pan -270 is +x too, tilt -45 throws it back", {0, 85}, true, {-2.0, 3.0}},
      {&kHead, "tilt +84.2 is still on the floor", {85, 207}, true, {41.2190637286, 3.0}},
      {&kHead, "tilt +85.2 is too flat", {85, 208}, false, {}},
      {&upright, "tilt +135 is 45 below the horizon, pan +90: -x", {170, 255}, true, {-2.0, 3.0}},
      {&upright, "tilt -135 throws it the other way", {170, 0}, true, {6.0, 3.0}},
      {&upright, "pan -90 with tilt +135: +x", {85, 255}, true, {6.0, 3.0}},
      {&upright, "tilt -95.8 is 84.2 off straight down", {170, 37}, true, {41.2190637286, 3.0}},
      {&upright, "tilt -94.8 is too flat", {170, 38}, false, {}},
      {&upright, "tilt +45 points up", {170, 170}, false, {}},
      {&wide,
       "pan +315 turns the 135 facing to +y, tilt +26.5",
       {255, 153},
       true,
       {9.5, -0.0085103517}},
      {&wide,
       "pan -315 turns it to -x, tilt -26.5 throws it back",
       {0, 102},
       true,
       {12.4914896483, -3.0}},
      {&wide, "tilt +132.5 points up", {255, 255}, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto spot = BeamSpot(*c.head, c.dmx);
    ASSERT_EQ(spot.has_value(), c.onFloor);
    if (!c.onFloor) continue;
    EXPECT_NEAR(spot->x, c.expected.x, 1e-8);
    EXPECT_NEAR(spot->y, c.expected.y, 1e-8);
  }
}

TEST(AimAt, TakesTheBranchOnTheCalibratedTiltSide) {
  struct Case {
    MovingHead head;
    const char* what;
    FloorPoint target;
    std::optional<PanTilt> expected;
  };
  const Case cases[] = {
      {kHead, "pan +90, tilt +45", {-2.0, 3.0}, PanTilt{170, 170}},
      {Mounted(90.0, Mounting::Hung, 540, 270, true),
       "negative side: pan +90, tilt -45",
       {6.0, 3.0},
       PanTilt{170, 85}},
      {Mounted(90.0, Mounting::Hung, 630, 265, true),
       "negative side, 9 degrees left of facing: pan +189 and not -171, tilt -26.5",
       {1.6880186115, 4.9697729644},
       PanTilt{204, 102}},
      {Mounted(90.0, Mounting::Hung, 120, 270),
       "behind a 120 degree pan only tilt -45 reaches",
       {0.6319194267, -0.7587704831},
       PanTilt{85, 85}},
      {Mounted(-20.0, Mounting::Upright),
       "upright: pan +90, tilt +119.1",
       {4.4561751354, 9.7482857228},
       PanTilt{170, 240}},
      {Mounted(90.0, Mounting::Upright),
       "upright: straight below is beyond its tilt",
       {2.0, 3.0},
       std::nullopt},
      {Mounted(90.0, Mounting::Hung, 540, 60),
       "45 degrees is beyond a 60 degree tilt range",
       {-2.0, 3.0},
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto aim = AimAt(c.head, c.target);
    ASSERT_EQ(aim.has_value(), c.expected.has_value());
    if (aim) {
      EXPECT_EQ(*aim, *c.expected) << aim->pan << "/" << aim->tilt;
    }
  }
}

// A head's numbers come from outside: whatever they say, no spot and no aim
// rather than a crash or a wild value.
TEST(AimAt, HeadsThatCannotBeWorkedWithGiveNothing) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* what;
    void (*spoil)(MovingHead&);
  };
  const Case cases[] = {
      {"pan range 0", [](MovingHead& h) { h.panRangeDeg = 0; }},
      {"tilt range -90", [](MovingHead& h) { h.tiltRangeDeg = -90; }},
      {"pan range past the limit", [](MovingHead& h) { h.panRangeDeg = kMaxRangeDeg + 1; }},
      {"tilt range INT_MAX",
       [](MovingHead& h) { h.tiltRangeDeg = std::numeric_limits<int>::max(); }},
      {"x NaN", [](MovingHead& h) { h.x = kNaN; }},
      {"height infinite", [](MovingHead& h) { h.height = kInf; }},
      {"facing NaN", [](MovingHead& h) { h.facingDeg = kNaN; }},
  };
  for (const Case& c : cases) {
    MovingHead head = kHead;
    c.spoil(head);
    EXPECT_FALSE(BeamSpot(head, {128, 150}).has_value()) << c.what;
    EXPECT_FALSE(AimAt(head, {1.0, 1.0}).has_value()) << c.what;
  }
  // The widest ranges allowed still work, two turns of pan each way.
  const MovingHead widest = Mounted(90.0, Mounting::Hung, kMaxRangeDeg, kMaxRangeDeg);
  const auto aim = AimAt(widest, {1.0, 1.0});
  ASSERT_TRUE(aim.has_value());
  const StepLengths step = LargestStepAround(widest, *aim);
  EXPECT_LE(Distance(*BeamSpot(widest, *aim), {1.0, 1.0}), 0.5 * std::hypot(step.pan, step.tilt));
}

TEST(Rigs, EachNameGivesItsRigAndItsMaster) {
  struct Case {
    std::string_view name;
    int master;
    const char* masterName;
    std::size_t heads;
    StageRig stage;  // whose size and marks the rig has
  };
  StageRig arenaStage;
  arenaStage.width = 16;
  arenaStage.depth = 10;
  arenaStage.marks = {FloorPoint{2, 2}, {2, 8}, {14, 2}, {14, 8}, {8, 5}};
  const StageRig reference = DefaultRig();
  const Case cases[] = {{"default", 1, "Truss R", 4, reference},
                        {"sides", 0, "FOH", 4, reference},
                        {"mixed", 0, "FOH", 4, reference},
                        {"overhead", 0, "FOH", 4, reference},
                        {"arena", 1, "Front C", 12, arenaStage}};
  ASSERT_EQ(kRigNames.size(), std::size(cases));
  for (std::size_t i = 0; i < kRigNames.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(std::string(c.name));
    EXPECT_EQ(kRigNames[i], c.name);
    const auto rig = RigByName(c.name);
    ASSERT_TRUE(rig.has_value());
    EXPECT_EQ(rig->name, c.name);
    ASSERT_EQ(rig->master, c.master);
    EXPECT_EQ(rig->heads.at(static_cast<std::size_t>(c.master)).name, c.masterName);
    ASSERT_EQ(rig->heads.size(), c.heads);
    // Patched one after the other, as the device setup numbers them.
    for (std::size_t h = 0; h < rig->heads.size(); ++h) {
      EXPECT_EQ(rig->heads[h].panChannel, static_cast<int>(2 * h + 1));
      EXPECT_EQ(rig->heads[h].tiltChannel, static_cast<int>(2 * h + 2));
      for (std::size_t other = 0; other < h; ++other)
        EXPECT_NE(rig->heads[h].name, rig->heads[other].name);
    }
    EXPECT_EQ(rig->width, c.stage.width);
    EXPECT_EQ(rig->depth, c.stage.depth);
    for (Mark m : kAllMarks) {
      EXPECT_EQ(rig->MarkAt(m).x, c.stage.MarkAt(m).x);
      EXPECT_EQ(rig->MarkAt(m).y, c.stage.MarkAt(m).y);
    }
  }
  for (const char* unknown : {"", "Default", "side", "default ", "overhead\n"})
    EXPECT_FALSE(RigByName(unknown).has_value()) << '"' << unknown << '"';
}

// The demo's master travels inside the rectangle the marks span. Every head
// of every rig must reach all of it, the marks included, within half a cell
// of its 8-bit grid, on the tilt side it is calibrated on: aiming a slave
// straight at the master's spot is the best any follow method can do.
TEST(AimAt, EveryHeadOfEveryRigReachesTheMarkedArea) {
  for (std::string_view name : kRigNames) {
    const StageRig rig = *RigByName(name);
    const FloorPoint lo = rig.MarkAt(Mark::K1);
    const FloorPoint hi = rig.MarkAt(Mark::K4);
    std::vector<FloorPoint> targets;
    for (Mark m : kAllMarks) targets.push_back(rig.MarkAt(m));
    for (int i = 0; i <= 30; ++i)
      for (int j = 0; j <= 20; ++j)
        targets.push_back({lo.x + (hi.x - lo.x) * i / 30, lo.y + (hi.y - lo.y) * j / 20});
    for (const MovingHead& head : rig.heads) {
      SCOPED_TRACE(std::string(name) + " / " + head.name);
      double worst = -1;
      FloorPoint worstAt;
      for (FloorPoint target : targets) {
        const auto aim = AimAt(head, target);
        const auto spot = aim ? BeamSpot(head, *aim) : std::nullopt;
        ASSERT_TRUE(spot && StepFootprint(head, *aim)) << "at " << target.x << ", " << target.y;
        const StepLengths step = LargestStepAround(head, *aim);
        const double excess = Distance(*spot, target) - 0.5 * std::hypot(step.pan, step.tilt);
        if (excess > worst) {
          worst = excess;
          worstAt = target;
        }
        const double tilt = TiltDegrees(aim->tilt, head.tiltRangeDeg);
        // Right below the head either side will do.
        if (std::abs(tilt) > 5.0) {
          EXPECT_EQ(tilt < 0, head.negativeTiltSide) << "at " << target.x << ", " << target.y;
        }
      }
      EXPECT_LE(worst, 1e-9) << "at " << worstAt.x << ", " << worstAt.y;
    }
  }
}

// Along a walk round the stage and across it, a head's values move a step or
// two at a time: a pan range beyond a whole turn must not swing the head
// round, nor may a head calibrated on its negative tilt side flip over.
TEST(AimAt, NeighbouringTargetsGetNeighbouringValues) {
  struct Case {
    std::string_view rig;
    std::size_t head;
  };
  const Case cases[] = {{"mixed", 2}, {"sides", 2}};
  for (const Case& c : cases) {
    const StageRig rig = *RigByName(c.rig);
    const MovingHead& head = rig.heads.at(c.head);
    SCOPED_TRACE(head.name);
    ASSERT_TRUE(head.panRangeDeg > 360 || head.negativeTiltSide);
    const FloorPoint corners[] = {{0, 0},         {rig.width, 0}, {rig.width, rig.depth},
                                  {0, rig.depth}, {0, 0},         {rig.width, rig.depth}};
    std::optional<PanTilt> last;
    for (std::size_t leg = 0; leg + 1 < std::size(corners); ++leg) {
      const FloorPoint a = corners[leg];
      const FloorPoint b = corners[leg + 1];
      const int steps = static_cast<int>(Distance(a, b) / 0.01);
      for (int i = 0; i <= steps; ++i) {
        const double u = static_cast<double>(i) / steps;
        const FloorPoint at{a.x + (b.x - a.x) * u, a.y + (b.y - a.y) * u};
        const auto aim = AimAt(head, at);
        ASSERT_TRUE(aim.has_value()) << at.x << ", " << at.y;
        if (last) {
          ASSERT_LE(std::abs(aim->pan - last->pan), 2) << "pan jumps at " << at.x << ", " << at.y;
          ASSERT_LE(std::abs(aim->tilt - last->tilt), 2)
              << "tilt jumps at " << at.x << ", " << at.y;
        }
        last = aim;
      }
    }
  }
}

TEST(Universe, AcceptsOnlyChannels1To512AndBytes) {
  struct Case {
    std::int32_t channel, value;
    bool accepted;
  };
  const Case cases[] = {
      {1, 0, true},     {512, 255, true}, {0, 10, false},
      {513, 10, false}, {-1, 10, false},  {std::numeric_limits<std::int32_t>::min(), 1, false},
      {7, -1, false},   {7, 256, false},  {7, std::numeric_limits<std::int32_t>::max(), false}};
  for (const Case& c : cases) {
    Universe u;
    int heard = 0;
    u.AddListener([&](std::int32_t, std::int32_t) { ++heard; });
    EXPECT_EQ(u.Set(c.channel, c.value), c.accepted) << c.channel << " = " << c.value;
    EXPECT_EQ(heard, c.accepted ? 1 : 0);
    std::int32_t read = 77;
    EXPECT_EQ(u.Get(c.channel, read), Universe::ValidChannel(c.channel));
    if (c.accepted) {
      EXPECT_EQ(read, c.value);
    }
    if (!Universe::ValidChannel(c.channel)) {
      EXPECT_EQ(read, 77);
    }
  }
}

TEST(Summarise, MeanNearestRankPercentileAndMax) {
  std::vector<double> twenty;
  for (int i = 1; i <= 20; ++i) twenty.push_back(i);
  struct Case {
    std::vector<double> in;
    double mean, p95, max;
  };
  const Case cases[] = {
      {{}, 0, 0, 0},
      {{0.5}, 0.5, 0.5, 0.5},
      {{4, 1, 3, 2}, 2.5, 4, 4},
      {twenty, 10.5, 19, 20},
  };
  for (const Case& c : cases) {
    const ErrorSummary s = Summarise(c.in);
    EXPECT_EQ(s.count, c.in.size());
    EXPECT_DOUBLE_EQ(s.mean, c.mean);
    EXPECT_DOUBLE_EQ(s.p95, c.p95);
    EXPECT_DOUBLE_EQ(s.max, c.max);
  }
}

TEST(ZoneOf, QuadrantsByMidpointsAndACentreWindow) {
  // K1 (60, 40), K2 (60, 200), K3 (220, 40), K4 (220, 200), KM (140, 120).
  const std::array<PanTilt, 5> cal = {PanTilt{60, 40}, PanTilt{60, 200}, PanTilt{220, 40},
                                      PanTilt{220, 200}, PanTilt{140, 120}};
  struct Case {
    PanTilt reading;
    int zone;
  };
  const Case cases[] = {{{100, 100}, 1}, {{100, 150}, 2}, {{180, 100}, 3},
                        {{180, 150}, 4}, {{141, 119}, 5}, {{142, 122}, 5},
                        {{140, 123}, 4}, {{137, 120}, 2}, {{137, 119}, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(ZoneOf(c.reading, cal), c.zone) << c.reading.pan << ", " << c.reading.tilt;
}

TEST(ZoneOf, TheCentreWindowIsTwoCoarseStepsAtSixteenBit) {
  // The calibration above as 16-bit values, KM at (35840, 30720).
  std::array<PanTilt, 5> cal = {PanTilt{60, 40}, PanTilt{60, 200}, PanTilt{220, 40},
                                PanTilt{220, 200}, PanTilt{140, 120}};
  for (PanTilt& p : cal) p = {p.pan * 256, p.tilt * 256};
  const struct {
    PanTilt reading;
    int zone;
  } cases[] = {{{35840 + 512, 30720 - 512}, 5},
               {{35840 + 513, 30720}, 4},
               {{35840, 30720 - 513}, 3},
               {{25600, 25600}, 1}};
  for (const auto& c : cases)
    EXPECT_EQ(ZoneOf(c.reading, cal, 256, 256), c.zone) << c.reading.pan << ", " << c.reading.tilt;
}

TEST(FineChannels, EveryHeadIsPatchedPanPanFineTiltTiltFine) {
  for (std::string_view name : kRigNames) {
    SCOPED_TRACE(name);
    const StageRig plain = *RigByName(name);
    const StageRig fine = WithFineChannels(plain);
    ASSERT_EQ(fine.heads.size(), plain.heads.size());
    for (std::size_t n = 0; n < fine.heads.size(); ++n) {
      const MovingHead& h = fine.heads[n];
      const int first = 4 * static_cast<int>(n) + 1;
      EXPECT_EQ(h.panChannel, first);
      EXPECT_EQ(h.panFineChannel, first + 1);
      EXPECT_EQ(h.tiltChannel, first + 2);
      EXPECT_EQ(h.tiltFineChannel, first + 3);
      EXPECT_EQ(PanTop(h), 65535);
      EXPECT_EQ(TiltTop(h), 65535);
      // Only the patch changes: the same head aims at the same spot.
      EXPECT_EQ(h.name, plain.heads[n].name);
      EXPECT_EQ(h.panRangeDeg, plain.heads[n].panRangeDeg);
    }
  }
}

TEST(FineChannels, SixteenBitAimsHitEveryMarkToAMillimetreAndUseBothBytes) {
  const StageRig rig = WithFineChannels(DefaultRig());
  Universe universe;
  for (const MovingHead& head : rig.heads) {
    for (Mark mark : kAllMarks) {
      SCOPED_TRACE(head.name + " " + MarkName(mark));
      const auto aim = AimAt(head, rig.MarkAt(mark));
      ASSERT_TRUE(aim);
      const auto spot = BeamSpot(head, *aim);
      ASSERT_TRUE(spot);
      EXPECT_LT(Distance(*spot, rig.MarkAt(mark)), 0.002);
      ASSERT_TRUE(SetAim(universe, head, *aim));
      EXPECT_EQ(universe.At(head.panChannel), aim->pan / 256);
      EXPECT_EQ(universe.At(head.panFineChannel), aim->pan % 256);
      EXPECT_EQ(universe.At(head.tiltChannel), aim->tilt / 256);
      EXPECT_EQ(universe.At(head.tiltFineChannel), aim->tilt % 256);
      EXPECT_EQ(AimOf(universe, head), *aim);
    }
  }
  // Beyond 16 bits nothing is written; an 8-bit head takes bytes only.
  const MovingHead& head = rig.heads[0];
  ASSERT_TRUE(SetAim(universe, head, {65535, 0}));
  EXPECT_FALSE(SetAxis(universe, head, true, 65536));
  EXPECT_FALSE(SetAxis(universe, head, false, -1));
  EXPECT_EQ(AimOf(universe, head), (PanTilt{65535, 0}));
  const StageRig plainRig = DefaultRig();
  const MovingHead& plain = plainRig.heads[0];
  EXPECT_FALSE(SetAxis(universe, plain, true, 256));
  EXPECT_TRUE(SetAxis(universe, plain, true, 255));
  EXPECT_EQ(universe.At(plain.panChannel), 255);
}

TEST(Evaluate, MeasuresFloorDistanceToTheMasterPerZone) {
  StageRig rig = DefaultRig();
  const std::size_t master = 1;
  const PanTilt masterAim = *AimAt(rig.heads[master], rig.MarkAt(Mark::K1));
  std::vector<TickSample> samples;
  TickSample onMark;
  onMark.zone = 1;
  onMark.master = masterAim;
  for (const MovingHead& h : rig.heads) onMark.heads.push_back(*AimAt(h, rig.MarkAt(Mark::K1)));
  samples.push_back(onMark);
  TickSample away = onMark;
  away.zone = 4;
  away.heads[0] = *AimAt(rig.heads[0], rig.MarkAt(Mark::K4));  // slave 0 lags 7.2 m behind
  away.heads[2] = {0, 0};                                      // slave 2 points at the ceiling
  samples.push_back(away);

  const FollowReport report = Evaluate(rig, master, samples);
  EXPECT_EQ(report.ticks, 2u);
  const double masterToK4 = Distance(*BeamSpot(rig.heads[master], masterAim), rig.MarkAt(Mark::K4));
  EXPECT_EQ(report.bySlave[0][0].count, 2u);
  EXPECT_EQ(report.bySlave[0][1].count, 1u);
  EXPECT_LT(report.bySlave[0][1].max, 0.3);
  EXPECT_NEAR(report.bySlave[0][4].max, masterToK4, 0.3);
  EXPECT_NEAR(report.bySlave[0][0].max, masterToK4, 0.3);
  EXPECT_EQ(report.bySlave[2][4].count, 0u);
  EXPECT_EQ(report.bySlave[2][4].noSpot, 1u);
  EXPECT_EQ(report.bySlave[master][0].count, 0u);  // the master is nobody's slave
}

// Every slave and tick together: a slave aimed exactly at the master's spot
// is as good as the ideal, a lagging one counts where it stands, a held one
// as well and is counted as held, a beam off the floor is left out.
TEST(MeasureAccuracy, FollowedAgainstIdealOverEverySlaveAndTick) {
  const StageRig rig = DefaultRig();
  const std::size_t master = 1;
  const PanTilt masterAim = *AimAt(rig.heads[master], {2.3, 3.7});
  const FloorPoint masterSpot = *BeamSpot(rig.heads[master], masterAim);
  std::vector<double> ideal;  // by slave 0, 2, 3
  TickSample exact;
  exact.master = masterAim;
  exact.writes = 6;
  for (std::size_t h = 0; h < rig.heads.size(); ++h) {
    const PanTilt aim = h == master ? masterAim : *AimAt(rig.heads[h], masterSpot);
    exact.heads.push_back(aim);
    if (h != master) ideal.push_back(Distance(*BeamSpot(rig.heads[h], aim), masterSpot));
  }
  TickSample lagging = exact;
  lagging.writes = 4;                                             // one slave held
  lagging.heads[0] = *AimAt(rig.heads[0], rig.MarkAt(Mark::K4));  // left behind on K4
  lagging.heads[2] = {0, 0};                                      // points at the ceiling
  TickSample masterOff = exact;
  masterOff.master = {0, 0};  // the master has no spot: nothing to measure against

  const Accuracy a = MeasureAccuracy(rig, master, {exact, lagging, masterOff});
  const double lag = Distance(*BeamSpot(rig.heads[0], lagging.heads[0]), masterSpot);
  EXPECT_GT(lag, 2.0);
  EXPECT_EQ(a.error.count, 5u);
  EXPECT_EQ(a.error.noSpot, 4u);
  EXPECT_NEAR(a.error.mean, (ideal[0] + ideal[1] + ideal[2] + lag + ideal[2]) / 5, 1e-12);
  EXPECT_DOUBLE_EQ(a.error.max, lag);
  EXPECT_EQ(a.ideal.count, 6u);
  EXPECT_EQ(a.ideal.noSpot, 3u);
  EXPECT_NEAR(a.ideal.mean, (ideal[0] + ideal[1] + ideal[2]) / 3, 1e-12);
  EXPECT_LT(a.ideal.max, 0.3);  // within an 8-bit step
  EXPECT_EQ(a.held, 1u);
}

// With fine channels a followed slave takes four writes, and the ideal is
// the 16-bit one.
TEST(MeasureAccuracy, FineSlavesAreCountedByTheirFourWritesAgainstTheSixteenBitIdeal) {
  const StageRig rig = WithFineChannels(DefaultRig());
  const std::size_t master = 1;
  const PanTilt masterAim = *AimAt(rig.heads[master], {2.3, 3.7});
  const FloorPoint masterSpot = *BeamSpot(rig.heads[master], masterAim);
  TickSample tick;
  tick.master = masterAim;
  for (std::size_t h = 0; h < rig.heads.size(); ++h)
    tick.heads.push_back(h == master ? masterAim : *AimAt(rig.heads[h], masterSpot));
  const struct {
    int writes;
    std::size_t held;
  } cases[] = {{12, 0}, {8, 1}, {4, 2}, {0, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.writes);
    tick.writes = c.writes;
    const Accuracy a = MeasureAccuracy(rig, master, {tick});
    EXPECT_EQ(a.held, c.held);
    EXPECT_EQ(a.ideal.count, 3u);
    EXPECT_LT(a.ideal.max, 0.002);
  }
}

}  // namespace
}  // namespace tbhost

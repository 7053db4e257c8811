// The simulated rig's geometry, the universe and the follow statistics.
#include "host/stage_rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/follow_stats.h"
#include "host/universe.h"

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

}  // namespace
}  // namespace tbhost

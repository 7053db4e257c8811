// Following a performer at a height: the beams where they pass a plane above
// the floor, the operator's aim at the marks, and the stage fit's estimate
// of where the heads hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/sim/follow_stats.h"
#include "host/sim/operator_aim.h"
#include "host/sim/stage_estimate.h"
#include "host/sim/stage_rig.h"

namespace tbhost {
namespace {

// 4 m up at (2, 3), facing upstage: DMX 170/170 leans 45 degrees towards -x,
// so the beam is 4 m out at the floor and h m less at a height h.
const MovingHead kHead{"test", 2.0, 3.0, 4.0, 90.0, 1, 2};

TEST(BeamAtHeight, CrossesEachPlaneWhereTheAnglesSay) {
  struct Case {
    double height;
    std::optional<FloorPoint> expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {0.0, FloorPoint{-2.0, 3.0}}, {1.0, FloorPoint{-1.0, 3.0}}, {2.0, FloorPoint{0.0, 3.0}},
      {3.5, FloorPoint{1.5, 3.0}},  {4.0, std::nullopt},          {5.0, std::nullopt},
      {-0.5, std::nullopt},         {nan, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.height);
    const auto at = BeamAtHeight(kHead, {170, 170}, c.height);
    ASSERT_EQ(at.has_value(), c.expected.has_value());
    if (!at) continue;
    EXPECT_NEAR(at->x, c.expected->x, 1e-9);
    EXPECT_NEAR(at->y, c.expected->y, 1e-9);
  }
}

// Aimed at a point at a height, every head of every rig passes it there
// within a fraction of a 16-bit step; at height 0 the aim is the floor's.
TEST(AimAtHeight, EveryHeadPassesThePointAtItsHeight) {
  for (std::string_view name : kRigNames) {
    const StageRig rig = WithFineChannels(*RigByName(name));
    for (const MovingHead& head : rig.heads) {
      for (Mark mark : kAllMarks) {
        SCOPED_TRACE(std::string(name) + " " + head.name + " " + MarkName(mark));
        const FloorPoint target = rig.MarkAt(mark);
        EXPECT_EQ(AimAtHeight(head, target, 0.0), AimAt(head, target));
        const auto aim = AimAtHeight(head, target, 1.5);
        ASSERT_TRUE(aim.has_value());
        const auto passes = BeamAtHeight(head, *aim, 1.5);
        ASSERT_TRUE(passes.has_value());
        EXPECT_LT(Distance(*passes, target), 0.005);
      }
    }
  }
  EXPECT_FALSE(AimAtHeight(kHead, {0.0, 3.0}, 4.0).has_value());
}

// A slave that lights the master's point at 1.5 m is on the performer and
// far off on the floor; one that lights the master's floor spot, the other
// way round. Measured at the height the report asks for.
TEST(MeasureAccuracy, MeasuresAtTheHeightAsked) {
  const StageRig rig = WithFineChannels(DefaultRig());
  const std::size_t master = 1;
  const double h = 1.5;
  const FloorPoint performer{3.0, 2.5};
  const PanTilt masterAim = *AimAtHeight(rig.heads[master], performer, h);
  const FloorPoint floorSpot = *BeamSpot(rig.heads[master], masterAim);
  struct Case {
    const char* slavesLight;
    FloorPoint target;
    double targetHeight;
    double errorBelowAtHeight;  // metres, or -1: above 0.3 m
    double errorBelowOnFloor;
  };
  const Case cases[] = {
      {"the performer", performer, h, 0.002, -1},
      {"the floor spot", floorSpot, 0.0, -1, 0.002},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slavesLight);
    TickSample sample;
    sample.master = masterAim;
    for (std::size_t s = 0; s < rig.heads.size(); ++s)
      sample.heads.push_back(s == master ? masterAim
                                         : *AimAtHeight(rig.heads[s], c.target, c.targetHeight));
    const Accuracy atHeight = MeasureAccuracy(rig, master, {sample}, h);
    const Accuracy onFloor = MeasureAccuracy(rig, master, {sample}, 0.0);
    ASSERT_EQ(atHeight.error.count, 3u);
    for (const auto& [figures, below] : {std::pair{atHeight.error.max, c.errorBelowAtHeight},
                                         std::pair{onFloor.error.max, c.errorBelowOnFloor}}) {
      if (below > 0)
        EXPECT_LT(figures, below);
      else
        EXPECT_GT(figures, 0.3);
    }
    // The ideal aims at the master's point in the plane measured.
    EXPECT_LT(atHeight.ideal.max, 0.002);
    EXPECT_LT(onFloor.ideal.max, 0.002);
    // The per-slave table measures in the same plane.
    const FollowReport report = Evaluate(rig, master, {sample}, h);
    double largest = 0;
    for (std::size_t s = 0; s < rig.heads.size(); ++s)
      if (s != master) largest = std::max(largest, report.bySlave[s][0].max);
    EXPECT_DOUBLE_EQ(largest, atHeight.error.max);
  }
}

TEST(OperatorAims, SeededSpreadAroundEveryMark) {
  const StageRig rig = DefaultRig();
  const auto exact = OperatorAims(rig, 0.0);
  const auto two = OperatorAims(rig, 2.0);
  const auto four = OperatorAims(rig, 4.0);
  EXPECT_EQ(exact.size(), rig.heads.size());
  double squares = 0;
  int axes = 0;
  for (std::size_t h = 0; h < rig.heads.size(); ++h) {
    for (Mark mark : kAllMarks) {
      const int m = static_cast<int>(mark);
      EXPECT_EQ(exact[h][m].x, rig.MarkAt(mark).x);
      EXPECT_EQ(exact[h][m].y, rig.MarkAt(mark).y);
      // The same hand at twice the spread: each miss exactly twice as far.
      EXPECT_NEAR(four[h][m].x - rig.MarkAt(mark).x, 2 * (two[h][m].x - rig.MarkAt(mark).x), 1e-12);
      EXPECT_NEAR(four[h][m].y - rig.MarkAt(mark).y, 2 * (two[h][m].y - rig.MarkAt(mark).y), 1e-12);
      squares += std::pow(two[h][m].x - rig.MarkAt(mark).x, 2) +
                 std::pow(two[h][m].y - rig.MarkAt(mark).y, 2);
      axes += 2;
    }
  }
  const double rms = std::sqrt(squares / axes);
  EXPECT_GT(rms, 0.01);
  EXPECT_LT(rms, 0.03);
  // Runs repeat; what is not a spread aims exactly.
  const auto again = OperatorAims(rig, 2.0);
  for (std::size_t h = 0; h < rig.heads.size(); ++h)
    for (int m = 0; m < 5; ++m) {
      EXPECT_EQ(again[h][m].x, two[h][m].x);
      EXPECT_EQ(again[h][m].y, two[h][m].y);
    }
  for (double notASpread :
       {-2.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
    EXPECT_EQ(OperatorAims(rig, notASpread)[0][0].x, rig.MarkAt(Mark::K1).x);
}

std::vector<std::array<PanTilt, 5>> ExactCalibration(const StageRig& rig) {
  std::vector<std::array<PanTilt, 5>> calibration(rig.heads.size());
  for (std::size_t h = 0; h < rig.heads.size(); ++h)
    for (Mark mark : kAllMarks)
      calibration[h][static_cast<int>(mark)] = *AimAt(rig.heads[h], rig.MarkAt(mark));
  return calibration;
}

// With fine channels and exact aim the fit finds every head within 2 cm of
// where it hangs, on every rig, and fits every point within a value or so.
TEST(EstimateStage, FineChannelsAndExactAimPlaceEveryHead) {
  for (std::string_view name : kRigNames) {
    SCOPED_TRACE(std::string(name));
    const StageRig rig = WithFineChannels(*RigByName(name));
    const StageEstimate e =
        EstimateStage(rig, static_cast<std::size_t>(rig.master), ExactCalibration(rig),
                      TapeLength(rig, Mark::K1, Mark::K3));
    ASSERT_TRUE(e.solved) << e.why;
    ASSERT_EQ(e.heads.size(), rig.heads.size());
    EXPECT_EQ(e.heads[0].head, static_cast<std::size_t>(rig.master));
    for (const HeadEstimate& head : e.heads) {
      SCOPED_TRACE(rig.heads[head.head].name);
      EXPECT_LT(head.offBy, 0.02);
      EXPECT_LT(head.largestSteps, 1.5);
      EXPECT_NEAR(head.height, rig.heads[head.head].height, 0.02);
    }
  }
}

TEST(EstimateStage, NeedsALengthAndTwoHeads) {
  const StageRig rig = DefaultRig();
  const auto calibration = ExactCalibration(rig);
  struct Case {
    const char* what;
    std::size_t heads;
    std::size_t master;
    double k1k3;
  };
  const Case cases[] = {
      {"no length", 4, 1, 0.0},
      {"a length that is none", 4, 1, std::numeric_limits<double>::quiet_NaN()},
      {"the master alone", 1, 0, 6.0},
      {"no such master", 4, 7, 6.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::array<PanTilt, 5>> some(calibration.begin(),
                                                   calibration.begin() + c.heads);
    const StageEstimate e = EstimateStage(rig, c.master, some, c.k1k3);
    EXPECT_FALSE(e.solved);
    EXPECT_FALSE(e.why.empty());
    EXPECT_TRUE(e.heads.empty());
  }
}

}  // namespace
}  // namespace tbhost

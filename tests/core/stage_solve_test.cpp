// The stage solve on the reference rigs: heads and marks in metres from
// their calibration rays and one length, and the stages it refuses.
#include "follow/stage_solve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "stage_rig.h"

namespace tb {
namespace {

using testing::Aim;
using testing::Point3;
using testing::StageRig;

// The solve's frame has K1 at the origin and K3 on +x; the stage model's
// K1 is at (1, 1) and K3 at (7, 1).
double Off(const Vec3& solved, const Point3& real) {
  return std::hypot(solved.x + 1.0 - real.x, solved.y + 1.0 - real.y, solved.z - real.z);
}

testing::Rig RigNamed(const std::string& name) {
  for (const auto& rig : testing::ReferenceRigs())
    if (name == rig.name) return rig;
  throw std::invalid_argument(name);
}

StageSolution Solve(StageRig& stage, StageLengths lengths = {6.0, 0.0}) {
  return SolveStage(StageHeadsOf(stage.store), lengths);
}

TEST(StageSolveTest, FineChannelsAndExactAimPlaceEveryHeadWithinTwoCentimetres) {
  for (const auto& rig : testing::ReferenceRigs()) {
    SCOPED_TRACE(rig.name);
    StageRig stage(rig, true);
    const auto heads = StageHeadsOf(stage.store);
    ASSERT_EQ(heads.size(), rig.heads.size());
    const StageSolution solution = SolveStage(heads, {6.0, 0.0});
    ASSERT_TRUE(solution.Valid()) << static_cast<int>(solution.status) << " " << solution.device;
    ASSERT_EQ(solution.heads.size(), rig.heads.size());
    for (const SolvedHead& head : solution.heads) {
      EXPECT_LT(Off(head.pose.position, stage.HeadOf(head.device).position), 0.02)
          << rig.heads[head.device - 1].name;
      // Rounding to 16 bits leaves half a value on each axis.
      EXPECT_LT(head.largestSteps, 1.5) << rig.heads[head.device - 1].name;
    }
    for (int p = 0; p < kPointCount; ++p) {
      EXPECT_NEAR(solution.marks[p].x + 1.0, testing::kMarks[p].x, 0.01) << "mark " << p + 1;
      EXPECT_NEAR(solution.marks[p].y + 1.0, testing::kMarks[p].y, 0.01) << "mark " << p + 1;
    }
    EXPECT_NEAR(solution.solvedK1K2, 4.0, 0.01);
  }
}

TEST(StageSolveTest, ASecondLengthShowsHowWellTheTwoAgreeAndSharesTheSize) {
  StageRig stage(RigNamed("sides"), true);
  const StageSolution agreeing = Solve(stage, {6.0, 4.0});
  ASSERT_TRUE(agreeing.Valid());
  EXPECT_LT(std::abs(agreeing.lengthsDisagreePercent), 0.2);
  EXPECT_TRUE(StageFindings(agreeing).empty());

  // K1-K2 taken 10 % long: the lengths disagree, and the size lies between
  // the two lengths' own.
  const StageSolution apart = Solve(stage, {6.0, 4.4});
  ASSERT_TRUE(apart.Valid());
  EXPECT_NEAR(apart.lengthsDisagreePercent, 10.0, 0.3);
  EXPECT_GT(apart.solvedK1K2, 4.0 + 0.1);
  EXPECT_LT(apart.solvedK1K2, 4.4 - 0.1);
  const double k1k3 =
      std::hypot(apart.marks[2].x - apart.marks[0].x, apart.marks[2].y - apart.marks[0].y);
  EXPECT_GT(k1k3, 6.0 + 0.1);
  const auto findings = StageFindings(apart);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(StageFindingMessage(findings[0]),
            "The lengths K1-K3 and K1-K2 disagree by 10.0 %. Check both lengths.");
}

// At 8 bit the rays fix the stage's depth only loosely; both true lengths
// must shape it, not be told that they disagree.
TEST(StageSolveTest, TrueLengthsAgreeAt8BitAndShapeTheStage) {
  for (const auto& rig : testing::ReferenceRigs()) {
    SCOPED_TRACE(rig.name);
    StageRig stage(rig, false);
    const StageSolution solution = Solve(stage, {6.0, 4.0});
    ASSERT_TRUE(solution.Valid()) << static_cast<int>(solution.status) << " " << solution.device;
    EXPECT_TRUE(StageFindings(solution).empty())
        << StageFindingMessage(StageFindings(solution).front());
    EXPECT_NEAR(solution.solvedK1K2, 4.0, 0.1);
  }
}

TEST(StageSolveTest, WithoutAUsableLengthOrASlaveNothingIsSolved) {
  StageRig stage(RigNamed("default"), false);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double k1k3 : {0.0, -6.0, nan, inf, 1e308, kMaxStageLength * 2}) {
    const StageSolution solution = Solve(stage, {k1k3, 4.0});
    EXPECT_EQ(solution.status, StageStatus::NoLength) << k1k3;
    EXPECT_TRUE(StageFindings(solution).empty());
  }
  // A K1-K2 that is no length is left out; K1-K3 alone sizes the stage.
  for (double k1k2 : {-4.0, nan, inf}) {
    const StageSolution solution = Solve(stage, {6.0, k1k2});
    ASSERT_TRUE(solution.Valid()) << k1k2;
    EXPECT_EQ(solution.lengthsDisagreePercent, 0.0);
  }
  for (std::int16_t d = 2; d <= 4; ++d) stage.Calibrate(d, testing::FollowRig::kUncalibratedPairs);
  EXPECT_EQ(Solve(stage).status, StageStatus::TooFewHeads);
}

// Five marks per head catch a calibration that no stage can give, and name
// the device it shows in; the message says the floor is followed.
TEST(StageSolveTest, CalibrationsNoStageCanGiveNameTheDevice) {
  struct Fault {
    const char* what;
    void (*spoil)(RigStore&);
    StageStatus status;
    const char* message;
  };
  const auto swap = [](RigStore& store, int a, int b) {
    std::swap(*store.Pan(3, a), *store.Pan(3, b));
    std::swap(*store.Tilt(3, a), *store.Tilt(3, b));
  };
  static decltype(swap) swapper = swap;
  const Fault faults[] = {
      {"K2 and K4 taken in each other's place", [](RigStore& s) { swapper(s, 2, 4); },
       StageStatus::Mirrored,
       "Device 3: its five points are not in the order of the marks on the stage, so TrailBeam "
       "follows the floor. Check its calibration."},
      {"K3 and K4 taken in each other's place", [](RigStore& s) { swapper(s, 3, 4); },
       StageStatus::Mirrored, nullptr},
      {"K2 and K3 taken in each other's place", [](RigStore& s) { swapper(s, 2, 3); },
       StageStatus::NoFit,
       "Device 3: no stage fits its five points, so TrailBeam follows the floor. Check its "
       "calibration and its pan and tilt range."},
      {"KM ten values off in pan", [](RigStore& s) { *s.Pan(3, 5) += 10; }, StageStatus::NoFit,
       nullptr},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    StageRig stage(RigNamed("sides"), false);
    fault.spoil(stage.store);
    const StageSolution solution = Solve(stage);
    EXPECT_EQ(solution.status, fault.status);
    EXPECT_EQ(solution.device, 3);
    const auto findings = StageFindings(solution);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].device, 3);
    if (fault.message != nullptr) {
      EXPECT_EQ(StageFindingMessage(findings[0]), fault.message);
    }
  }
}

TEST(StageSolveTest, TwoHeadsWhoseOnlyFitIsNoStageAreRefused) {
  // Truss R and Truss L, both in front at 8 bit: every start ends with K4
  // kilometres away and both heads a metre above the floor, each ray right.
  StageRig stage(RigNamed("default"), false);
  for (std::int16_t d = 3; d <= 4; ++d) stage.Calibrate(d, testing::FollowRig::kUncalibratedPairs);
  const StageSolution solution = Solve(stage);
  EXPECT_EQ(solution.status, StageStatus::NoFit);
  EXPECT_EQ(StageFindings(solution).size(), 1u);
}

// No rays tried here put a head below the floor: each head starts on the
// side that has it above, and a reflected head fits its rays equally well.
// Should the fit ever pull one through the floor, this is what is told.
TEST(StageSolveTest, AHeadBelowTheFloorIsNamed) {
  StageSolution solution;
  solution.status = StageStatus::BelowFloor;
  solution.device = 2;
  const auto findings = StageFindings(solution);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(StageFindingMessage(findings[0]),
            "Device 2: the stage fitted to the five points puts it below the floor, so TrailBeam "
            "follows the floor. Check its calibration.");
}

TEST(StageSolveTest, AHeadWhosePanTurnsTheOtherWayIsSolvedMirrored) {
  testing::Rig rig = RigNamed("sides");
  Point3& y = rig.heads[2].head.frame[1];
  y = {-y.x, -y.y, -y.z};
  StageRig stage(rig, true);
  const StageSolution solution = Solve(stage);
  ASSERT_TRUE(solution.Valid());
  const Mat3& m = solution.heads[2].pose.toOwn;
  const double det = m.m[0] * (m.m[4] * m.m[8] - m.m[5] * m.m[7]) -
                     m.m[1] * (m.m[3] * m.m[8] - m.m[5] * m.m[6]) +
                     m.m[2] * (m.m[3] * m.m[7] - m.m[4] * m.m[6]);
  EXPECT_NEAR(det, -1.0, 1e-9);
  EXPECT_LT(Off(solution.heads[2].pose.position, rig.heads[2].head.position), 0.02);
}

}  // namespace
}  // namespace tb

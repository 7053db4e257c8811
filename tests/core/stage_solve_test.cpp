// The stage solve on the reference rigs: heads and marks in metres from
// their calibration rays and one length, and the stages it refuses.
#include "follow/stage_solve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

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

const testing::Rig& RigNamed(const std::string& name) {
  static const auto rigs = testing::ReferenceRigs();
  for (const auto& rig : rigs)
    if (name == rig.name) return rig;
  throw std::invalid_argument(name);
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

}  // namespace
}  // namespace tb

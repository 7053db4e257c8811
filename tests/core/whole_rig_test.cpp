// Devices beyond 4: every method follows them in number order, a device's
// number changes nothing of what it is sent, and the checks and the stage
// solve name and place them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "follow/follow.h"
#include "follow/follow_methods.h"
#include "follow/stage_solve.h"
#include "follow_rig.h"

namespace tb {
namespace {

using testing::FollowRig;
using testing::HostCall;

// The master as device 9; slaves 2, 5, 12 and 16, where 16 is mounted as 2.
struct WholeRig : FollowRig {
  static constexpr std::int16_t kMaster = 9;
  static constexpr std::int16_t kSlaves[] = {2, 5, 12, 16};

  WholeRig() {
    store.MasterDevice = kMaster;
    Install(kMaster, testing::FrontMaster(), testing::kPositiveSide);
    const auto mountings = testing::Mountings();
    Install(2, mountings[0].head, mountings[0].side);
    Install(5, mountings[1].head, mountings[1].side);
    Install(12, mountings[2].head, mountings[2].side);
    Install(16, mountings[0].head, mountings[0].side);
  }

  // The devices written in the last tick, in call order, one per pair.
  std::vector<int> WrittenDevices() const {
    std::vector<int> devices;
    for (const HostCall& call : host->calls) {
      if (call.kind == HostCall::Write && call.channel % 10 == 0)
        devices.push_back(call.channel / 10);
    }
    return devices;
  }
};

TEST(WholeRig, EveryMethodFollowsDevicesBeyondFourInNumberOrder) {
  for (std::int16_t method : {kFollowLinear, kFollowDistance, kFollowTrigonometric}) {
    WholeRig rig;
    rig.store.FollowMethod = method;
    FollowEngine engine;
    engine.Start();
    rig.MasterReads(120, 175);
    ASSERT_FALSE(engine.OnTimer(rig.store)) << method;
    EXPECT_EQ(rig.host->calls.front(), testing::Read(FollowRig::PanChannel(WholeRig::kMaster), 120))
        << method;
    EXPECT_EQ(rig.WrittenDevices(), (std::vector<int>{2, 5, 12, 16})) << method;
    EXPECT_EQ(rig.WrittenTo(16), rig.WrittenTo(2)) << method;
    for (int d = 1; d <= kDeviceCount; ++d) {
      const bool calibrated =
          d == WholeRig::kMaster || std::ranges::count(WholeRig::kSlaves, d) == 1;
      EXPECT_EQ(*rig.store.Calibrated(d), calibrated ? VTrue : VFalse) << method << " " << d;
    }
  }
}

TEST(WholeRig, TheStageSolvePlacesDevicesBeyondFour) {
  WholeRig rig;
  rig.store.StageK1K3 = 10.0;
  const StageSolution solution = SolveStage(StageHeadsOf(rig.store), {10.0, 0.0});
  ASSERT_TRUE(solution.Valid());
  std::vector<int> devices;
  for (const SolvedHead& head : solution.heads) devices.push_back(head.device);
  EXPECT_EQ(devices, (std::vector<int>{9, 2, 5, 12, 16}));
  // Devices 2 and 16 hang in one place (to the fit's tolerance).
  const Vec3 a = solution.heads[1].pose.position;
  const Vec3 b = solution.heads[4].pose.position;
  EXPECT_NEAR(a.x, b.x, 1e-4);
  EXPECT_NEAR(a.y, b.y, 1e-4);
  EXPECT_NEAR(a.z, b.z, 1e-4);
}

}  // namespace
}  // namespace tb

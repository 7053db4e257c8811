// Following at a height with the trigonometric method: the master's beam
// meets the plane at the height, every slave aims at that point. Errors are
// measured at that height, over a 0.25 m grid inside the marks, beside the
// ideal (each slave aimed exactly at the master's point, then rounded).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "follow/follow_methods.h"
#include "stage_rig.h"

namespace tb {
namespace {

using testing::Point3;
using testing::StageRig;

struct Errors {
  double mean = 0.0;
  double max = 0.0;
  int misses = 0;  // grid points where a slave was not written or missed the plane
};

enum class Way { AtHeight, Floor, Ideal };

// Every slave at every grid point, the master aimed there in its own
// resolution.
Errors Measure(const testing::Rig& rig, bool fine, double height, Way way) {
  StageRig stage(rig, fine);
  stage.store.FollowMethod = kFollowTrigonometric;
  stage.store.FollowHeight = height;
  if (way == Way::Floor) stage.store.StageK1K3 = 0.0;
  FollowEngine engine;
  EXPECT_TRUE(engine.PrepareStage(stage.store).empty());
  engine.Start();
  Errors errors;
  double sum = 0.0;
  int count = 0;
  for (double x = 1.0; x <= 7.0 + 1e-9; x += 0.25) {
    for (double y = 1.0; y <= 5.0 + 1e-9; y += 0.25) {
      const auto master = stage.MasterAt({x, y, height});
      if (!master) continue;
      stage.host->calls.clear();
      EXPECT_FALSE(engine.OnTimer(stage.store));
      EXPECT_EQ(engine.Trigonometric().FollowedAtHeight(), way != Way::Floor);
      for (std::int16_t d = 2; d <= stage.Count(); ++d) {
        const auto slave = way == Way::Ideal ? stage.IdealAt(d, *master) : stage.SlaveAt(d, height);
        if (!slave) {
          ++errors.misses;
          continue;
        }
        const double error = testing::Distance(*slave, *master);
        sum += error;
        ++count;
        errors.max = std::max(errors.max, error);
      }
    }
  }
  errors.mean = count > 0 ? sum / count : 0.0;
  return errors;
}

TEST(HeightFollowTest, Measure) {
  for (const auto& rig : testing::ReferenceRigs()) {
    for (bool fine : {false, true}) {
      for (double h : {0.0, 1.5}) {
        const Errors a = Measure(rig, fine, h, Way::AtHeight);
        const Errors f = Measure(rig, fine, h, Way::Floor);
        const Errors i = Measure(rig, fine, h, Way::Ideal);
        std::printf(
            "%-9s %s h=%.1f  height %.3f/%.3f (%d)  floor %.3f/%.3f (%d)  ideal %.3f/%.3f\n",
            rig.name, fine ? "16" : " 8", h, a.mean, a.max, a.misses, f.mean, f.max, f.misses,
            i.mean, i.max);
      }
    }
  }
}

}  // namespace
}  // namespace tb

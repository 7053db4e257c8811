#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "follow/follow_methods.h"
#include "follow_rig.h"
#include "stage_geometry.h"

namespace tb {
namespace {

using testing::FollowRig;
using testing::Head;
using testing::HungDown;
using Kind = RangeFinding::Kind;

class RangeCheckTest : public ::testing::Test, public FollowRig {
 protected:
  void SetUp() override { Install(1, testing::FrontMaster(), testing::kPositiveSide); }

  // A 630/265 head over the stage, where its ranges matter.
  const Head wideOverhead = HungDown({2.5, 3.5, 7.0}, 90.0, 630.0, 265.0);
  // Heads on the floor, whose beams to the marks lean far from their axis:
  // too small a tilt range bends some of them backwards.
  const Head standingLeft = testing::StandingUp({-3.0, 1.0, 0.5}, 0.0);
  const Head standingFarOut = testing::StandingUp({-3.0, -6.0, 0.5}, 0.0);
};

TEST_F(RangeCheckTest, CorrectRangesPassOnEveryMounting) {
  auto mountings = testing::Mountings();
  mountings.push_back({"630/265 overhead", wideOverhead, testing::kPositiveSide});
  mountings.push_back({"overhead", HungDown({4.0, 3.0, 6.0}, 90.0), testing::kPositiveSide});
  for (std::size_t first = 0; first < mountings.size(); first += 3) {
    for (std::int16_t d = 2; d <= 4; ++d) {
      const std::size_t i = first + static_cast<std::size_t>(d) - 2;
      if (i < mountings.size())
        Install(d, mountings[i].head, mountings[i].side);
      else
        Calibrate(d, kUncalibratedPairs);
    }
    const auto findings = CheckFollowRanges(store);
    EXPECT_TRUE(findings.empty()) << mountings[first].name << ": "
                                  << (findings.empty() ? "" : RangeFindingMessage(findings[0]));
  }
}

TEST_F(RangeCheckTest, WideHeadEnteredAsDefaultIsFlaggedWithItsAngle) {
  Install(3, wideOverhead, testing::kPositiveSide);
  Install(2, testing::Mountings()[0].head, testing::Mountings()[0].side);
  store.Device(3)->PanRange = kDefaultPanRange;
  store.Device(3)->TiltRange = kDefaultTiltRange;
  const auto findings = CheckFollowRanges(store);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].device, 3);
  EXPECT_EQ(findings[0].kind, Kind::OffBy);
  EXPECT_GT(findings[0].degrees, findings[0].limit);
  EXPECT_LT(findings[0].degrees, 10.0);
  EXPECT_EQ(findings[0].panRange, 540);
  EXPECT_EQ(findings[0].tiltRange, 270);
  // Entered right, it passes.
  store.Device(3)->PanRange = 630;
  store.Device(3)->TiltRange = 265;
  EXPECT_TRUE(CheckFollowRanges(store).empty());
}

TEST_F(RangeCheckTest, PointsThatSpanNothingCannotFollow) {
  const testing::Pairs same = {{{90, 160}, {90, 160}, {90, 160}, {90, 160}, {90, 160}}};
  Install(2, testing::Mountings()[1].head, testing::Mountings()[1].side);
  Calibrate(3, same);
  store.Device(3)->PanRange = 600;  // reported as the check used them
  store.Device(4)->PanRange = 0;    // not a range: the default stands in
  Calibrate(4, same);
  const auto findings = CheckFollowRanges(store);
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_EQ(findings[0].device, 3);
  EXPECT_EQ(findings[0].kind, Kind::NoMap);
  EXPECT_EQ(findings[0].panRange, 600);
  EXPECT_EQ(findings[1].device, 4);
  EXPECT_EQ(findings[1].panRange, 540);
  // A master whose points span nothing is named itself, once, instead of
  // every slave.
  Calibrate(1, same);
  const auto masterFindings = CheckFollowRanges(store);
  ASSERT_EQ(masterFindings.size(), 1u);
  EXPECT_EQ(masterFindings[0].device, 1);
  EXPECT_EQ(masterFindings[0].kind, Kind::NoMap);
  // Without a master every head is judged by its own points.
  store.MasterDevice = 0;
  const auto alone = CheckFollowRanges(store);
  ASSERT_EQ(alone.size(), 3u);
  for (std::size_t i = 0; i < alone.size(); ++i) {
    EXPECT_EQ(alone[i].device, std::vector<std::int16_t>({1, 3, 4})[i]);
    EXPECT_EQ(alone[i].kind, Kind::NoMap);
  }
  // The same for a master that lost its calibration.
  store.MasterDevice = 2;
  Calibrate(2, kUncalibratedPairs);
  EXPECT_EQ(CheckFollowRanges(store).size(), 3u);
}

// Heads whose own rounding moves KM by more than a few degrees: far away,
// at a grazing angle, over a raked stage. Entered with their right ranges
// they must never be told to check them.
TEST_F(RangeCheckTest, CorrectRangesNeverWarn) {
  using testing::StandingUp;
  std::vector<testing::Mounting> rigs = testing::Mountings();
  const testing::Aim positive = testing::kPositiveSide;
  // Each of these misses KM by 4 to 10 degrees through its own rounding.
  rigs.push_back({"standing at the front edge", StandingUp({2.5, -0.2, 0.3}, 90.0), positive});
  rigs.push_back({"on the floor at the front edge", StandingUp({5.5, 0.0, 0.2}, 90.0), positive});
  rigs.push_back(
      {"on the floor at the middle of the edge", StandingUp({4.0, 0.0, 0.2}, 90.0), positive});
  rigs.push_back({"20 m out, low", HungDown({-10.0, -20.0, 4.0}, 90.0), positive});
  // And these by less.
  rigs.push_back({"20 m out in front", HungDown({4.0, -20.0, 8.0}, 90.0), positive});
  rigs.push_back({"20 m out at the side", HungDown({-16.0, 3.0, 9.0}, 0.0), positive});
  rigs.push_back({"over a raked stage",
                  testing::OverRakedStage(HungDown({3.0, 2.0, 7.0}, 90.0), 6.0), positive});
  rigs.push_back({"overhead", HungDown({4.0, 3.0, 6.0}, 90.0), positive});
  rigs.push_back({"630/265 overhead", wideOverhead, positive});
  rigs.push_back({"standing on the floor at the left", standingLeft, positive});
  rigs.push_back({"standing on the floor far out", standingFarOut, positive});
  for (const auto& rig : rigs) {
    Install(2, rig.head, rig.side);
    const auto findings = CheckFollowRanges(store);
    EXPECT_TRUE(findings.empty()) << rig.name << ": "
                                  << (findings.empty() ? "" : RangeFindingMessage(findings[0]))
                                  << " (limit " << (findings.empty() ? 0 : findings[0].limit)
                                  << ")";
  }
}

// A range mistake so large that the five points give no map at all is
// still a range mistake, told with its angle.
TEST_F(RangeCheckTest, LargeRangeMistakesAreToldWithTheirAngle) {
  const struct Case {
    const char* what;
    Head head;
    std::int32_t pan, tilt;
  } cases[] = {
      {"540/270 over a raked stage entered as 360/180",
       testing::OverRakedStage(HungDown({3.0, 2.0, 7.0}, 90.0), 6.0), 360, 180},
      {"630/265 overhead entered as 360/180", wideOverhead, 360, 180},
      {"630/265 overhead entered as 540/270", wideOverhead, 540, 270},
      // Before, these were "its five points do not span the stage".
      {"540/270 on the floor entered as 360/180", standingLeft, 360, 180},
      {"540/270 on the floor entered as 540/200", standingLeft, 540, 200},
      {"540/270 on the floor entered as 540/180", standingLeft, 540, 180},
      {"540/270 on the floor far out entered as 540/180", standingFarOut, 540, 180},
  };
  for (const Case& c : cases) {
    Install(2, c.head, testing::kPositiveSide);
    store.Device(2)->PanRange = c.pan;
    store.Device(2)->TiltRange = c.tilt;
    const auto findings = CheckFollowRanges(store);
    ASSERT_EQ(findings.size(), 1u) << c.what;
    EXPECT_EQ(findings[0].kind, Kind::OffBy) << c.what << ": " << RangeFindingMessage(findings[0]);
    EXPECT_GT(findings[0].degrees, findings[0].limit) << c.what;
    EXPECT_EQ(findings[0].panRange, c.pan) << c.what;
    EXPECT_EQ(findings[0].tiltRange, c.tilt) << c.what;
  }
}

TEST(RangeFindingMessageTest, TextsAsTheOperatorReadsThem) {
  const struct {
    RangeFinding finding;
    const char* text;
  } cases[] = {
      {{2, Kind::OffBy, 4.46, 540, 270},
       "Device 2: its five points do not fit a 540\xC2\xB0/270\xC2\xB0 head (KM is off by "
       "4.5\xC2\xB0). Check its pan and tilt range."},
      {{4, Kind::OffBy, 23.96, 630, 265},
       "Device 4: its five points do not fit a 630\xC2\xB0/265\xC2\xB0 head (KM is off by "
       "24.0\xC2\xB0). Check its pan and tilt range."},
      {{1, Kind::OffBy, 3.04, 1, 1080},
       "Device 1: its five points do not fit a 1\xC2\xB0/1080\xC2\xB0 head (KM is off by "
       "3.0\xC2\xB0). Check its pan and tilt range."},
      {{3, Kind::NoMap, 0.0, 540, 270},
       "Device 3 cannot follow trigonometrically: its five points do not span the stage."},
  };
  for (const auto& c : cases) EXPECT_EQ(RangeFindingMessage(c.finding), c.text);
}

}  // namespace
}  // namespace tb

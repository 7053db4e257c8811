#include "follow/rays.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "stage_geometry.h"

namespace tb {
namespace {

using testing::FloorPoint;
using testing::Head;
using testing::kMarks;

constexpr double kRad = std::numbers::pi / 180.0;
constexpr HeadRanges k540{540.0, 270.0};

Vec3 Ray(double panDegrees, double tiltDegrees) {
  const double p = panDegrees * kRad;
  const double t = tiltDegrees * kRad;
  return {std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t)};
}

Vec3 RayTo(const Head& head, FloorPoint target) {
  const auto own = testing::OwnRay(head, target);
  return {own.x, own.y, own.z};
}

TEST(RaysTest, DmxSpansTheRangesAroundTheAxis) {
  const struct {
    double pan, tilt;
    HeadRanges ranges;
    Vec3 ray;
  } cases[] = {
      {127.5, 127.5, k540, {0.0, 0.0, 1.0}}, {127.5, 255.0, k540, Ray(0.0, 135.0)},
      {170.0, 170.0, k540, Ray(90.0, 45.0)},  // 42.5 steps of 540 are 90 degrees
      {0.0, 0.0, k540, Ray(-270.0, -135.0)}, {255.0, 0.0, {630.0, 265.0}, Ray(315.0, -132.5)},
  };
  for (const auto& c : cases) {
    const Vec3 ray = DmxToRay(c.pan, c.tilt, c.ranges);
    EXPECT_LT(AngleBetween(ray, c.ray), 1e-9) << c.pan << ", " << c.tilt;
    EXPECT_NEAR(Norm(ray), 1.0, 1e-12);
  }
  // The conversion agrees with the stage model's aim.
  const Head head = testing::FrontMaster();
  for (const FloorPoint& mark : kMarks) {
    const auto aim = testing::AimNear(head, mark, testing::kPositiveSide).value();
    EXPECT_LT(AngleBetween(DmxToRay(aim.pan, aim.tilt, k540), RayTo(head, mark)), 1e-9);
  }
}

TEST(RaysTest, EveryPairInRangeComesBackFromItsOwnRay) {
  std::vector<double> values;
  for (int v = 0; v <= 255; v += 15) values.push_back(v);
  values.insert(values.end(), {127.0, 128.0, 1.0, 254.0});
  const HeadRanges rangeSets[] = {k540, {630.0, 265.0}, {360.0, 180.0}, {1080.0, 1080.0}};
  for (const HeadRanges& ranges : rangeSets) {
    for (double pan : values) {
      for (double tilt : values) {
        const DmxPair pair{static_cast<std::int32_t>(pan), static_cast<std::int32_t>(tilt)};
        EXPECT_EQ(RayToDmx(DmxToRay(pan, tilt, ranges), ranges, pair), pair)
            << ranges.pan << "/" << ranges.tilt << " at " << pan << ", " << tilt;
      }
    }
  }
}

TEST(RaysTest, OfTheSolutionsTheOneNearestTheReferenceIsTaken) {
  // Pan 100, tilt 40 degrees on a 540/270 head is also pan -260 (another
  // turn) and pan -80 with tilt -40 (the other side).
  const DmxPair a{175, 165};  // 100, 40
  const DmxPair b{5, 165};    // -260, 40
  const DmxPair c{90, 90};    // -80, -40
  const Vec3 ray = Ray(100.0, 40.0);
  const struct {
    DmxPair near, expected;
  } cases[] = {
      {a, a},          {b, b}, {c, c}, {{0, 255}, b},  // -270, 135: the turn is nearest
      {{127, 100}, c},                                 // about 0, -15: the other side is nearest
  };
  for (const auto& k : cases)
    EXPECT_EQ(RayToDmx(ray, k540, k.near), k.expected) << k.near.pan << ", " << k.near.tilt;
}

TEST(RaysTest, AxisUnreachableAndEmptyRays) {
  const struct {
    const char* name;
    Vec3 ray;
    DmxPair near, expected;
  } cases[] = {
      // On the axis the pan stays; tilt 127.5 rounds to the even 128.
      {"axis", {0.0, 0.0, 1.0}, {40, 90}, {40, 128}},
      // A hair off the axis towards pan 180: pan stays, tilt leans that way.
      {"off the axis", {-1e-4, 0.0, 1.0}, {128, 60}, {128, 127}},
      // 170 degrees from the axis is beyond +-135: the end on the nearer
      // side, pan 10 (132) or 190 (217).
      {"beyond the range, positive side", Ray(10.0, 170.0), {127, 200}, {132, 255}},
      {"beyond the range, negative side", Ray(10.0, 170.0), {150, 50}, {217, 0}},
      {"zero ray", {0.0, 0.0, 0.0}, {300, -5}, {255, 0}},
      {"not finite", {NAN, 0.0, 1.0}, {12, 34}, {12, 34}},
  };
  for (const auto& c : cases) EXPECT_EQ(RayToDmx(c.ray, k540, c.near), c.expected) << c.name;
}

std::array<Vec3, 5> MarkRays(const Head& head) {
  std::array<Vec3, 5> rays;
  for (std::size_t i = 0; i < kMarks.size(); ++i) rays[i] = RayTo(head, kMarks[i]);
  return rays;
}

TEST(RaysTest, MapFittedOnTheMarksCarriesEveryFloorPoint) {
  const Head master = testing::FrontMaster();
  const auto from = MarkRays(master);
  for (const auto& mounting : testing::Mountings()) {
    const auto to = MarkRays(mounting.head);
    for (std::size_t pairs : {4u, 5u}) {
      const RayMap map = FitRayMap(std::span(from).first(pairs), std::span(to).first(pairs));
      ASSERT_TRUE(map.usable) << mounting.name;
      double worst = 0.0;
      for (double x = -2.0; x <= 10.0; x += 0.5) {
        for (double y = -2.0; y <= 8.0; y += 0.5) {
          // The angle is 180 for a map that carries a ray backwards.
          worst = std::max(
              worst, AngleBetween(map.g * RayTo(master, {x, y}), RayTo(mounting.head, {x, y})));
        }
      }
      EXPECT_LT(worst, 1e-9) << mounting.name << " on " << pairs << " pairs";
    }
  }
}

TEST(RaysTest, DegenerateRaysGiveNoMap) {
  const auto good = MarkRays(testing::FrontMaster());
  const Vec3 one = good[4];
  std::array<Vec3, 5> allEqual;
  allEqual.fill(one);
  std::array<Vec3, 5> onePan;  // one pan, five tilts: a plane through the head
  for (int i = 0; i < 5; ++i) onePan[i] = Ray(30.0, 10.0 * i - 20.0);
  std::array<Vec3, 5> threeEqual = good;  // K1 = K2 = K3
  threeEqual[1] = threeEqual[2] = threeEqual[0];
  std::array<Vec3, 5> backwards = good;  // one pair the wrong way round
  backwards[3] = {-backwards[3].x, -backwards[3].y, -backwards[3].z};
  const struct {
    const char* name;
    std::span<const Vec3> from, to;
  } cases[] = {
      {"slave all equal", good, allEqual},
      {"master all equal", allEqual, good},
      {"slave in one plane", good, onePan},
      {"master in one plane", onePan, good},
      {"three slave points equal", good, threeEqual},
      {"one ray backwards", good, backwards},
      {"three pairs", std::span(good).first(3), std::span(good).first(3)},
      {"counts differ", good, std::span(good).first(4)},
  };
  for (const auto& c : cases) EXPECT_FALSE(FitRayMap(c.from, c.to).usable) << c.name;
  EXPECT_TRUE(FitRayMap(good, good).usable);
}

}  // namespace
}  // namespace tb

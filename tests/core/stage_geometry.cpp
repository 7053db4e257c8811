#include "stage_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tb::testing {

namespace {

constexpr double kRad = std::numbers::pi / 180.0;

Point3 Cross(Point3 a, Point3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(Point3 a, Point3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Head Mounted(Point3 position, double facing, double axisZ, double panRange, double tiltRange) {
  const Point3 x{std::cos(facing * kRad), std::sin(facing * kRad), 0.0};
  const Point3 z{0.0, 0.0, axisZ};
  return {position, {x, Cross(z, x), z}, panRange, tiltRange};
}

Point3 RotateAboutX(Point3 v, double degrees) {
  const double c = std::cos(degrees * kRad);
  const double s = std::sin(degrees * kRad);
  return {v.x, c * v.y - s * v.z, s * v.y + c * v.z};
}

double ToDmx(double degrees, double range) { return (degrees / range + 0.5) * 255.0; }
double ToDegrees(double dmx, double range) { return (dmx / 255.0 - 0.5) * range; }

}  // namespace

Head HungDown(Point3 position, double facing, double panRange, double tiltRange) {
  return Mounted(position, facing, -1.0, panRange, tiltRange);
}

Head StandingUp(Point3 position, double facing, double panRange, double tiltRange) {
  return Mounted(position, facing, 1.0, panRange, tiltRange);
}

Head Leaned(Head head, double degrees) {
  for (Point3& axis : head.frame) axis = RotateAboutX(axis, degrees);
  return head;
}

Head OverRakedStage(Head head, double degrees) {
  head.position = RotateAboutX(head.position, -degrees);
  return Leaned(head, -degrees);
}

Point3 OwnRay(const Head& head, FloorPoint target) {
  return OwnRayTo(head, Point3{target.x, target.y, 0.0});
}

Point3 OwnRayTo(const Head& head, Point3 target) {
  const Point3 to{target.x - head.position.x, target.y - head.position.y,
                  target.z - head.position.z};
  const double length = std::sqrt(Dot(to, to));
  return {Dot(to, head.frame[0]) / length, Dot(to, head.frame[1]) / length,
          Dot(to, head.frame[2]) / length};
}

std::vector<Aim> AimsAt(const Head& head, FloorPoint target) {
  return AimsAtPoint(head, Point3{target.x, target.y, 0.0});
}

std::vector<Aim> AimsAtPoint(const Head& head, Point3 target) {
  const Point3 own = OwnRayTo(head, target);
  const double tilt = std::acos(std::clamp(own.z, -1.0, 1.0)) / kRad;
  const double pan = std::atan2(own.y, own.x) / kRad;
  std::vector<Aim> aims;
  for (int side = 0; side < 2; ++side) {
    for (int turn = -3; turn <= 3; ++turn) {
      const double p = pan + 180.0 * side + 360.0 * turn;
      const Aim aim{ToDmx(p, head.panRange), ToDmx(side == 0 ? tilt : -tilt, head.tiltRange)};
      if (aim.pan >= 0.0 && aim.pan <= 255.0 && aim.tilt >= 0.0 && aim.tilt <= 255.0)
        aims.push_back(aim);
    }
  }
  return aims;
}

std::optional<Aim> AimNear(const Head& head, FloorPoint target, Aim preferred) {
  return AimNearPoint(head, Point3{target.x, target.y, 0.0}, preferred);
}

std::optional<Aim> AimNearPoint(const Head& head, Point3 target, Aim preferred) {
  std::optional<Aim> best;
  for (const Aim& aim : AimsAtPoint(head, target)) {
    const auto distance = [&](const Aim& a) {
      return std::hypot(a.pan - preferred.pan, a.tilt - preferred.tilt);
    };
    if (!best || distance(aim) < distance(*best)) best = aim;
  }
  return best;
}

std::optional<FloorPoint> Spot(const Head& head, double pan, double tilt) {
  const auto spot = SpotAt(head, pan, tilt, 0.0);
  if (!spot) return std::nullopt;
  return FloorPoint{spot->x, spot->y};
}

std::optional<Point3> SpotAt(const Head& head, double pan, double tilt, double height) {
  const double p = ToDegrees(pan, head.panRange) * kRad;
  const double t = ToDegrees(tilt, head.tiltRange) * kRad;
  const Point3 own{std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t)};
  const auto& f = head.frame;
  const Point3 beam{own.x * f[0].x + own.y * f[1].x + own.z * f[2].x,
                    own.x * f[0].y + own.y * f[1].y + own.z * f[2].y,
                    own.x * f[0].z + own.y * f[1].z + own.z * f[2].z};
  if (beam.z == 0.0) return std::nullopt;
  const double reach = (height - head.position.z) / beam.z;
  if (!(reach > 0.0)) return std::nullopt;
  return Point3{head.position.x + reach * beam.x, head.position.y + reach * beam.y, height};
}

std::array<Aim, 5> CalibrationAims(const Head& head, Aim preferred) {
  // KM first; each corner then as the head moves there from KM, without
  // taking another turn or the other tilt side.
  const Aim km = AimNear(head, kMarks[4], preferred).value();
  std::array<Aim, 5> aims{};
  for (std::size_t i = 0; i < kMarks.size(); ++i) aims[i] = AimNear(head, kMarks[i], km).value();
  return aims;
}

Pairs Calibrate(const Head& head, Aim preferred) {
  const auto aims = CalibrationAims(head, preferred);
  Pairs pairs{};
  for (std::size_t i = 0; i < aims.size(); ++i)
    pairs[i] = {static_cast<std::int32_t>(std::lround(aims[i].pan)),
                static_cast<std::int32_t>(std::lround(aims[i].tilt))};
  return pairs;
}

Head FrontMaster() { return HungDown({4.0, -6.0, 8.0}, 90.0); }

std::vector<Mounting> Mountings() {
  return {
      {"hung in front", HungDown({1.0, -4.0, 6.0}, 90.0), kPositiveSide},
      {"boom left, turned 90", HungDown({-2.5, 3.0, 5.0}, 0.0), kPositiveSide},
      {"back truss, turned 180", HungDown({4.0, 9.5, 7.0}, 270.0), kPositiveSide},
      {"boom right, negative tilt", HungDown({10.5, 2.5, 6.5}, 180.0), kNegativeSide},
      {"tower, standing", StandingUp({-6.0, 8.0, 4.0}, -20.0), kPositiveSide},
      {"630/265 at 45 degrees", HungDown({9.5, -3.0, 6.0}, 135.0, 630.0, 265.0), kPositiveSide},
      {"leaned 20 degrees", Leaned(HungDown({8.0, -4.0, 6.0}, 90.0), 20.0), kPositiveSide},
  };
}

std::vector<Rig> ReferenceRigs() {
  const auto hung = [](const char* name, Point3 at, double facing) {
    return Mounting{name, HungDown(at, facing), kPositiveSide};
  };
  return {
      {"default",
       {hung("Truss R", {4.4, -4.5, 7.0}, 90.0), hung("Truss L", {3.7, -4.0, 8.0}, 90.0),
        hung("FOH L", {3.9, -7.0, 6.0}, 90.0), hung("FOH R", {4.2, -8.0, 8.5}, 90.0)}},
      {"sides",
       {hung("FOH", {4.3, -6.0, 7.5}, 90.0),
        hung("Boom L", {-2.5, 3.0, 5.0}, 0.0),
        {"Boom R", HungDown({10.5, 2.5, 6.5}, 180.0), kNegativeSide},
        hung("Back", {4.0, 9.5, 7.0}, -90.0)}},
      {"mixed",
       {hung("FOH", {3.8, -6.0, 8.0}, 90.0),
        {"Tower", StandingUp({-6.0, 8.0, 4.0}, -20.0), kPositiveSide},
        {"Wide", HungDown({9.5, -3.0, 6.0}, 135.0, 630.0, 265.0), kPositiveSide},
        hung("Back", {3.0, 10.0, 8.0}, -90.0)}},
      {"overhead",
       {hung("FOH", {4.0, -6.0, 8.0}, 90.0), hung("Over L", {2.5, 3.5, 7.0}, 90.0),
        hung("Over R", {5.5, 2.5, 6.5}, -90.0), hung("Over C", {4.0, 3.0, 6.0}, 90.0)}},
  };
}

}  // namespace tb::testing

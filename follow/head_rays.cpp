// DMX values to rays and back. A ray has many (pan, tilt) pairs: the other
// tilt side with the pan half a turn on, and for wide ranges further turns;
// the head should take the one that needs the least travel.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "follow/follow.h"
#include "follow/rays.h"
#include "follow/resolution.h"

namespace tb {

namespace {

constexpr double kTurn = 360.0;
constexpr double kRadian = std::numbers::pi / 180.0;

// Enough turns either way for any range up to kMaxRange.
constexpr int kTurns = 3;

double ValidRange(std::int32_t range, std::int32_t fallback) {
  return range >= kMinRange && range <= kMaxRange ? range : fallback;
}

// One axis of one solution: the angle of the chosen turn, limited to the
// range, how far outside the range it lay, and its distance from the
// reference.
struct AxisChoice {
  double angle = 0.0;
  double outside = std::numeric_limits<double>::infinity();
  double distance = std::numeric_limits<double>::infinity();
};

bool Better(double outside, double distance, double bestOutside, double bestDistance) {
  if (outside != bestOutside) return outside < bestOutside;
  return distance < bestDistance;
}

// Of angle + k turns, the one inside the range nearest the reference; half
// a step beyond the ends still counts as inside, since it rounds to 0 or
// top.
AxisChoice ChooseTurn(double angle, double range, double top, double reference) {
  const double half = range / 2.0;
  const double slack = range / top / 2.0;
  AxisChoice best;
  for (int k = -kTurns; k <= kTurns; ++k) {
    const double candidate = angle + k * kTurn;
    double outside = std::abs(candidate) - half;
    outside = outside <= slack ? 0.0 : outside;
    const double distance = std::abs(candidate - reference);
    if (Better(outside, distance, best.outside, best.distance))
      best = {std::clamp(candidate, -half, half), outside, distance};
  }
  return best;
}

struct Solution {
  AxisChoice pan;
  AxisChoice tilt;
  double Outside() const { return pan.outside + tilt.outside; }
  double SquaredDistance() const {
    return pan.distance * pan.distance + tilt.distance * tilt.distance;
  }
};

std::int32_t ToDmx(double angle, double range, double top) {
  return ChannelValue(AngleToDmx(angle, range, top), static_cast<std::int32_t>(top));
}

DmxPair Limited(const DmxPair& pair, const HeadRanges& ranges) {
  return {std::clamp(pair.pan, 0, static_cast<std::int32_t>(ranges.panTop)),
          std::clamp(pair.tilt, 0, static_cast<std::int32_t>(ranges.tiltTop))};
}

}  // namespace

Vec3 operator*(const Mat3& a, const Vec3& v) {
  const auto& m = a.m;
  return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
          m[6] * v.x + m[7] * v.y + m[8] * v.z};
}

double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

double Norm(const Vec3& v) { return std::sqrt(Dot(v, v)); }

double AngleBetween(const Vec3& a, const Vec3& b) {
  const double lengths = Norm(a) * Norm(b);
  if (!(lengths > 0.0) || !std::isfinite(lengths)) return 180.0;
  // atan2 of |a x b| and a.b stays accurate for small angles, where acos
  // of the cosine does not.
  const Vec3 cross{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
  return std::atan2(Norm(cross), Dot(a, b)) / kRadian;
}

HeadRanges RangesOf(const DeviceRecord& device) {
  return {ValidRange(device.PanRange, kDefaultPanRange),
          ValidRange(device.TiltRange, kDefaultTiltRange),
          static_cast<double>(ScaleOf(device.PanFineChannel).top),
          static_cast<double>(ScaleOf(device.TiltFineChannel).top)};
}

double DmxToAngle(double value, double range, double top) { return (value / top - 0.5) * range; }

double AngleToDmx(double angle, double range, double top) { return (angle / range + 0.5) * top; }

Vec3 DmxToRay(double pan, double tilt, const HeadRanges& ranges) {
  const double p = DmxToAngle(pan, ranges.pan, ranges.panTop) * kRadian;
  const double t = DmxToAngle(tilt, ranges.tilt, ranges.tiltTop) * kRadian;
  return {std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t)};
}

DmxPair RayToDmx(const Vec3& ray, const HeadRanges& ranges, const DmxPair& near) {
  const double length = Norm(ray);
  if (!(length > 0.0) || !std::isfinite(length)) return Limited(near, ranges);
  const double side = std::sqrt(ray.x * ray.x + ray.y * ray.y);  // finite: at most length
  const double tilt = std::atan2(side, ray.z) / kRadian;         // 0..180
  const double pan = std::atan2(ray.y, ray.x) / kRadian;         // -180..180
  const double nearPan = DmxToAngle(near.pan, ranges.pan, ranges.panTop);
  const double nearTilt = DmxToAngle(near.tilt, ranges.tilt, ranges.tiltTop);

  // Within half a tilt step of the axis, either way along it, the pan
  // stays and the tilt follows the ray's lean in the plane of that pan.
  const double axisSlack = ranges.tilt / ranges.tiltTop / 2.0;
  Solution best;
  if (tilt <= axisSlack || tilt >= kTurn / 2.0 - axisSlack) {
    const double lean = std::cos((pan - nearPan) * kRadian);
    const double along =
        tilt <= axisSlack ? tilt * lean : kTurn / 2.0 - (kTurn / 2.0 - tilt) * lean;
    best = {ChooseTurn(nearPan, ranges.pan, ranges.panTop, nearPan),
            ChooseTurn(along, ranges.tilt, ranges.tiltTop, nearTilt)};
  } else {
    const Solution sides[] = {
        {ChooseTurn(pan, ranges.pan, ranges.panTop, nearPan),
         ChooseTurn(tilt, ranges.tilt, ranges.tiltTop, nearTilt)},
        {ChooseTurn(pan + kTurn / 2.0, ranges.pan, ranges.panTop, nearPan),
         ChooseTurn(-tilt, ranges.tilt, ranges.tiltTop, nearTilt)},
    };
    best = sides[0];
    if (Better(sides[1].Outside(), sides[1].SquaredDistance(), best.Outside(),
               best.SquaredDistance()))
      best = sides[1];
  }
  return {ToDmx(best.pan.angle, ranges.pan, ranges.panTop),
          ToDmx(best.tilt.angle, ranges.tilt, ranges.tiltTop)};
}

std::array<Vec3, kPointCount> CalibrationRays(const RigStore& store, int device) {
  std::array<Vec3, kPointCount> rays{};
  const DeviceRecord* record = store.Device(device);
  if (record == nullptr) return rays;
  const HeadRanges ranges = RangesOf(*record);
  const OwnCalibration own = CalibrationOf(store, device);
  for (int p = 0; p < kPointCount; ++p) rays[p] = DmxToRay(own.pan[p], own.tilt[p], ranges);
  return rays;
}

}  // namespace tb

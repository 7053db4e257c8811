// The check of the fixtures' ranges that Enable TB and Stop TB run with
// the trigonometric method chosen. Four marks fix the map between two
// heads; the fifth, KM, then tells whether the rays they were turned into
// fit the ranges entered. Wrong ranges bend the rays, and KM lands degrees
// away from where it was taken.
//
// How far KM may land off with correct ranges depends on the head: each of
// the twenty values was rounded to a whole step, and a head that sees the
// marks under a small or grazing angle turns a step into a larger miss. So
// each pair of heads gets its own limit: what rounding alone can explain.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "follow/follow_methods.h"
#include "follow/number_text.h"
#include "follow/rays.h"
#include "follow/resolution.h"

namespace tb {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// A head's five points as reals, so that they can be moved by part of a
// step, and the ranges they are read with.
struct HeadPoints {
  std::array<double, kPointCount> pan{};
  std::array<double, kPointCount> tilt{};
  HeadRanges ranges;
};

HeadPoints PointsOf(const RigStore& store, std::int16_t device) {
  HeadPoints points;
  points.ranges = RangesOf(store.DeviceTable[device - 1]);
  const OwnCalibration own = CalibrationOf(store, device);
  for (int p = 0; p < kPointCount; ++p) {
    points.pan[p] = own.pan[p];
    points.tilt[p] = own.tilt[p];
  }
  return points;
}

std::array<Vec3, kPointCount> RaysOf(const HeadPoints& head) {
  std::array<Vec3, kPointCount> rays{};
  for (int p = 0; p < kPointCount; ++p) rays[p] = DmxToRay(head.pan[p], head.tilt[p], head.ranges);
  return rays;
}

Vec3 Unit(const Vec3& v) {
  const double n = Norm(v);
  return n > 0.0 ? Vec3{v.x / n, v.y / n, v.z / n} : Vec3{};
}

// The KM ray the slave's corners predict from the master's, minus the one
// taken, both of unit length; none when the corners fix no map. Ranges
// wrong enough bend some corner rays backwards, and no map carries all of
// them forwards: the lines they lie on still predict KM's line.
std::optional<Vec3> KmResidual(const HeadPoints& master, const HeadPoints& slave) {
  const auto from = RaysOf(master);
  const auto to = RaysOf(slave);
  const auto fromCorners = std::span(from).first<4>();
  const auto toCorners = std::span(to).first<4>();
  const Vec3 taken = Unit(to[kPointKM - 1]);
  Vec3 predicted;
  if (const RayMap corners = FitRayMap(fromCorners, toCorners); corners.usable) {
    predicted = Unit(corners.g * from[kPointKM - 1]);
  } else if (const RayMap lines = FitLineMap(fromCorners, toCorners); lines.usable) {
    predicted = Unit(lines.g * from[kPointKM - 1]);
    if (Dot(predicted, taken) < 0.0) predicted = {-predicted.x, -predicted.y, -predicted.z};
  } else {
    return std::nullopt;
  }
  return Vec3{predicted.x - taken.x, predicted.y - taken.y, predicted.z - taken.z};
}

// How KM moves when one value moves by half a step either way; none when
// a half step leaves no map at all.
std::optional<Vec3> HalfStepEffect(HeadPoints& master, HeadPoints& slave, double& value) {
  const double kept = value;
  value = kept + 0.5;
  const auto up = KmResidual(master, slave);
  value = kept - 0.5;
  const auto down = KmResidual(master, slave);
  value = kept;
  if (!up || !down) return std::nullopt;
  return Vec3{(up->x - down->x) / 2.0, (up->y - down->y) / 2.0, (up->z - down->z) / 2.0};
}

Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// How far rounding can explain a miss of KM, in the miss's own direction.
// Each rounding moves its value by up to half a step either way, evenly
// spread and independent of the others, and the operator's aim adds a
// little; together they spread KM across its ray with a covariance. A miss
// is explained while it stays within kDeviations of that spread
// (Mahalanobis distance). A normal spread leaves that about once in three
// thousand calibrations, this one less, as no value strays beyond half a
// step; wider would let a 630/265 head entered as 540/270 pass, which
// misses by metres. This is sharper than one radius for every direction: a
// head whose rounding smears KM along one direction still shows a range
// mistake that moves KM across it.
constexpr double kDeviations = 4.0;

// One value's half-step effect on KM, and how many half steps an
// operator's aim (one standard deviation) moves that value.
struct ValueEffect {
  Vec3 halfStep;
  double aimHalfSteps = 0.0;
};

double ExplainedChord(const std::array<ValueEffect, 4 * kPointCount>& effects, const Vec3& along,
                      const Vec3& miss) {
  const Vec3 helper = std::abs(along.x) < 0.9 ? Vec3{1.0, 0.0, 0.0} : Vec3{0.0, 1.0, 0.0};
  const Vec3 u = Unit(Cross(along, helper));
  const Vec3 v = Cross(along, u);
  const double aim = kAimingDegrees * kDegree;
  double a = aim * aim;  // covariance in (u, v)
  double b = 0.0;
  double c = aim * aim;
  for (const ValueEffect& effect : effects) {
    // Rounding spreads a value evenly over -e..e (e e^T / 3); an aim finer
    // than a step vanishes in it (the operator takes the step nearest the
    // mark), a coarser one (fine channels) takes its place.
    const double weight = std::max(1.0 / 3.0, effect.aimHalfSteps * effect.aimHalfSteps);
    const double eu = Dot(effect.halfStep, u);
    const double ev = Dot(effect.halfStep, v);
    a += eu * eu * weight;
    b += eu * ev * weight;
    c += ev * ev * weight;
  }
  const double x = Dot(miss, u);
  const double y = Dot(miss, v);
  const double length = std::hypot(x, y);
  if (!(length > 0.0)) return kDeviations * std::sqrt(std::max(a, c));
  const double squared = (c * x * x - 2.0 * b * x * y + a * y * y) / (a * c - b * b);
  return kDeviations * length / std::sqrt(squared);
}

// How far KM may miss its ray, in degrees, before the ranges are to blame.
// Infinite where a half step leaves no map: such corners are too close to
// judge KM by.
double RoundingLimit(HeadPoints master, HeadPoints slave, const Vec3& miss) {
  std::array<ValueEffect, 4 * kPointCount> effects{};
  std::size_t i = 0;
  for (HeadPoints* head : {&master, &slave}) {
    const double panHalfStep = 0.5 * head->ranges.pan / head->ranges.panTop;
    const double tiltHalfStep = 0.5 * head->ranges.tilt / head->ranges.tiltTop;
    for (int p = 0; p < kPointCount; ++p) {
      for (auto [value, halfStep] :
           {std::pair{&head->pan[p], panHalfStep}, std::pair{&head->tilt[p], tiltHalfStep}}) {
        const auto effect = HalfStepEffect(master, slave, *value);
        if (!effect) return std::numeric_limits<double>::infinity();
        const double aim = halfStep > 0.0 ? kAimSpreadDegrees / halfStep : 0.0;
        effects[i++] = {*effect, aim};
      }
    }
  }
  const Vec3 taken = Unit(RaysOf(slave)[kPointKM - 1]);
  const double chord = ExplainedChord(effects, taken, miss);
  return 2.0 * std::asin(std::min(chord / 2.0, 1.0)) / kDegree;
}

RangeFinding Finding(const RigStore& store, std::int16_t device, RangeFinding::Kind kind,
                     double degrees = 0.0, double limit = 0.0) {
  const HeadRanges ranges = RangesOf(store.DeviceTable[device - 1]);
  return {device,
          kind,
          degrees,
          static_cast<std::int32_t>(ranges.pan),
          static_cast<std::int32_t>(ranges.tilt),
          limit};
}

// A slave against the master: KM off by more than rounding explains names
// the ranges, whether or not the five points still give a map (a large
// range mistake bends the rays so far that they do not); only then does a
// missing map name the points.
std::optional<RangeFinding> JudgeSlave(const RigStore& store, std::int16_t m,
                                       const HeadPoints& master, std::int16_t d) {
  const HeadPoints slave = PointsOf(store, d);
  if (const auto residual = KmResidual(master, slave)) {
    const double degrees = 2.0 * std::asin(std::min(Norm(*residual) / 2.0, 1.0)) / kDegree;
    const double limit = RoundingLimit(master, slave, *residual);
    if (degrees > limit) return Finding(store, d, RangeFinding::Kind::OffBy, degrees, limit);
  }
  if (!FitRayMap(CalibrationRays(store, m), CalibrationRays(store, d)).usable)
    return Finding(store, d, RangeFinding::Kind::NoMap);
  return std::nullopt;
}

}  // namespace

std::vector<RangeFinding> CheckFollowRanges(RigStore& store) {
  std::vector<RangeFinding> findings;
  const std::int16_t m = store.MasterDevice;
  const bool masterCalibrated = RigStore::ValidDevice(m) && store.IsDeviceCalibrated(m).value;
  // Without a calibrated master no map can be judged; every head can still
  // be told whose own points span nothing, whoever leads later.
  if (!masterCalibrated) {
    for (std::int16_t d = 1; d <= kDeviceCount; ++d) {
      if (store.IsDeviceCalibrated(d).value && !FitMarkSquare(CalibrationRays(store, d)).usable)
        findings.push_back(Finding(store, d, RangeFinding::Kind::NoMap));
    }
    return findings;
  }
  if (!FitMarkSquare(CalibrationRays(store, m)).usable) {
    for (std::int16_t d = 1; d <= kDeviceCount; ++d) (void)store.IsDeviceCalibrated(d);
    findings.push_back(Finding(store, m, RangeFinding::Kind::NoMap));
    return findings;
  }
  const HeadPoints master = PointsOf(store, m);
  for (std::int16_t d = 1; d <= kDeviceCount; ++d) {
    if (!store.IsDeviceCalibrated(d).value || d == m) continue;
    if (auto finding = JudgeSlave(store, m, master, d)) findings.push_back(*finding);
  }
  return findings;
}

bool FollowsTrigonometrically(const std::vector<RangeFinding>& findings) {
  for (const RangeFinding& finding : findings)
    if (finding.kind == RangeFinding::Kind::NoMap) return false;
  return true;
}

std::string RangeFindingMessage(const RangeFinding& finding) {
  const std::string device = "Device " + std::to_string(finding.device);
  if (finding.kind == RangeFinding::Kind::NoMap)
    return device + " cannot follow trigonometrically: its five points do not span the stage.";
  return device + ": its five points do not fit a " + std::to_string(finding.panRange) + "\u00B0/" +
         std::to_string(finding.tiltRange) + "\u00B0 head (KM is off by " +
         OneDecimal(finding.degrees) + "\u00B0). Check its pan and tilt range.";
}

}  // namespace tb

// The check of the fixtures' ranges when trigonometric follow is switched
// on. Four marks fix the map between two heads; the fifth, KM, then tells
// whether the rays they were turned into fit the ranges entered. Wrong
// ranges bend the rays, and KM lands degrees away from where it was taken.
#include <array>
#include <charconv>
#include <cmath>
#include <span>
#include <string>

#include "follow/follow_methods.h"
#include "follow/rays.h"

namespace tb {

namespace {

RangeFinding Finding(const RigStore& store, std::int16_t device, RangeFinding::Kind kind,
                     double degrees) {
  const HeadRanges ranges = RangesOf(store.DeviceTable[device - 1]);
  return {device, kind, degrees, static_cast<std::int32_t>(ranges.pan),
          static_cast<std::int32_t>(ranges.tilt)};
}

// One decimal, whatever locale the windows have set.
std::string OneDecimal(double value) {
  std::array<char, 64> text{};
  const auto result =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 1);
  return std::string(text.data(), result.ptr);
}

}  // namespace

std::vector<RangeFinding> CheckFollowRanges(RigStore& store) {
  std::vector<RangeFinding> findings;
  const std::int16_t m = store.MasterDevice;
  if (!RigStore::ValidDevice(m)) return findings;
  const auto masterRays = CalibrationRays(store, m);
  const bool masterSpans = FitMarkSquare(masterRays).usable;

  for (std::int16_t d = 1; d <= kDeviceCount; ++d) {
    if (!store.IsDeviceCalibrated(d).value || d == m || !masterSpans) continue;
    const auto rays = CalibrationRays(store, d);
    if (!FitRayMap(masterRays, rays).usable) {
      findings.push_back(Finding(store, d, RangeFinding::Kind::NoMap, 0.0));
      continue;
    }
    // Corners that fix no map leave KM unjudged; the five points still do.
    const RayMap corners = FitRayMap(std::span(masterRays).first<4>(), std::span(rays).first<4>());
    if (!corners.usable) continue;
    const double degrees = AngleBetween(corners.g * masterRays[kPointKM - 1], rays[kPointKM - 1]);
    if (degrees > kRangeCheckDegrees)
      findings.push_back(Finding(store, d, RangeFinding::Kind::OffBy, degrees));
  }
  if (!masterSpans) findings.push_back(Finding(store, m, RangeFinding::Kind::NoMap, 0.0));
  return findings;
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

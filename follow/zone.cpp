// Zone classification of the master's reading. Every sum and difference is
// formed in 64 bits, so hand-edited calibration values anywhere in the
// int32 range classify by their true values instead of overflowing.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "follow/follow.h"
#include "follow/resolution.h"

namespace tb {

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double floor = std::floor(value);
  const double rest = value - floor;  // exact for doubles in [floor, floor + 1)
  if (rest > 0.5) return floor + 1.0;
  if (rest < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::int32_t RoundToInt32(double value) {
  if (std::isnan(value)) return 0;
  const double rounded = RoundHalfEven(value);
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  if (rounded <= kMin) return std::numeric_limits<std::int32_t>::min();
  if (rounded >= kMax) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(rounded);
}

std::int32_t ChannelValue(double real, std::int32_t top) {
  return std::clamp(RoundToInt32(real), 0, top);
}

std::int16_t SideOfMidpoint(std::int32_t reading, std::int32_t firstCorner,
                            std::int32_t secondCorner) {
  if (firstCorner == secondCorner) return 1;
  // The true midpoint of two int32 values always lies in the int32 range,
  // and every int64 sum of two of them is exact as a double.
  const std::int64_t sum = std::int64_t{firstCorner} + secondCorner;
  const double midpoint = RoundHalfEven(static_cast<double>(sum) / 2.0);
  const bool below = static_cast<double>(reading) < midpoint;
  if (firstCorner < secondCorner) return below ? 1 : 2;
  return below ? 2 : 1;
}

namespace {

// KM lies within two coarse steps of the reading, ends included: at 8 bit
// at most 2 values away (strictly within CentreTolerance), at 16 bit at
// most 2 x 256, so that the window keeps its width on the stage.
bool NearCentre(std::int32_t reading, std::int32_t centre, const AxisScale& scale) {
  const std::int64_t r = reading;
  const std::int64_t reach = std::int64_t{CentreTolerance - 1} * scale.step;
  return centre >= r - reach && centre <= r + reach;
}

}  // namespace

Checked<std::int16_t> ClassifyMasterZone(const RigStore& store, std::int32_t masterPan,
                                         std::int32_t masterTilt) {
  const int m = store.MasterDevice;
  if (!RigStore::ValidDevice(m)) return {0, make_error_code(Errc::out_of_range)};
  const OwnCalibration own = CalibrationOf(store, m);
  const auto& pan = own.pan;
  const auto& tilt = own.tilt;

  const bool panNear = NearCentre(masterPan, pan[kPointKM - 1], own.panScale);
  const bool tiltNear = NearCentre(masterTilt, tilt[kPointKM - 1], own.tiltScale);
  if (panNear && tiltNear) return {CentreZone, {}};

  const std::int16_t panSide = SideOfMidpoint(masterPan, pan[0], pan[2]);
  const std::int16_t tiltSide = SideOfMidpoint(masterTilt, tilt[0], tilt[1]);
  std::int16_t zone = 1;
  if (panSide == 2) zone += 2;
  if (tiltSide == 2) zone += 1;
  return {zone, {}};
}

}  // namespace tb

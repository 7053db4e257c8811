// Each head is followed in its own resolution, axis by axis: an axis
// without a fine channel works in its 8-bit values (0..255), as it always
// did; an axis with one works in 16-bit values, coarse x 256 + fine
// (0..65535), and behaves as its 8-bit self would with 256 times the
// resolution. Readings, calibration and results of one axis are all in
// that axis's resolution; only reading and writing the channels splits
// them into coarse and fine.
#pragma once

#include <array>
#include <cstdint>

#include "rig/rig_store.h"

namespace tb {

inline constexpr std::int32_t kFineSteps = 256;
inline constexpr std::int32_t kWideTop = 65535;

// One axis: its highest value and how many of its values one coarse step
// spans (1 at 8 bit, 256 at 16 bit).
struct AxisScale {
  std::int32_t top = 255;
  std::int32_t step = 1;
  bool fine() const { return step != 1; }
  bool operator==(const AxisScale&) const = default;
};
AxisScale ScaleOf(std::int32_t fineChannel);

// A coarse and a fine value as one 16-bit value (the fine byte limited to
// 0..255, the result to the int32 range), and back: the coarse value is the
// floor of value / 256, so that a value from two stored bytes splits into
// the same two bytes.
std::int32_t Join16(std::int32_t coarse, std::int32_t fine);
std::int32_t Coarse16(std::int32_t value);
std::int32_t Fine16(std::int32_t value);

// A device's five points in its own resolution, axis by axis.
struct OwnCalibration {
  std::array<std::int32_t, kPointCount> pan{};
  std::array<std::int32_t, kPointCount> tilt{};
  AxisScale panScale;
  AxisScale tiltScale;
  bool operator==(const OwnCalibration&) const = default;
};
// Device 1..16; anything else gives an empty 8-bit calibration.
OwnCalibration CalibrationOf(const RigStore& store, int device);

}  // namespace tb

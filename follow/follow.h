// The follow engine: where the master points, and moving the slaves there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

#include "rig/rig_store.h"

namespace tb {

inline constexpr std::int16_t CentreZone = 5;

// A head's pan and tilt values, each in its axis's own resolution (the
// channel values at 8 bit; follow/resolution.h).
struct DmxPair {
  std::int32_t pan = 0;
  std::int32_t tilt = 0;
  bool operator==(const DmxPair&) const = default;
};
inline constexpr std::int32_t CentreTolerance = 3;

// Nearest integer, an exact half going to the even neighbour (60.5 -> 60,
// 61.5 -> 62, -0.5 -> 0). Independent of the floating-point rounding mode.
double RoundHalfEven(double value);

// A real as a signed 32-bit integer: rounded half to even, then limited to
// the int32 range; NaN gives 0. Defined for every input.
std::int32_t RoundToInt32(double value);

// The highest value a channel takes.
inline constexpr std::int32_t kChannelTop = 255;

// A real as the value a follow step writes: rounded half to even, limited
// to 0..top (kChannelTop at 8 bit, 65535 at 16 bit).
std::int32_t ChannelValue(double real, std::int32_t top = kChannelTop);

// 1 when the reading lies on the first corner's side of the corners'
// midpoint (rounded half to even), 2 on the second corner's side; a reading
// at the midpoint counts to the larger corner. Equal corners give 1.
std::int16_t SideOfMidpoint(std::int32_t reading, std::int32_t firstCorner,
                            std::int32_t secondCorner);

// The master's zone: 1..4 the corner zones of K1..K4, 5 the centre zone.
// The readings are in the master's own resolution, axis by axis
// (follow/resolution.h). Errc::out_of_range when MasterDevice is not 1..16.
Checked<std::int16_t> ClassifyMasterZone(const RigStore& store, std::int32_t masterPan,
                                         std::int32_t masterTilt);

// One follow step: reads the master, writes every calibrated slave, each
// device in its own resolution (follow/resolution.h). Ends at
// the first failing host call and returns its error (what was written stays
// written; the next tick starts afresh). Reads and writes nothing without a
// host helper (Errc::no_host_helper) or without a master 1..16
// (Errc::out_of_range). Allocates nothing.
std::error_code FollowTick(RigStore& store);

// Where the component's message boxes go. Tests record; the windows show.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Show(const std::string& text) = 0;
};

// Outcome of the plausibility tests. PlausibilityReason 1..4 and the
// device are those of the last failed test; both 0 when every calibrated
// device passed.
struct PlausibilityResult {
  bool passed = true;
  std::int16_t PlausibilityReason = 0;
  std::int16_t device = 0;
};

// The tests alone: refreshes DeviceCalibrated of devices 1..16, saves and
// shows nothing.
PlausibilityResult TestCalibrationPlausibility(RigStore& store);

// The operator's message for a failed check.
std::string PlausibilityMessage(std::int16_t device, std::int16_t reason);

// Tests every calibrated device; saves the settings file when all pass,
// otherwise shows the last failure:
// "Check Values for device D:  Plausibility check failed, reason: R".
// Returns the save's error, if the save failed.
std::error_code CheckCalibrationPlausibility(RigStore& store, const std::string& settingsPath,
                                             MessageSink& messages);

}  // namespace tb

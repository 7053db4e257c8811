// The three follow methods behind one timer handler, and the check of the
// fixtures' ranges that the trigonometric method depends on.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "follow/follow.h"
#include "follow/trigonometric_follow.h"
#include "rig/rig_store.h"

namespace tb {

// The "distance" step: piecewise affine around KM. The master's reading is
// written as KM + a (Ka - KM) + b (Kb - KM) in the triangle (KM, Ka, Kb) of
// its calibration that holds it; every slave goes to the same a, b on its
// own points. Exact at the five points, continuous, keeps nothing between
// ticks. Host calls, skipped devices and errors as FollowTick; every value
// is rounded half to even and limited to 0..255, at 16 bit to 0..65535.
std::error_code DistanceTick(RigStore& store);

// Runs the step of store.FollowMethod and keeps what the trigonometric
// method needs between ticks. No allocation in a tick.
class FollowEngine {
 public:
  // Follow mode was switched on: the first tick sends each slave to the
  // solution nearest its KM pair.
  void Start();

  // Solves the stage for following at a height when it is to be solved
  // (TrigonometricFollow::PrepareStage) and returns what the operator is
  // told about it. Call it when following starts, not from the timer.
  std::vector<StageFinding> PrepareStage(RigStore& store) {
    return trigonometric_.PrepareStage(store);
  }

  // 1 FollowTick, 2 DistanceTick, 3 the trigonometric step; any other
  // method reads and writes nothing. After a linear or distance tick the
  // trigonometric step starts again from each slave's KM pair.
  std::error_code OnTimer(RigStore& store);

  // How many trigonometric maps were fitted so far.
  std::uint64_t Fits() const { return trigonometric_.Fits(); }

  const TrigonometricFollow& Trigonometric() const { return trigonometric_; }

 private:
  TrigonometricFollow trigonometric_;
};

// What the range check found wrong with one device.
struct RangeFinding {
  enum class Kind {
    NoMap,  // its calibration gives no usable map
    OffBy,  // KM predicted from the corners misses the KM taken by `degrees`
  };
  std::int16_t device = 0;
  Kind kind = Kind::NoMap;
  double degrees = 0.0;
  std::int32_t panRange = kDefaultPanRange;  // as the check used them
  std::int32_t tiltRange = kDefaultTiltRange;
  double limit = 0.0;  // OffBy: the most that rounding and aiming explain
};

// The spread (one standard deviation) of an operator's aim at a mark, added
// to what rounding explains: at 16 bit the eye is coarser than a step.
// kAimSpreadDegrees is each of the twenty values' own (about 2 cm on a mark
// 6 m away); kAimingDegrees a floor for KM's ray as a whole.
inline constexpr double kAimSpreadDegrees = 0.2;
inline constexpr double kAimingDegrees = 0.05;

// For every calibrated device but the master, in device order: fits its
// four corners against the master's and compares the KM ray they predict
// with the one taken; off by more than the rounding of the two heads' own
// twenty values and the aim can explain (`limit`): OffBy, whether or not
// the five points still give a map. Otherwise, when its five points give no
// usable map: NoMap. The master is judged through the others; only when
// its own points do not span the stage is it named itself, as the one
// NoMap finding. Without a calibrated master 1..16 every calibrated device
// whose own points do not span the stage is NoMap. Refreshes
// DeviceCalibrated like the plausibility check.
std::vector<RangeFinding> CheckFollowRanges(RigStore& store);

// Whether every calibrated device can follow by the findings: none NoMap.
// A range mistake is told, but the points are kept.
bool FollowsTrigonometrically(const std::vector<RangeFinding>& findings);

// The operator's text for a finding (UTF-8).
std::string RangeFindingMessage(const RangeFinding& finding);

}  // namespace tb

// The three follow methods behind one timer handler.
#pragma once

#include <cstdint>
#include <system_error>

#include "follow/follow.h"
#include "follow/trigonometric_follow.h"
#include "rig/rig_store.h"

namespace tb {

// The "distance" step: piecewise affine around KM. The master's reading is
// written as KM + a (Ka - KM) + b (Kb - KM) in the triangle (KM, Ka, Kb) of
// its calibration that holds it; every slave goes to the same a, b on its
// own points. Exact at the five points, continuous, keeps nothing between
// ticks. Host calls, skipped devices and errors as FollowTick; every value
// written is rounded half to even and limited to 0..255.
std::error_code DistanceTick(RigStore& store);

// Runs the step of store.FollowMethod and keeps what the trigonometric
// method needs between ticks. No allocation in a tick.
class FollowEngine {
 public:
  // Follow mode was switched on: the first tick sends each slave to the
  // solution nearest its KM pair.
  void Start();

  // 1 FollowTick, 2 DistanceTick, 3 the trigonometric step; any other
  // method reads and writes nothing. After a linear or distance tick the
  // trigonometric step starts again from each slave's KM pair.
  std::error_code OnTimer(RigStore& store);

  // How many trigonometric maps were fitted so far.
  std::uint64_t Fits() const { return trigonometric_.Fits(); }

 private:
  TrigonometricFollow trigonometric_;
};

}  // namespace tb

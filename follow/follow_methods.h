// The follow methods besides the linear one.
#pragma once

#include <system_error>

#include "follow/follow.h"
#include "rig/rig_store.h"

namespace tb {

// The "distance" step: piecewise affine around KM. The master's reading is
// written as KM + a (Ka - KM) + b (Kb - KM) in the triangle (KM, Ka, Kb) of
// its calibration that holds it; every slave goes to the same a, b on its
// own points. Exact at the five points, continuous, keeps nothing between
// ticks. Host calls, skipped devices and errors as FollowTick; every value
// written is rounded half to even and limited to 0..255.
std::error_code DistanceTick(RigStore& store);

}  // namespace tb

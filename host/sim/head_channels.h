// A head's pair on the universe: each axis on its channel, and on an axis
// with a fine channel the 16-bit value split into coarse and fine bytes.
// Plain C++.
#pragma once

#include "host/sim/head_geometry.h"
#include "host/sim/universe.h"

namespace tbhost {

// The head's pair as its channels hold it now.
PanTilt AimOf(const Universe& universe, const MovingHead& head);

// Writes one axis: the coarse channel, then the fine one if the axis has
// it. Values outside the axis's 0..top are refused and change nothing.
bool SetAxis(Universe& universe, const MovingHead& head, bool pan, int value);
// Pan, then tilt.
bool SetAim(Universe& universe, const MovingHead& head, PanTilt aim);

// Whether the channel carries one of the head's axes, coarse or fine.
bool IsHeadChannel(const MovingHead& head, int channel);

}  // namespace tbhost

// Where an operator's beam lands when calibrating on the marks: by eye and
// by fader, a few centimetres off each mark. Plain C++.
#pragma once

#include <array>
#include <vector>

#include "host/sim/stage_rig.h"

namespace tbhost {

// The marks, each moved by a normal spread of `spreadCm` (one standard
// deviation) on each axis; 0 or anything not a spread: the marks exactly.
// The seed is fixed, so every run of a rig calibrates alike. Indexed by
// head, then Mark.
std::vector<std::array<FloorPoint, 5>> OperatorAims(const StageRig& rig, double spreadCm);

}  // namespace tbhost

// Where the core's stage fit puts each simulated head, from the same
// calibration and lengths the plug-in has, beside where the head hangs. The
// fit's head positions are estimates: five coplanar marks leave a head free
// to slide far along its line of sight while every calibration ray stays
// right, so they are shown and reported as such, never as measurements.
// Plain C++, no Qt.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "host/sim/stage_rig.h"

namespace tbhost {

struct HeadEstimate {
  std::size_t head = 0;     // rig index
  FloorPoint place;         // stage coordinates, as the rig's
  double height = 0;        // metres above the floor
  double offBy = 0;         // metres between the estimate and where the head hangs
  double largestSteps = 0;  // the largest point residual, in the head's own values
};

struct StageEstimate {
  bool solved = false;
  std::string why;                  // when not solved: the plug-in's text for it
  std::vector<HeadEstimate> heads;  // the master first
};

// `calibration` by rig head, K1..K4, KM as taken (in each head's own
// resolution); head n is the plug-in's device n + 1, up to the sixteenth.
// Lengths in metres; k1k2 0: not given.
StageEstimate EstimateStage(const StageRig& rig, std::size_t master,
                            const std::vector<std::array<PanTilt, 5>>& calibration, double k1k3,
                            double k1k2 = 0);

// The same from the plug-in's saved TrailBeam.ini: its devices matched to
// the rig's heads by their pan and tilt channels, its lengths. `master` is
// the rig head that leads, or -1 (the first calibrated device then leads).
// Unsolved, with the reason, when the file has no K1-K3 length or too few
// calibrated devices of this rig.
StageEstimate EstimateSavedStage(const StageRig& rig, int master, std::string_view settingsFile);

// K1-K3 and K1-K2 of the rig's marks, in whole centimetres as a tape gives
// them and the setup window takes them.
double TapeLength(const StageRig& rig, Mark from, Mark to);

}  // namespace tbhost

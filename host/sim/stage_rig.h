// The simulated rigs of the reference host: a stage floor, five marks on it
// and moving heads around it. Plain geometry, no Qt.
//
// Stage coordinates are metres on the floor as the stage view draws it with
// the audience at the bottom: x runs from the left edge (0) to the right,
// y from the front edge (0) to the back. Left and right are the audience's
// (house left is the left of the picture). Heights are metres above the
// floor.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/sim/head_geometry.h"

namespace tbhost {

enum class Mark { K1, K2, K3, K4, KM };
inline constexpr std::array<Mark, 5> kAllMarks = {Mark::K1, Mark::K2, Mark::K3, Mark::K4, Mark::KM};
const char* MarkName(Mark mark);

struct StageRig {
  std::string name;
  double width = 0;                   // metres along x
  double depth = 0;                   // metres along y
  std::array<FloorPoint, 5> marks{};  // indexed by Mark
  std::vector<MovingHead> heads;
  int master = 0;  // the head the demo's operator leads with

  FloorPoint MarkAt(Mark mark) const { return marks[static_cast<int>(mark)]; }
};

// The embedded default: an 8 x 6 m stage, marks 1 m in from the corners and
// KM in the middle, two heads on a truss and two on a bridge in front of the
// stage, each at its own place and height, patched pan/tilt on channels 1/2,
// 3/4, 5/6 and 7/8. The second head leads.
StageRig DefaultRig();

// Every rig the host can simulate, by name; the first is DefaultRig(). The
// next three share its stage, marks and channels and differ in where and how
// the heads hang, the first head leading. The arena is a large stage with
// twelve heads all round it, the second one leading.
inline constexpr std::array<std::string_view, 5> kRigNames = {"default", "sides", "mixed",
                                                              "overhead", "arena"};
// Empty for a name not in kRigNames.
std::optional<StageRig> RigByName(std::string_view name);

// The same rig with a fine channel on both axes of every head, patched pan,
// pan fine, tilt, tilt fine: head n (from 0) on channels 4n + 1 to 4n + 4.
StageRig WithFineChannels(StageRig rig);

}  // namespace tbhost

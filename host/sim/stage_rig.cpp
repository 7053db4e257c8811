#include "host/sim/stage_rig.h"

#include <utility>

namespace tbhost {
namespace {

// The stage every rig shares: 8 x 6 m, marks 1 m in from the corners.
StageRig Stage(std::string name) {
  StageRig rig;
  rig.name = std::move(name);
  rig.width = 8.0;
  rig.depth = 6.0;
  rig.marks[static_cast<int>(Mark::K1)] = {1.0, 1.0};  // front left
  rig.marks[static_cast<int>(Mark::K2)] = {1.0, 5.0};  // back left
  rig.marks[static_cast<int>(Mark::K3)] = {7.0, 1.0};  // front right
  rig.marks[static_cast<int>(Mark::K4)] = {7.0, 5.0};  // back right
  rig.marks[static_cast<int>(Mark::KM)] = {4.0, 3.0};  // centre
  return rig;
}

// A head hung with the usual ranges, patched pan on `panChannel` and tilt on
// the channel after it.
MovingHead Head(const char* name, double x, double y, double height, double facingDeg,
                int panChannel) {
  return {name, x, y, height, facingDeg, panChannel, panChannel + 1};
}

MovingHead OnNegativeTilt(MovingHead head) {
  head.negativeTiltSide = true;
  return head;
}

MovingHead StandingUpright(MovingHead head) {
  head.mounting = Mounting::Upright;
  return head;
}

MovingHead WithRanges(MovingHead head, int panDeg, int tiltDeg) {
  head.panRangeDeg = panDeg;
  head.tiltRangeDeg = tiltDeg;
  return head;
}

// Heads on side booms left and right and on a back truss; the right boom's
// head was calibrated reaching over with negative tilt.
StageRig SidesRig() {
  StageRig rig = Stage("sides");
  rig.heads = {
      Head("FOH", 4.3, -6.0, 7.5, 90.0, 1),
      Head("Boom L", -2.5, 3.0, 5.0, 0.0, 3),
      OnNegativeTilt(Head("Boom R", 10.5, 2.5, 6.5, 180.0, 5)),
      Head("Back", 4.0, 9.5, 7.0, -90.0, 7),
  };
  return rig;
}

// A head standing on a tower far to the left behind the stage, a wide-angle
// head front right turned half-way towards the stage, and one at the back.
StageRig MixedRig() {
  StageRig rig = Stage("mixed");
  rig.heads = {
      Head("FOH", 3.8, -6.0, 8.0, 90.0, 1),
      StandingUpright(Head("Tower", -6.0, 8.0, 4.0, -20.0, 3)),
      WithRanges(Head("Wide", 9.5, -3.0, 6.0, 135.0, 5), 630, 265),
      Head("Back", 3.0, 10.0, 8.0, -90.0, 7),
  };
  return rig;
}

// Three heads hung over the stage itself, one of them facing the front.
StageRig OverheadRig() {
  StageRig rig = Stage("overhead");
  rig.heads = {
      Head("FOH", 4.0, -6.0, 8.0, 90.0, 1),
      Head("Over L", 2.5, 3.5, 7.0, 90.0, 3),
      Head("Over R", 5.5, 2.5, 6.5, -90.0, 5),
      Head("Over C", 4.0, 3.0, 6.0, 90.0, 7),
  };
  return rig;
}

// A 16 x 10 m arena stage with marks 2 m in from its corners and twelve
// heads round it: three on the front truss above and in front of the
// downstage edge (the centre one leads), two on each low side boom, three on
// the back truss, and two standing upright, pointing up, on the floor of the
// upstage riser. A head standing on the stage itself could light the far
// marks only with beams flatter than kMaxFloorTiltDeg; the riser's 3 m give
// them the height. Head n is patched pan/tilt on channels 2n + 1/2n + 2.
StageRig ArenaRig() {
  StageRig rig;
  rig.name = "arena";
  rig.width = 16.0;
  rig.depth = 10.0;
  rig.marks[static_cast<int>(Mark::K1)] = {2.0, 2.0};
  rig.marks[static_cast<int>(Mark::K2)] = {2.0, 8.0};
  rig.marks[static_cast<int>(Mark::K3)] = {14.0, 2.0};
  rig.marks[static_cast<int>(Mark::K4)] = {14.0, 8.0};
  rig.marks[static_cast<int>(Mark::KM)] = {8.0, 5.0};
  rig.heads = {
      Head("Front L", 3.0, -3.5, 9.0, 90.0, 1),
      Head("Front C", 8.0, -3.5, 9.0, 90.0, 3),
      Head("Front R", 13.0, -3.5, 9.0, 90.0, 5),
      Head("Boom L1", -1.5, 3.0, 5.0, 0.0, 7),
      Head("Boom L2", -1.5, 7.0, 5.0, 0.0, 9),
      Head("Boom R1", 17.5, 3.0, 5.0, 180.0, 11),
      Head("Boom R2", 17.5, 7.0, 5.0, 180.0, 13),
      Head("Back L", 3.0, 13.5, 8.0, -90.0, 15),
      Head("Back C", 8.0, 13.5, 8.0, -90.0, 17),
      Head("Back R", 13.0, 13.5, 8.0, -90.0, 19),
      StandingUpright(Head("Floor L", 1.0, 11.5, 3.5, -50.0, 21)),
      StandingUpright(Head("Floor R", 15.0, 11.5, 3.5, -130.0, 23)),
  };
  rig.master = 1;
  return rig;
}

}  // namespace

const char* MarkName(Mark mark) {
  switch (mark) {
    case Mark::K1:
      return "K1";
    case Mark::K2:
      return "K2";
    case Mark::K3:
      return "K3";
    case Mark::K4:
      return "K4";
    case Mark::KM:
      return "KM";
  }
  return "?";
}

StageRig DefaultRig() {
  StageRig rig = Stage("default");
  // All heads hang in front of the stage and face its back, at a long enough
  // throw that pan sweeps left/right and tilt near/far almost like a grid:
  // the linear follow mapping interpolates each axis on its own, and heads
  // seeing the stage from opposite sides would disagree far more than 8-bit
  // steps.
  rig.heads = {
      {"Truss L", 3.7, -4.0, 8.0, 90.0, 1, 2},
      {"Truss R", 4.4, -4.5, 7.0, 90.0, 3, 4},
      {"FOH L", 3.9, -7.0, 6.0, 90.0, 5, 6},
      {"FOH R", 4.2, -8.0, 8.5, 90.0, 7, 8},
  };
  rig.master = 1;
  return rig;
}

StageRig WithFineChannels(StageRig rig) {
  for (std::size_t n = 0; n < rig.heads.size(); ++n) {
    MovingHead& head = rig.heads[n];
    const int first = 4 * static_cast<int>(n) + 1;
    head.panChannel = first;
    head.panFineChannel = first + 1;
    head.tiltChannel = first + 2;
    head.tiltFineChannel = first + 3;
  }
  return rig;
}

std::optional<StageRig> RigByName(std::string_view name) {
  if (name == "default") return DefaultRig();
  if (name == "sides") return SidesRig();
  if (name == "mixed") return MixedRig();
  if (name == "overhead") return OverheadRig();
  if (name == "arena") return ArenaRig();
  return std::nullopt;
}

}  // namespace tbhost

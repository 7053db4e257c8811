// The simulated rig of the reference host: a stage floor, five marks on it
// and moving heads hung above it. Plain geometry, no Qt.
//
// Stage coordinates are metres on the floor as the operator at the desk sees
// the stage: x runs from the left edge (0) to the right, y from the
// downstage edge (0) upstage. Heights are metres above the floor.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tbhost {

struct FloorPoint {
  double x = 0;
  double y = 0;
};

double Distance(FloorPoint a, FloorPoint b);

// An 8-bit pan/tilt pair as the head's two DMX channels carry it.
struct PanTilt {
  int pan = 0;
  int tilt = 0;
  friend bool operator==(const PanTilt&, const PanTilt&) = default;
};

inline constexpr int kDmxMax = 255;
inline constexpr double kPanRangeDeg = 540.0;
inline constexpr double kTiltRangeDeg = 270.0;
// Beams that come closer to horizontal than this never meet the floor in a
// way that means anything on a stage; they count as "no spot".
inline constexpr double kMaxFloorTiltDeg = 85.0;

// A moving head hung above the stage. DMX 0..255 spans the full pan and tilt
// ranges; the middle of each range points the beam straight down with the
// yoke facing `facingDeg` (degrees, counter-clockwise from the +x axis).
// Positive tilt swings the beam towards the facing direction.
struct MovingHead {
  std::string name;
  double x = 0;
  double y = 0;
  double height = 0;
  double facingDeg = 90;
  int panChannel = 0;
  int tiltChannel = 0;
};

// Angles of the head's beam for a DMX pair (degrees from the range's middle).
double PanDegrees(int dmxPan);
double TiltDegrees(int dmxTilt);

// Where the beam meets the floor; empty when a value lies outside 0..255 or
// the beam points too near the horizontal or upwards.
std::optional<FloorPoint> BeamSpot(const MovingHead& head, PanTilt dmx);

// The 8-bit pair whose spot lies nearest to `target`. Of the several
// pan/tilt solutions of a 540 degree head, the one with the beam tilted
// towards the facing side and the smallest pan swing is taken, so that every
// aim of a head at the stage stays on one branch and neighbouring points get
// neighbouring values. Empty when the target needs a beam flatter than
// kMaxFloorTiltDeg.
std::optional<PanTilt> AimAt(const MovingHead& head, FloorPoint target);

// How far the spot moves on the floor for one 8-bit step of pan and of tilt
// around `dmx` (the larger of the two neighbours on each axis). Empty when the
// spot or a neighbour is not on the floor.
struct StepLengths {
  double pan = 0;
  double tilt = 0;
};
std::optional<StepLengths> StepFootprint(const MovingHead& head, PanTilt dmx);

enum class Mark { K1, K2, K3, K4, KM };
inline constexpr std::array<Mark, 5> kAllMarks = {Mark::K1, Mark::K2, Mark::K3, Mark::K4, Mark::KM};
const char* MarkName(Mark mark);

struct StageRig {
  double width = 0;                   // metres along x
  double depth = 0;                   // metres along y
  std::array<FloorPoint, 5> marks{};  // indexed by Mark
  std::vector<MovingHead> heads;

  FloorPoint MarkAt(Mark mark) const { return marks[static_cast<int>(mark)]; }
};

// The embedded default: an 8 x 6 m stage, marks 1 m in from the corners and
// KM in the middle, two heads on a truss and two on a bridge in front of the
// stage, each at its own place and height, patched pan/tilt on channels 1/2,
// 3/4, 5/6 and 7/8.
StageRig DefaultRig();

}  // namespace tbhost

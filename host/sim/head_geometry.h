// Where a moving head's beam meets the stage floor, and the DMX pair that
// sends it to a given point. Plain geometry, no Qt.
//
// Floor coordinates are metres: x across the stage from the left edge (0) as
// the audience sees it, y from the front edge (0) to the back. Heights are
// metres above the floor.
#pragma once

#include <optional>
#include <string>

namespace tbhost {

struct FloorPoint {
  double x = 0;
  double y = 0;
};

double Distance(FloorPoint a, FloorPoint b);

// A pan/tilt pair in the head's own resolution: the 8-bit values of its two
// DMX channels, or on an axis with a fine channel the 16-bit value coarse x
// 256 + fine.
struct PanTilt {
  int pan = 0;
  int tilt = 0;
  friend bool operator==(const PanTilt&, const PanTilt&) = default;
};

inline constexpr int kDmxMax = 255;
inline constexpr int kDmxMax16 = 65535;
// The usual ranges of a head, in degrees.
inline constexpr double kPanRangeDeg = 540.0;
inline constexpr double kTiltRangeDeg = 270.0;
// The widest range a head may claim: as much as the plug-in accepts.
inline constexpr int kMaxRangeDeg = 1080;
// Beams that come closer to horizontal than this never meet the floor in a
// way that means anything on a stage; they count as "no spot".
inline constexpr double kMaxFloorTiltDeg = 85.0;

enum class Mounting {
  Hung,     // axis straight down, from a truss or a boom arm
  Upright,  // standing on its base, axis straight up
};

// A moving head. DMX 0..255 (0..65535 on an axis with a fine channel)
// spans the whole pan and tilt ranges and the middle of each range lies on
// the head's axis. At the middle of the pan
// range positive tilt swings the beam towards `facingDeg` (degrees,
// counter-clockwise from the +x axis); more pan turns it counter-clockwise
// seen from above, whichever way the head is mounted.
struct MovingHead {
  std::string name;
  double x = 0;
  double y = 0;
  double height = 0;
  double facingDeg = 90;
  int panChannel = 0;
  int tiltChannel = 0;
  Mounting mounting = Mounting::Hung;
  int panFineChannel = 0;  // 0: none
  int tiltFineChannel = 0;
  int panRangeDeg = static_cast<int>(kPanRangeDeg);    // 1..kMaxRangeDeg
  int tiltRangeDeg = static_cast<int>(kTiltRangeDeg);  // 1..kMaxRangeDeg
  // The operator calibrated it with the beam on the negative tilt side, so
  // its aims stay there.
  bool negativeTiltSide = false;
};

// The highest value of each axis: kDmxMax, or kDmxMax16 with a fine channel.
int PanTop(const MovingHead& head);
int TiltTop(const MovingHead& head);

// Angles of the beam for a DMX value (degrees from the range's middle).
double PanDegrees(int dmxPan, double rangeDeg = kPanRangeDeg, int top = kDmxMax);
double TiltDegrees(int dmxTilt, double rangeDeg = kTiltRangeDeg, int top = kDmxMax);

// Where the beam meets the floor; empty when a value lies outside 0..top,
// the head is not above the floor or claims a range outside
// 1..kMaxRangeDeg, or the beam is flatter than kMaxFloorTiltDeg or points up.
std::optional<FloorPoint> BeamSpot(const MovingHead& head, PanTilt dmx);

// The pair (in the head's own resolution) whose spot lies nearest to
// `target`. Of all pan/tilt
// solutions inside the ranges, the one on the tilt side the head is
// calibrated on is taken, with the pan nearest the one that turns the beam
// on that side towards the facing direction (the middle of the range for
// positive tilt, half a turn above it for negative tilt). So every aim of a
// head stays on one branch whose seam lies away from where it faces, and
// neighbouring points get neighbouring values. When only the other
// tilt side reaches the target, that side is taken. Empty when no solution
// lies inside the ranges or the beam would be flatter than kMaxFloorTiltDeg.
std::optional<PanTilt> AimAt(const MovingHead& head, FloorPoint target);

// Where the beam crosses the plane `height` metres above the floor (0: the
// floor, as BeamSpot); empty where BeamSpot is, or when the plane is not
// below the head.
std::optional<FloorPoint> BeamAtHeight(const MovingHead& head, PanTilt dmx, double height);

// The pair whose beam crosses that plane nearest to `target` (0: AimAt).
// Seen from the head the plane is the floor scaled about the point below
// it, so the floor point on the same line is aimed at.
std::optional<PanTilt> AimAtHeight(const MovingHead& head, FloorPoint target, double height);

// How far the spot moves on the floor for one step of pan and of tilt
// around `dmx` (the larger of the two neighbours on each axis). Empty when the
// spot or a neighbour is not on the floor.
struct StepLengths {
  double pan = 0;
  double tilt = 0;
};
std::optional<StepLengths> StepFootprint(const MovingHead& head, PanTilt dmx);

}  // namespace tbhost

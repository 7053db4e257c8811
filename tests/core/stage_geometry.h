// A small model of a stage with moving heads, for testing the follow
// methods against geometry: heads at known places and mountings, aimed at
// floor points and calibrated on the five marks with 8-bit values.
// Stage metres: x across (0..8), y upstage from the downstage edge (0..6),
// z up from the floor (z = 0).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace tb::testing {

struct Point3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

struct FloorPoint {
  double x = 0.0;
  double y = 0.0;
};

// K1, K2, K3, K4, KM.
inline constexpr std::array<FloorPoint, 5> kMarks = {
    FloorPoint{1, 1}, FloorPoint{1, 5}, FloorPoint{7, 1}, FloorPoint{7, 5}, FloorPoint{4, 3}};

// Real DMX values, before rounding.
struct Aim {
  double pan = 0.0;
  double tilt = 0.0;
};

// A moving head. Its own frame: the axis is z, pan 0 leans the beam
// towards its x, positive pan turns from x towards y. DMX 0..255 spans the
// ranges with the axis at the middle.
struct Head {
  Point3 position;
  std::array<Point3, 3> frame;  // the head's own x, y, z in stage coordinates
  double panRange = 540.0;
  double tiltRange = 270.0;
};

// facing: the stage direction of pan's middle, degrees from +x towards +y.
Head HungDown(Point3 position, double facing, double panRange = 540.0, double tiltRange = 270.0);
Head StandingUp(Point3 position, double facing, double panRange = 540.0, double tiltRange = 270.0);
// The same head with its mounting leaned by `degrees` about the stage x axis.
Head Leaned(Head head, double degrees);

// The same head over a stage raked by `degrees` (rising upstage), hung
// level: the stage stays flat in these coordinates, so the head and its
// place turn about the downstage edge instead.
Head OverRakedStage(Head head, double degrees);

// The unit direction from the head to a floor point, in the head's frame.
Point3 OwnRay(const Head& head, FloorPoint target);
Point3 OwnRayTo(const Head& head, Point3 target);

// Every (pan, tilt) within 0..255 that aims the head at a floor point (or
// any point).
std::vector<Aim> AimsAt(const Head& head, FloorPoint target);
std::vector<Aim> AimsAtPoint(const Head& head, Point3 target);
// Of those, the one nearest `preferred`, as an operator picks one side.
std::optional<Aim> AimNear(const Head& head, FloorPoint target, Aim preferred);
std::optional<Aim> AimNearPoint(const Head& head, Point3 target, Aim preferred);
// Where the beam of a pair meets the floor; none when it points level or up.
std::optional<FloorPoint> Spot(const Head& head, double pan, double tilt);
// Where it meets the plane z = height ahead of the head.
std::optional<Point3> SpotAt(const Head& head, double pan, double tilt, double height);

using Pairs = std::array<std::pair<std::int32_t, std::int32_t>, 5>;  // K1..K4, KM
// The five marks as an operator takes them: KM on the side nearest
// `preferred`, the corners nearest KM, each rounded to 8 bits.
Pairs Calibrate(const Head& head, Aim preferred);

// The aims Calibrate rounds, exact.
std::array<Aim, 5> CalibrationAims(const Head& head, Aim preferred);

// Preferences for the calibration's tilt side.
inline constexpr Aim kPositiveSide{127.5, 200.0};
inline constexpr Aim kNegativeSide{127.5, 55.0};

// The master of the tests: hung in front of the stage, facing upstage.
Head FrontMaster();

struct Mounting {
  const char* name;
  Head head;
  Aim side;  // where its calibration was taken
};

// Slaves around the stage: hung in front, turned 90 and 180 degrees, one
// calibrated on its negative tilt side, standing upright, a 630/265 head,
// one leaned. None hangs over the marks, where pan says little.
std::vector<Mounting> Mountings();

// The reference host's rigs on the same stage, its demo's master first: default
// (all in front), sides (booms and a back truss), mixed (a standing head,
// a 630/265 head, one at the back), overhead (heads over the stage).
struct Rig {
  const char* name;
  std::vector<Mounting> heads;
};
std::vector<Rig> ReferenceRigs();

}  // namespace tb::testing

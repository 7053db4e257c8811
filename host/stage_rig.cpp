#include "host/stage_rig.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace tbhost {
namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

bool InDmxRange(int v) { return v >= 0 && v <= kDmxMax; }

double ToDmxPan(double panDeg) { return (panDeg + kPanRangeDeg / 2) / kPanRangeDeg * kDmxMax; }
double ToDmxTilt(double tiltDeg) { return (tiltDeg + kTiltRangeDeg / 2) / kTiltRangeDeg * kDmxMax; }

// Wraps an angle into [-180, 180).
double WrapDeg(double deg) {
  double w = std::fmod(deg + 180.0, 360.0);
  if (w < 0) w += 360.0;
  return w - 180.0;
}

}  // namespace

double Distance(FloorPoint a, FloorPoint b) { return std::hypot(a.x - b.x, a.y - b.y); }

double PanDegrees(int dmxPan) {
  return static_cast<double>(dmxPan) / kDmxMax * kPanRangeDeg - kPanRangeDeg / 2;
}

double TiltDegrees(int dmxTilt) {
  return static_cast<double>(dmxTilt) / kDmxMax * kTiltRangeDeg - kTiltRangeDeg / 2;
}

std::optional<FloorPoint> BeamSpot(const MovingHead& head, PanTilt dmx) {
  if (!InDmxRange(dmx.pan) || !InDmxRange(dmx.tilt)) return std::nullopt;
  if (!(head.height > 0)) return std::nullopt;
  const double tilt = TiltDegrees(dmx.tilt);
  if (std::abs(tilt) > kMaxFloorTiltDeg) return std::nullopt;
  const double reach = head.height * std::tan(tilt * kDegToRad);
  const double azimuth = (head.facingDeg + PanDegrees(dmx.pan)) * kDegToRad;
  return FloorPoint{head.x + reach * std::cos(azimuth), head.y + reach * std::sin(azimuth)};
}

std::optional<PanTilt> AimAt(const MovingHead& head, FloorPoint target) {
  if (!(head.height > 0) || !std::isfinite(target.x) || !std::isfinite(target.y))
    return std::nullopt;
  const double dx = target.x - head.x;
  const double dy = target.y - head.y;
  const double reach = std::hypot(dx, dy);
  const double tiltDeg = std::atan2(reach, head.height) / kDegToRad;
  if (tiltDeg > kMaxFloorTiltDeg) return std::nullopt;
  // Straight below the head any pan will do; keep the yoke at its middle.
  const double panDeg = reach > 0 ? WrapDeg(std::atan2(dy, dx) / kDegToRad - head.facingDeg) : 0.0;

  const double exactPan = ToDmxPan(panDeg);
  const double exactTilt = ToDmxTilt(tiltDeg);
  std::optional<PanTilt> best;
  double bestDistance = std::numeric_limits<double>::infinity();
  for (double p : {std::floor(exactPan), std::ceil(exactPan)}) {
    for (double t : {std::floor(exactTilt), std::ceil(exactTilt)}) {
      const PanTilt candidate{static_cast<int>(p), static_cast<int>(t)};
      const auto spot = BeamSpot(head, candidate);
      if (!spot) continue;
      const double d = Distance(*spot, target);
      if (d < bestDistance) {
        bestDistance = d;
        best = candidate;
      }
    }
  }
  return best;
}

std::optional<StepLengths> StepFootprint(const MovingHead& head, PanTilt dmx) {
  const auto here = BeamSpot(head, dmx);
  if (!here) return std::nullopt;
  StepLengths lengths;
  for (int delta : {-1, 1}) {
    const auto panSide = BeamSpot(head, {dmx.pan + delta, dmx.tilt});
    const auto tiltSide = BeamSpot(head, {dmx.pan, dmx.tilt + delta});
    // At the end of a range only the inner neighbour exists.
    if (panSide) lengths.pan = std::max(lengths.pan, Distance(*here, *panSide));
    if (tiltSide) lengths.tilt = std::max(lengths.tilt, Distance(*here, *tiltSide));
  }
  return lengths;
}

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
  StageRig rig;
  rig.width = 8.0;
  rig.depth = 6.0;
  rig.marks[static_cast<int>(Mark::K1)] = {1.0, 1.0};  // downstage left
  rig.marks[static_cast<int>(Mark::K2)] = {1.0, 5.0};  // upstage left
  rig.marks[static_cast<int>(Mark::K3)] = {7.0, 1.0};  // downstage right
  rig.marks[static_cast<int>(Mark::K4)] = {7.0, 5.0};  // upstage right
  rig.marks[static_cast<int>(Mark::KM)] = {4.0, 3.0};  // centre
  // All heads hang in front of the stage and face upstage, at a long enough
  // throw that pan sweeps left/right and tilt near/far almost like a grid:
  // the follow mapping interpolates each axis on its own, and heads seeing
  // the stage from opposite sides would disagree far more than 8-bit steps.
  rig.heads = {
      {"Truss L", 3.7, -4.0, 8.0, 90.0, 1, 2},
      {"Truss R", 4.4, -4.5, 7.0, 90.0, 3, 4},
      {"FOH L", 3.9, -7.0, 6.0, 90.0, 5, 6},
      {"FOH R", 4.2, -8.0, 8.5, 90.0, 7, 8},
  };
  return rig;
}

}  // namespace tbhost

#include "host/sim/head_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace tbhost {
namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

bool InDmxRange(int v, int top) { return v >= 0 && v <= top; }
bool ValidRange(int deg) { return deg >= 1 && deg <= kMaxRangeDeg; }

// A head whose numbers can be worked with: a place above the floor and ranges
// a head can have.
bool Usable(const MovingHead& head) {
  return head.height > 0 && std::isfinite(head.height) && std::isfinite(head.x) &&
         std::isfinite(head.y) && std::isfinite(head.facingDeg) && ValidRange(head.panRangeDeg) &&
         ValidRange(head.tiltRangeDeg);
}

double ToDmx(double deg, double rangeDeg, int top) { return (deg + rangeDeg / 2) / rangeDeg * top; }

// Wraps an angle into [-180, 180).
double WrapDeg(double deg) {
  double w = std::fmod(deg + 180.0, 360.0);
  if (w < 0) w += 360.0;
  return w - 180.0;
}

// How far the beam leans away from straight down at a tilt angle.
double AngleFromDown(const MovingHead& head, double tiltDeg) {
  const double t = std::abs(std::abs(tiltDeg) > 180.0 ? WrapDeg(tiltDeg) : tiltDeg);
  return head.mounting == Mounting::Hung ? t : 180.0 - t;
}

// Of the whole turns of `panDeg` inside the range, the one nearest
// `referenceDeg`; on a tie the one inside [-180, 180) wins.
std::optional<double> PanNearest(double panDeg, double referenceDeg, double rangeDeg) {
  const double half = rangeDeg / 2;
  const double base = WrapDeg(panDeg);
  const int turns = static_cast<int>(std::ceil(half / 360.0));
  std::optional<double> best;
  for (int turn : {0, -1, 1, -2, 2}) {  // kMaxRangeDeg needs two turns each way
    if (std::abs(turn) > turns) continue;
    const double pan = base + 360.0 * turn;
    if (std::abs(pan) > half) continue;
    if (!best || std::abs(pan - referenceDeg) < std::abs(*best - referenceDeg)) best = pan;
  }
  return best;
}

struct Angles {
  double pan = 0;
  double tilt = 0;
};

// The exact pan and tilt of the branch AimAt keeps to.
std::optional<Angles> AimAngles(const MovingHead& head, FloorPoint target) {
  const double dx = target.x - head.x;
  const double dy = target.y - head.y;
  const double reach = std::hypot(dx, dy);
  const double fromDown = std::atan2(reach, head.height) / kDegToRad;
  if (!(fromDown <= kMaxFloorTiltDeg)) return std::nullopt;
  const double lean = head.mounting == Mounting::Hung ? fromDown : 180.0 - fromDown;
  // Straight below a hung head any pan will do; keep the yoke at its middle.
  const double bearing = reach > 0 ? std::atan2(dy, dx) / kDegToRad - head.facingDeg : 0.0;
  for (bool negative : {head.negativeTiltSide, !head.negativeTiltSide}) {
    const double tilt = negative ? -lean : lean;
    if (std::abs(tilt) > head.tiltRangeDeg / 2.0) continue;
    const auto pan = negative ? PanNearest(bearing + 180.0, 180.0, head.panRangeDeg)
                              : PanNearest(bearing, 0.0, head.panRangeDeg);
    if (pan) return Angles{*pan, tilt};
  }
  return std::nullopt;
}

}  // namespace

double Distance(FloorPoint a, FloorPoint b) { return std::hypot(a.x - b.x, a.y - b.y); }

int PanTop(const MovingHead& head) { return head.panFineChannel != 0 ? kDmxMax16 : kDmxMax; }

int TiltTop(const MovingHead& head) { return head.tiltFineChannel != 0 ? kDmxMax16 : kDmxMax; }

double PanDegrees(int dmxPan, double rangeDeg, int top) {
  return static_cast<double>(dmxPan) / top * rangeDeg - rangeDeg / 2;
}

double TiltDegrees(int dmxTilt, double rangeDeg, int top) {
  return static_cast<double>(dmxTilt) / top * rangeDeg - rangeDeg / 2;
}

std::optional<FloorPoint> BeamSpot(const MovingHead& head, PanTilt dmx) {
  if (!InDmxRange(dmx.pan, PanTop(head)) || !InDmxRange(dmx.tilt, TiltTop(head)) || !Usable(head))
    return std::nullopt;
  const double tilt = TiltDegrees(dmx.tilt, head.tiltRangeDeg, TiltTop(head));
  if (AngleFromDown(head, tilt) > kMaxFloorTiltDeg) return std::nullopt;
  // An upright head looks down past a quarter turn of tilt, where the
  // tangent changes its sign.
  const double lean = std::tan(tilt * kDegToRad);
  const double reach = head.height * (head.mounting == Mounting::Hung ? lean : -lean);
  const double azimuth =
      (head.facingDeg + PanDegrees(dmx.pan, head.panRangeDeg, PanTop(head))) * kDegToRad;
  return FloorPoint{head.x + reach * std::cos(azimuth), head.y + reach * std::sin(azimuth)};
}

std::optional<PanTilt> AimAt(const MovingHead& head, FloorPoint target) {
  if (!Usable(head) || !std::isfinite(target.x) || !std::isfinite(target.y)) return std::nullopt;
  const auto angles = AimAngles(head, target);
  if (!angles) return std::nullopt;
  const double exactPan = ToDmx(angles->pan, head.panRangeDeg, PanTop(head));
  const double exactTilt = ToDmx(angles->tilt, head.tiltRangeDeg, TiltTop(head));
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

namespace {

// How much nearer the head a plane at `height` is than the floor, along any
// beam: 1 at the floor; empty when the plane is not below the head.
std::optional<double> PlaneShrink(const MovingHead& head, double height) {
  if (!std::isfinite(height) || height < 0 || !(height < head.height)) return std::nullopt;
  return (head.height - height) / head.height;
}

}  // namespace

std::optional<FloorPoint> BeamAtHeight(const MovingHead& head, PanTilt dmx, double height) {
  if (height == 0) return BeamSpot(head, dmx);
  const auto shrink = PlaneShrink(head, height);
  const auto spot = shrink ? BeamSpot(head, dmx) : std::nullopt;
  if (!spot) return std::nullopt;
  return FloorPoint{head.x + (spot->x - head.x) * *shrink, head.y + (spot->y - head.y) * *shrink};
}

std::optional<PanTilt> AimAtHeight(const MovingHead& head, FloorPoint target, double height) {
  if (height == 0) return AimAt(head, target);
  const auto shrink = PlaneShrink(head, height);
  if (!shrink || !std::isfinite(target.x) || !std::isfinite(target.y)) return std::nullopt;
  return AimAt(head,
               {head.x + (target.x - head.x) / *shrink, head.y + (target.y - head.y) / *shrink});
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

}  // namespace tbhost

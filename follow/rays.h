// Heads as bundles of rays, for the trigonometric follow method: DMX values
// to a direction in the head's own frame and back, and the 3x3 map that
// carries one head's rays onto another's for points of one floor.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "follow/follow.h"
#include "rig/rig_store.h"

namespace tb {

struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

// Row-major.
struct Mat3 {
  std::array<double, 9> m{};
};

Vec3 operator*(const Mat3& a, const Vec3& v);
double Dot(const Vec3& a, const Vec3& b);
double Norm(const Vec3& v);
// Degrees between two directions; 180 when either is zero or not finite.
double AngleBetween(const Vec3& a, const Vec3& b);

// What the values 0..top span, in degrees; top is 255, or 65535 on an axis
// with a fine channel (follow/resolution.h). A device's own ranges are used
// only within kMinRange..kMaxRange; outside, the defaults stand in, as the
// settings file reads them.
struct HeadRanges {
  double pan = kDefaultPanRange;
  double tilt = kDefaultTiltRange;
  double panTop = kChannelTop;
  double tiltTop = kChannelTop;
};
HeadRanges RangesOf(const DeviceRecord& device);

// The middle of a range (DMX 127.5 at 8 bit) is the head's axis.
double DmxToAngle(double value, double range, double top = kChannelTop);
double AngleToDmx(double angle, double range, double top = kChannelTop);

// The ray of a (pan, tilt) pair in the head's own frame: the axis is +z,
// pan turns about it from +x towards +y, tilt leans away from it.
Vec3 DmxToRay(double pan, double tilt, const HeadRanges& ranges);

// The pair that aims the head along `ray`. Of all (pan, tilt) solutions
// inside the ranges (other tilt side, further pan turns) the one nearest
// `near` in degrees; where none is inside, the one least outside, limited
// to the range. Within half a tilt step of the axis (either way along it)
// the pan of `near` is kept, since there the pan hardly moves the spot. Rounded half to even,
// limited to 0..top. A zero or non-finite ray gives `near`, limited.
DmxPair RayToDmx(const Vec3& ray, const HeadRanges& ranges, const DmxPair& near);

// A map d_to ~ g * d_from (positive scale) for rays of points of one plane.
// usable is false when the pairs do not determine it.
struct RayMap {
  bool usable = false;
  Mat3 g;
};

// Fits the map on 4 or 5 pairs of rays (direct linear transform on
// normalised rays). Not usable when either bundle lies in a plane through
// its head (rays all equal or "collinear"), when the pairs leave the map
// open, when the map is singular, or when it turns a pair backwards.
// Fixed-size work only: no allocation.
RayMap FitRayMap(std::span<const Vec3> from, std::span<const Vec3> to);

// The same fit for lines through the heads: a map that turns some pairs
// backwards is kept (its sign as FitRayMap would fix it). Only for judging
// rays that do not fit their ranges; never to follow with.
RayMap FitLineMap(std::span<const Vec3> from, std::span<const Vec3> to);

// The five calibration rays (K1..K4, KM) of a device 1..16, from its
// values in its own resolution.
std::array<Vec3, kPointCount> CalibrationRays(const RigStore& store, int device);

// Where the master's rays meet the marks' own square: K1 (0,0), K2 (0,1),
// K3 (1,0), K4 (1,1).
RayMap FitMarkSquare(const std::array<Vec3, kPointCount>& masterRays);

// Whether a master ray points at the floor near the marks: in front of the
// square (w > 0) and at most 1.5 square sizes from its middle on each axis.
// Never for an unusable square.
bool NearTheMarks(const RayMap& square, const Vec3& ray);

}  // namespace tb

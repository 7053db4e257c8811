// The "distance" step. The master's five points cut its (pan, tilt) plane
// into four triangles around KM; a reading is placed in one of them by two
// weights, and every slave takes the same weights on its own points. On a
// border two triangles give the same value, so the map has no seams.
//
// A triangle whose corners are collinear with KM (or meet it) cannot place
// anything. Of the usable triangles the reading is placed in the one it
// lies deepest in: the largest smaller weight. For a sane calibration that
// is the one holding it; where none holds it (a collinear triangle's
// sector, or a folded calibration) the neighbours extend their own maps,
// the least outside one winning, which keeps every corner exact. With no
// usable triangle at all (every point on one line through KM) each slave
// holds its KM pair, which is at least continuous.
//
// Everything is computed in double from int32 values: differences are
// exact, nothing can overflow, and a far-out value is limited at the end.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "follow/follow_methods.h"
#include "follow/tick_steps.h"

namespace tb {

namespace {

// Relative to the edges' lengths; exactly collinear int32 points land
// far below it, even where their products are rounded.
constexpr double kCollinear = 1e-12;

// Corner pairs of the triangles around KM, as indices of points K1..K4:
// (K1, K2), (K2, K4), (K4, K3), (K3, K1).
constexpr std::array<std::array<int, 2>, 4> kTriangles = {{{0, 1}, {1, 3}, {3, 2}, {2, 0}}};

struct Placement {
  bool placed = false;
  int first = 0;  // corner indices
  int second = 0;
  double a = 0.0;  // weights of the first and the second corner
  double b = 0.0;
};

Placement Place(const std::array<std::int32_t, kPointCount>& pan,
                const std::array<std::int32_t, kPointCount>& tilt, std::int32_t readingPan,
                std::int32_t readingTilt) {
  const double kmPan = pan[kPointKM - 1];
  const double kmTilt = tilt[kPointKM - 1];
  const double vx = readingPan - kmPan;
  const double vy = readingTilt - kmTilt;
  Placement best;
  double bestDepth = 0.0;
  for (const auto& [i, j] : kTriangles) {
    const double ax = pan[i] - kmPan;
    const double ay = tilt[i] - kmTilt;
    const double bx = pan[j] - kmPan;
    const double by = tilt[j] - kmTilt;
    const double det = ax * by - ay * bx;
    if (!(std::abs(det) > kCollinear * std::hypot(ax, ay) * std::hypot(bx, by))) continue;
    const double a = (vx * by - vy * bx) / det;
    const double b = (ax * vy - ay * vx) / det;
    const double depth = std::min(a, b);
    if (!best.placed || depth > bestDepth) {
      best = {true, i, j, a, b};
      bestDepth = depth;
    }
  }
  return best;
}

std::int32_t SlaveValue(const std::array<std::int32_t, kPointCount>& row, const AxisScale& scale,
                        const Placement& placement) {
  const double km = row[kPointKM - 1];
  double real = km;
  if (placement.placed)
    real += placement.a * (row[placement.first] - km) + placement.b * (row[placement.second] - km);
  return ChannelValue(real, scale.top);
}

}  // namespace

std::error_code DistanceTick(RigStore& store) {
  MasterReading master;
  if (auto e = ReadMaster(store, master)) return e;
  const std::int16_t m = master.device;
  // The weights do not change when an axis is scaled, so a master and a
  // slave of different resolutions share them as they are.
  const OwnCalibration masterOwn = CalibrationOf(store, m);
  const Placement placement = Place(masterOwn.pan, masterOwn.tilt, master.pan, master.tilt);
  return WriteSlaves(store, master, [&](std::int16_t d) -> std::optional<DmxPair> {
    const OwnCalibration own = CalibrationOf(store, d);
    return DmxPair{SlaveValue(own.pan, own.panScale, placement),
                   SlaveValue(own.tilt, own.tiltScale, placement)};
  });
}

}  // namespace tb

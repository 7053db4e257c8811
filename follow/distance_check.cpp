// The distance step weighs a reading by the triangles around KM: they must
// all be real triangles and cover the plane around KM once, as the marks'
// four triangles cover the stage.
#include <array>
#include <cmath>

#include "follow/calibration_checks.h"
#include "follow/resolution.h"

namespace tb {

namespace {

// As the distance step: exactly collinear int32 points land far below it.
constexpr double kCollinear = 1e-12;

// K1, K2, K4, K3 in turn around KM, as point indices.
constexpr std::array<int, 4> kRound = {0, 1, 3, 2};

bool TrianglesAroundKm(const OwnCalibration& own) {
  const double kmPan = own.pan[kPointKM - 1];
  const double kmTilt = own.tilt[kPointKM - 1];
  int turns = 0;
  for (std::size_t k = 0; k < kRound.size(); ++k) {
    const int i = kRound[k];
    const int j = kRound[(k + 1) % kRound.size()];
    const double ax = own.pan[i] - kmPan;
    const double ay = own.tilt[i] - kmTilt;
    const double bx = own.pan[j] - kmPan;
    const double by = own.tilt[j] - kmTilt;
    const double det = ax * by - ay * bx;
    if (!(std::abs(det) > kCollinear * std::hypot(ax, ay) * std::hypot(bx, by))) return false;
    turns += det > 0.0 ? 1 : -1;
  }
  return turns == 4 || turns == -4;
}

}  // namespace

std::vector<std::int16_t> CheckDistanceTriangles(RigStore& store) {
  std::vector<std::int16_t> devices;
  for (std::int16_t d = 1; d <= kDeviceCount; ++d) {
    if (!store.IsDeviceCalibrated(d).value) continue;
    if (!TrianglesAroundKm(CalibrationOf(store, d))) devices.push_back(d);
  }
  return devices;
}

std::string DistanceFindingMessage(std::int16_t device) {
  return "Device " + std::to_string(device) +
         " cannot follow by distance: its KM does not lie between its four corners.";
}

}  // namespace tb

// Inside the stage solve only (follow/stage_*.cpp): the start and the
// least-squares fit, in Eigen's types. Everything here works at unit scale,
// K1-K3 = 1; the solve scales the answer by the length given.
#pragma once

#include <Eigen/Dense>
#include <array>
#include <optional>
#include <span>
#include <vector>

#include "follow/stage_solve.h"

namespace tb::stage {

struct Pose {
  Eigen::Matrix3d toOwn = Eigen::Matrix3d::Identity();
  Eigen::Vector3d position = Eigen::Vector3d::Zero();
};

// The marks' floor places; K1 (0, 0) and K3 (1, 0) fix the frame.
using Marks = std::array<Eigen::Vector2d, kPointCount>;

struct Fit {
  std::vector<Pose> poses;  // one per head, in the heads' order
  Marks marks;
  bool converged = false;
};

// An assumed layout: a rectangle one K1-K3 wide and `aspect` deep, KM in
// its middle.
Marks Rectangle(double aspect);

// A head's pose from the homography between the assumed layout and its
// rays, with the handedness that puts it above the floor. None when its
// rays fix no homography.
std::optional<Pose> StartPose(const StageHead& head, const Marks& layout);

// Whether a head sees its corners K1, K2, K4, K3 as the corners of one
// convex quadrilateral in that order, as marks on a floor always look; two
// marks taken in each other's place do not.
bool CornersInOrder(const StageHead& head);
// The same for marks on the floor.
bool CornersInOrder(const Marks& marks);

// Levenberg-Marquardt from the start given, residuals in each head's own
// values. With `k1k2` above 0 (K1-K2 over K1-K3) the measured lengths
// join the fit: a shape that departs from them by kTapeRelative weighs as
// much as a point missed by one value.
inline constexpr double kTapeRelative = 0.01;
Fit FitStage(std::span<const StageHead> heads, const Fit& start, double k1k2 = 0.0);

// A point's residual: the angle between its calibration ray and the
// direction the fit gives it, in degrees and in the head's own values.
struct Residual {
  double degrees = 0.0;
  double steps = 0.0;
};
Residual PointResidual(const StageHead& head, int point, const Pose& pose, const Marks& marks);

}  // namespace tb::stage

// Where the stage fit starts. Least squares cannot choose a head's
// handedness: started on the wrong side it stays mirrored under the floor.
// The homography from an assumed layout to a head's rays fixes its place up
// to that choice, and the floor fixes the choice. The layout need not be
// the real one: any rectangle of a sensible aspect leads to the same fit.
#include <cmath>

#include "follow/stage_fit.h"

namespace tb::stage {

namespace {

using Eigen::Matrix3d;
using Eigen::Vector2d;
using Eigen::Vector3d;

Vector3d ToEigen(const Vec3& v) { return {v.x, v.y, v.z}; }

// Corner indices around the quadrilateral: K1, K2, K4, K3.
constexpr std::array<int, 4> kAround = {0, 1, 3, 2};

bool ConvexInOrder(const std::array<Vector2d, 4>& corners) {
  int positive = 0;
  int negative = 0;
  for (int i = 0; i < 4; ++i) {
    const Vector2d a = corners[kAround[(i + 1) % 4]] - corners[kAround[i]];
    const Vector2d b = corners[kAround[(i + 2) % 4]] - corners[kAround[(i + 1) % 4]];
    const double turn = a.x() * b.y() - a.y() * b.x();
    if (turn > 0.0) ++positive;
    if (turn < 0.0) ++negative;
  }
  return positive == 4 || negative == 4;
}

}  // namespace

Marks Rectangle(double aspect) {
  return {Vector2d(0.0, 0.0), Vector2d(0.0, aspect), Vector2d(1.0, 0.0), Vector2d(1.0, aspect),
          Vector2d(0.5, aspect / 2.0)};
}

// The rays satisfy d ~ M (X - C) for floor points X = (x, y, 0), so the
// homography H from (x, y, 1) to d is, up to a positive scale,
// [m1 m2 -M C] with m1, m2 M's first two columns.
std::optional<Pose> StartPose(const StageHead& head, const Marks& layout) {
  std::array<Vec3, kPointCount> floor{};
  for (int p = 0; p < kPointCount; ++p) floor[p] = {layout[p].x(), layout[p].y(), 1.0};
  const RayMap h = FitRayMap(floor, head.rays);
  if (!h.usable) return std::nullopt;
  const Matrix3d g = Eigen::Map<const Eigen::Matrix<double, 3, 3, Eigen::RowMajor>>(h.g.m.data());

  const double scale = (g.col(0).norm() + g.col(1).norm()) / 2.0;
  if (!(scale > 0.0)) return std::nullopt;
  // The nearest pair of orthonormal columns to the first two.
  const Eigen::Matrix<double, 3, 2> columns = g.leftCols<2>() / scale;
  const Eigen::JacobiSVD<Eigen::Matrix<double, 3, 2>> svd(
      columns, Eigen::ComputeFullU | Eigen::ComputeFullV);
  const Eigen::Matrix<double, 3, 2> m12 = svd.matrixU().leftCols<2>() * svd.matrixV().transpose();
  const Vector3d translation = g.col(2) / scale;  // -M C
  Vector3d m3 = m12.col(0).cross(m12.col(1));
  // C = -M^T (g3 / scale), so C.z = -m3 . translation: the sign of m3 that
  // puts the head above the floor.
  if (m3.dot(translation) > 0.0) m3 = -m3;

  Pose pose;
  pose.toOwn << m12.col(0), m12.col(1), m3;
  pose.position = -pose.toOwn.transpose() * translation;
  return pose;
}

// Seen from one point, marks on a plane in front of it keep their order:
// their central projection onto a plane across the mean ray is convex in
// the same order as they lie on the floor.
bool CornersInOrder(const StageHead& head) {
  Vector3d mean = Vector3d::Zero();
  for (int p = 0; p < 4; ++p) mean += ToEigen(head.rays[p]).normalized();
  if (!(mean.norm() > 0.0)) return false;
  const Vector3d n = mean.normalized();
  const Vector3d any = std::abs(n.x()) < 0.9 ? Vector3d::UnitX() : Vector3d::UnitY();
  const Vector3d u = n.cross(any).normalized();
  const Vector3d v = n.cross(u);
  std::array<Vector2d, 4> corners{};
  for (int p = 0; p < 4; ++p) {
    const Vector3d d = ToEigen(head.rays[p]);
    const double ahead = d.dot(n);
    if (!(ahead > 0.0)) return false;
    corners[p] = Vector2d(d.dot(u), d.dot(v)) / ahead;
  }
  return ConvexInOrder(corners);
}

bool CornersInOrder(const Marks& marks) {
  return ConvexInOrder({marks[0], marks[1], marks[2], marks[3]});
}

}  // namespace tb::stage

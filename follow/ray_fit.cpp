// The map between two heads' rays for points of one floor, fitted by the
// direct linear transform. Each bundle is first whitened (its second moment
// made the identity), which keeps the fit well conditioned for heads that
// see the marks under a small angle, and shows at once a bundle that lies
// in one plane. Only fixed-size matrices: a fit may run inside a tick.
#include <Eigen/Dense>
#include <cmath>

#include "follow/rays.h"

namespace tb {

namespace {

using Eigen::Matrix3d;
using Eigen::Vector3d;

constexpr int kMaxPairs = kPointCount;

// Below these the rays, the fit or the map count as degenerate. Exactly
// degenerate input lands near 1e-16; the thinnest real bundle (marks a few
// degrees across, far away) near 1e-3.
constexpr double kMinSpread = 1e-8;        // smallest / largest moment eigenvalue
constexpr double kMinNullGap = 1e-8;       // second-smallest / largest singular value
constexpr double kMinConditioning = 1e-6;  // smallest / largest singular value of the map
constexpr double kMinAlignment = 1e-6;     // cosine of a pair after the map

Vector3d Unit(const Vec3& v) {
  const Vector3d e(v.x, v.y, v.z);
  const double n = e.norm();
  return n > 0.0 ? Vector3d(e / n) : Vector3d::Zero();
}

// T with the whitened rays T d spread alike in every direction, and its
// inverse; false for a bundle (nearly) in one plane through the head.
bool Whitening(std::span<const Vec3> rays, Matrix3d& t, Matrix3d& inverse) {
  Matrix3d moment = Matrix3d::Zero();
  for (const Vec3& ray : rays) {
    const Vector3d d = Unit(ray);
    moment += d * d.transpose();
  }
  const Eigen::SelfAdjointEigenSolver<Matrix3d> eigen(moment);
  if (eigen.info() != Eigen::Success) return false;
  const Vector3d values = eigen.eigenvalues();  // ascending
  if (!(values(0) > kMinSpread * values(2))) return false;
  const Matrix3d& v = eigen.eigenvectors();
  t = v * values.cwiseSqrt().cwiseInverse().asDiagonal() * v.transpose();
  inverse = v * values.cwiseSqrt().asDiagonal() * v.transpose();
  return true;
}

// The rows of to x (G from) = 0 for every pair, G row-major in 9 unknowns.
Eigen::Matrix<double, 3 * kMaxPairs, 9> DltSystem(std::span<const Vec3> from,
                                                  std::span<const Vec3> to, const Matrix3d& tFrom,
                                                  const Matrix3d& tTo) {
  Eigen::Matrix<double, 3 * kMaxPairs, 9> a = Eigen::Matrix<double, 3 * kMaxPairs, 9>::Zero();
  for (std::size_t i = 0; i < from.size(); ++i) {
    const Vector3d f = tFrom * Unit(from[i]);
    const Vector3d d = tTo * Unit(to[i]);
    const Eigen::Index r = 3 * static_cast<Eigen::Index>(i);
    const auto ft = f.transpose();
    a.block<1, 3>(r, 3) = -d.z() * ft;
    a.block<1, 3>(r, 6) = d.y() * ft;
    a.block<1, 3>(r + 1, 0) = d.z() * ft;
    a.block<1, 3>(r + 1, 6) = -d.x() * ft;
    a.block<1, 3>(r + 2, 0) = -d.y() * ft;
    a.block<1, 3>(r + 2, 3) = d.x() * ft;
  }
  return a;
}

// Rays are directions, not lines: the map must carry every pair forwards.
bool FixSign(Matrix3d& g, std::span<const Vec3> from, std::span<const Vec3> to) {
  double sum = 0.0;
  for (std::size_t i = 0; i < from.size(); ++i) sum += (g * Unit(from[i])).dot(Unit(to[i]));
  if (sum < 0.0) g = -g;
  for (std::size_t i = 0; i < from.size(); ++i) {
    const Vector3d mapped = g * Unit(from[i]);
    if (!(mapped.dot(Unit(to[i])) > kMinAlignment * mapped.norm())) return false;
  }
  return true;
}

// The direct linear transform; with `forwards`, only a map that carries
// every pair forwards counts.
RayMap Fit(std::span<const Vec3> from, std::span<const Vec3> to, bool forwards) {
  RayMap map;
  if (from.size() != to.size() || from.size() < 4 || from.size() > kMaxPairs) return map;
  Matrix3d tFrom, fromBack, tTo, toBack;
  if (!Whitening(from, tFrom, fromBack) || !Whitening(to, tTo, toBack)) return map;

  const Eigen::JacobiSVD<Eigen::Matrix<double, 3 * kMaxPairs, 9>> svd(
      DltSystem(from, to, tFrom, tTo), Eigen::ComputeFullV);
  const auto& sigma = svd.singularValues();
  if (!(sigma(7) > kMinNullGap * sigma(0))) return map;  // more than one solution
  const Eigen::Matrix<double, 9, 1> h = svd.matrixV().col(8);
  const Matrix3d whitened =
      Eigen::Map<const Eigen::Matrix<double, 3, 3, Eigen::RowMajor>>(h.data());
  Matrix3d g = toBack * whitened * tFrom;
  g /= g.norm();

  const Eigen::JacobiSVD<Matrix3d> gSvd(g);
  const Vector3d gSigma = gSvd.singularValues();
  if (!(gSigma(2) > kMinConditioning * gSigma(0))) return map;
  if (!FixSign(g, from, to) && forwards) return map;

  map.usable = true;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) map.g.m[3 * r + c] = g(r, c);
  return map;
}

}  // namespace

RayMap FitRayMap(std::span<const Vec3> from, std::span<const Vec3> to) {
  return Fit(from, to, true);
}

RayMap FitLineMap(std::span<const Vec3> from, std::span<const Vec3> to) {
  return Fit(from, to, false);
}

RayMap FitMarkSquare(const std::array<Vec3, kPointCount>& masterRays) {
  static constexpr std::array<Vec3, 4> kSquare = {Vec3{0.0, 0.0, 1.0}, Vec3{0.0, 1.0, 1.0},
                                                  Vec3{1.0, 0.0, 1.0}, Vec3{1.0, 1.0, 1.0}};
  return FitRayMap(std::span(masterRays).first<4>(), kSquare);
}

bool NearTheMarks(const RayMap& square, const Vec3& ray) {
  if (!square.usable) return false;
  constexpr double kMiddle = 0.5;
  constexpr double kReach = 1.5;
  const Vec3 q = square.g * ray;
  if (!(q.z > 0.0)) return false;
  const double x = q.x / q.z;
  const double y = q.y / q.z;
  return std::abs(x - kMiddle) <= kReach && std::abs(y - kMiddle) <= kReach;
}

}  // namespace tb

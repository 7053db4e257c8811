// The stage's least-squares fit: every head's pose and the free marks at
// once, so that each mark is shared by all heads and one head's rounding
// weighs less. A residual is counted in the head's own values: an 8-bit
// head is trusted less than one with fine channels, and a pan value moves
// a beam near the head's axis less than far from it.
#include "follow/stage_fit.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unsupported/Eigen/NonLinearOptimization>
#include <unsupported/Eigen/NumericalDiff>

namespace tb::stage {

namespace {

using Eigen::Index;
using Eigen::Matrix3d;
using Eigen::Vector2d;
using Eigen::Vector3d;
using Eigen::VectorXd;

constexpr int kPoseParameters = 6;  // rotation vector, position
constexpr int kMarkParameters = 6;  // K2, K4, KM; K1 and K3 fix the frame
constexpr int kResidualsPerPoint = 2;
// A pan value moves the beam by its step times sin(tilt): near the axis it
// hardly moves it. Below this the pan's weight stays as it is here.
constexpr double kLeastLean = 0.1;
constexpr double kDegree = std::numbers::pi / 180.0;
constexpr int kMostEvaluations = 4000;

Vector3d ToEigen(const Vec3& v) { return Vector3d(v.x, v.y, v.z).normalized(); }

// The residual of one point in radians along the calibration ray's tilt
// and pan directions: the logarithm on the sphere, so that it grows with
// the angle all the way round.
Vector2d TangentAngles(const Vector3d& observed, const Vector3d& predicted) {
  const double tilt = std::atan2(std::hypot(observed.x(), observed.y()), observed.z());
  const double pan = std::atan2(observed.y(), observed.x());
  const Vector3d alongTilt(std::cos(tilt) * std::cos(pan), std::cos(tilt) * std::sin(pan),
                           -std::sin(tilt));
  const Vector3d alongPan(-std::sin(pan), std::cos(pan), 0.0);
  const double length = predicted.norm();
  if (!(length > 0.0) || !std::isfinite(length)) return {std::numbers::pi, 0.0};
  const Vector3d unit = predicted / length;
  const Vector3d across = unit - unit.dot(observed) * observed;
  const double sine = across.norm();
  const double angle = std::atan2(sine, unit.dot(observed));
  if (!(sine > 0.0)) return {angle, 0.0};  // 0, or exactly behind
  const double stretch = angle / sine;
  return {stretch * across.dot(alongTilt), stretch * across.dot(alongPan)};
}

// How many of the head's values one radian is along tilt and along pan, at
// the calibration ray.
Vector2d StepsPerRadian(const StageHead& head, const Vector3d& observed) {
  const double lean = std::max(std::hypot(observed.x(), observed.y()), kLeastLean);
  return {1.0 / head.tiltStep, 1.0 / (head.panStep * lean)};
}

Vector3d MarkPoint(const Vector2d& mark) { return {mark.x(), mark.y(), 0.0}; }

Matrix3d Rotation(const Vector3d& turn) {
  const double angle = turn.norm();
  if (!(angle > 0.0)) return Matrix3d::Identity();
  return Eigen::AngleAxisd(angle, turn / angle).toRotationMatrix();
}

// The unknowns: per head a turn from its start and its position, then the
// three free marks.
class StageFunctor {
 public:
  using Scalar = double;
  using InputType = VectorXd;
  using ValueType = VectorXd;
  using JacobianType = Eigen::MatrixXd;
  enum { InputsAtCompileTime = Eigen::Dynamic, ValuesAtCompileTime = Eigen::Dynamic };

  StageFunctor(std::span<const StageHead> heads, const std::vector<Pose>& start, double k1k2)
      : heads_(heads), start_(start), k1k2_(k1k2) {}

  Index inputs() const {
    return kPoseParameters * static_cast<Index>(heads_.size()) + kMarkParameters;
  }
  Index values() const {
    return kResidualsPerPoint * kPointCount * static_cast<Index>(heads_.size()) +
           (k1k2_ > 0.0 ? 1 : 0);
  }

  int operator()(const VectorXd& x, VectorXd& residuals) const {
    const Marks marks = MarksOf(x);
    Index r = 0;
    for (std::size_t i = 0; i < heads_.size(); ++i) {
      const Pose pose = PoseOf(x, i);
      for (int p = 0; p < kPointCount; ++p) {
        const Vector3d observed = ToEigen(heads_[i].rays[p]);
        const Vector3d predicted = pose.toOwn * (MarkPoint(marks[p]) - pose.position);
        const Vector2d steps = StepsPerRadian(heads_[i], observed);
        residuals.segment<2>(r) = TangentAngles(observed, predicted).cwiseProduct(steps);
        r += kResidualsPerPoint;
      }
    }
    if (k1k2_ > 0.0) residuals(r) = (marks[1].norm() / k1k2_ - 1.0) / kTapeRelative;
    return 0;
  }

  VectorXd Unknowns(const Fit& start) const {
    VectorXd x = VectorXd::Zero(inputs());
    for (std::size_t i = 0; i < heads_.size(); ++i)
      x.segment<3>(kPoseParameters * static_cast<Index>(i) + 3) = start.poses[i].position;
    const Index m = kPoseParameters * static_cast<Index>(heads_.size());
    x.segment<2>(m) = start.marks[1];
    x.segment<2>(m + 2) = start.marks[3];
    x.segment<2>(m + 4) = start.marks[4];
    return x;
  }

  Pose PoseOf(const VectorXd& x, std::size_t i) const {
    const Index at = kPoseParameters * static_cast<Index>(i);
    return {Rotation(x.segment<3>(at)) * start_[i].toOwn, x.segment<3>(at + 3)};
  }

  Marks MarksOf(const VectorXd& x) const {
    const Index m = kPoseParameters * static_cast<Index>(heads_.size());
    return {Vector2d(0.0, 0.0), x.segment<2>(m), Vector2d(1.0, 0.0), x.segment<2>(m + 2),
            x.segment<2>(m + 4)};
  }

 private:
  std::span<const StageHead> heads_;
  const std::vector<Pose>& start_;
  double k1k2_;
};

bool Converged(Eigen::LevenbergMarquardtSpace::Status status) {
  using namespace Eigen::LevenbergMarquardtSpace;
  switch (status) {
    case RelativeReductionTooSmall:
    case RelativeErrorTooSmall:
    case RelativeErrorAndReductionTooSmall:
    case CosinusTooSmall:
    case FtolTooSmall:
    case XtolTooSmall:
    case GtolTooSmall:
      return true;
    default:
      return false;
  }
}

}  // namespace

Fit FitStage(std::span<const StageHead> heads, const Fit& start, double k1k2) {
  StageFunctor functor(heads, start.poses, k1k2);
  VectorXd x = functor.Unknowns(start);
  Eigen::NumericalDiff<StageFunctor> numeric(functor);
  Eigen::LevenbergMarquardt<Eigen::NumericalDiff<StageFunctor>> lm(numeric);
  // Heads that all see the marks from one side fix their distances only
  // weakly: the fit creeps along that valley for many steps.
  lm.parameters.maxfev = kMostEvaluations;
  const auto status = lm.minimize(x);

  Fit fit;
  fit.converged = Converged(status) && x.allFinite();
  for (std::size_t i = 0; i < heads.size(); ++i) fit.poses.push_back(functor.PoseOf(x, i));
  fit.marks = functor.MarksOf(x);
  return fit;
}

Residual PointResidual(const StageHead& head, int point, const Pose& pose, const Marks& marks) {
  const Vector3d observed = ToEigen(head.rays[point]);
  const Vector3d predicted = pose.toOwn * (MarkPoint(marks[point]) - pose.position);
  const Vector2d angles = TangentAngles(observed, predicted);
  return {angles.norm() / kDegree, angles.cwiseProduct(StepsPerRadian(head, observed)).norm()};
}

}  // namespace tb::stage

// The stage solve: the shape from the rays alone, at K1-K3 = 1, tried from
// a few assumed layouts; a K1-K2 given then joins the fit where the rays
// take it; then the lengths given set its size. The angles
// do not depend on the size, so the shape's best fit with the size fitted
// to the lengths is the best fit of both together.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "follow/stage_fit.h"

namespace tb {

namespace {

using stage::Fit;
using stage::Marks;
using stage::Pose;

constexpr double kDegree = std::numbers::pi / 180.0;

// Assumed depths of the layout, K1-K2 over K1-K3, tried in turn: the first
// fits every rig tried; the others are for layouts far from it.
constexpr std::array<double, 4> kAspects = {2.0 / 3.0, 1.0, 0.4, 1.5};

// How much more a point may miss, in its head's values, for the measured
// lengths to be taken into the shape.
constexpr double kLengthsSteps = 1.0;
// A head this close to the floor (of K1-K3) sees the marks edge on.
constexpr double kLeastHeight = 1e-3;
// No mark of a stage lies this many K1-K3 lengths from K1.
constexpr double kFarthestMark = 10.0;
// The volume three unit rays span; exactly flat bundles land near 1e-16.
constexpr double kLeastSpread = 1e-9;

bool IsLength(double value) {
  return std::isfinite(value) && value > 0.0 && value <= kMaxStageLength;
}

struct Judged {
  StageStatus status = StageStatus::NoFit;
  std::int16_t device = 0;
  std::vector<stage::Residual> largest;  // per head
};

std::vector<stage::Residual> LargestResiduals(std::span<const StageHead> heads, const Fit& fit) {
  std::vector<stage::Residual> largest(heads.size());
  for (std::size_t i = 0; i < heads.size(); ++i) {
    for (int p = 0; p < kPointCount; ++p) {
      const stage::Residual r = stage::PointResidual(heads[i], p, fit.poses[i], fit.marks);
      largest[i].degrees = std::max(largest[i].degrees, r.degrees);
      largest[i].steps = std::max(largest[i].steps, r.steps);
    }
  }
  return largest;
}

std::size_t Worst(const std::vector<stage::Residual>& largest) {
  std::size_t worst = 0;
  for (std::size_t i = 1; i < largest.size(); ++i)
    if (largest[i].steps > largest[worst].steps) worst = i;
  return worst;
}

Judged Judge(std::span<const StageHead> heads, const Fit& fit) {
  Judged judged{StageStatus::Solved, 0, LargestResiduals(heads, fit)};
  const std::int16_t worst = heads[Worst(judged.largest)].device;
  if (!fit.converged) return {StageStatus::NoFit, worst, judged.largest};
  for (std::size_t i = 0; i < heads.size(); ++i) {
    if (!(fit.poses[i].position.z() > kLeastHeight))
      return {StageStatus::BelowFloor, heads[i].device, judged.largest};
  }
  if (!stage::CornersInOrder(fit.marks)) return {StageStatus::Mirrored, worst, judged.largest};
  // Two heads that see the marks from one side can fit their rays with a
  // mark thousands of K1-K3 away: rays right, stage nonsense.
  for (const Eigen::Vector2d& mark : fit.marks)
    if (!(mark.norm() <= kFarthestMark)) return {StageStatus::NoFit, worst, judged.largest};
  // One wrong point pulls every head a little: the one it pulls most is
  // named here.
  std::optional<std::size_t> missed;
  for (std::size_t i = 0; i < heads.size(); ++i) {
    const stage::Residual& r = judged.largest[i];
    if (r.steps > kStageFitSteps && r.degrees > kStageFitDegrees &&
        (!missed || r.steps > judged.largest[*missed].steps))
      missed = i;
  }
  if (missed) return {StageStatus::NoFit, heads[*missed].device, judged.largest};
  return judged;
}

// None, naming the head, when a head's rays fix no homography.
std::optional<Fit> Start(std::span<const StageHead> heads, double aspect, std::int16_t& failed) {
  Fit start;
  start.marks = stage::Rectangle(aspect);
  for (const StageHead& head : heads) {
    const auto pose = stage::StartPose(head, start.marks);
    if (!pose) {
      failed = head.device;
      return std::nullopt;
    }
    start.poses.push_back(*pose);
  }
  return start;
}

// Rays that do not lie in one plane through the head: a stage can be
// tried on them, whether they show the marks in order or not.
bool Spread(const std::array<Vec3, kPointCount>& rays) {
  constexpr std::array<std::array<int, 3>, 4> kTriples = {
      {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}, {1, 2, 3}}};
  for (const auto& t : kTriples) {
    const Eigen::Vector3d a(rays[t[0]].x, rays[t[0]].y, rays[t[0]].z);
    const Eigen::Vector3d b(rays[t[1]].x, rays[t[1]].y, rays[t[1]].z);
    const Eigen::Vector3d c(rays[t[2]].x, rays[t[2]].y, rays[t[2]].z);
    if (std::abs(a.dot(b.cross(c))) > kLeastSpread) return true;
  }
  return false;
}

// The size that fits both lengths best, each by its relative error.
double Size(double unitK1K2, StageLengths lengths, StageSolution& solution) {
  if (lengths.k1k2 == 0.0) return lengths.k1k3;
  const double r13 = 1.0 / lengths.k1k3;
  const double r12 = unitK1K2 / lengths.k1k2;
  solution.lengthsDisagreePercent = (lengths.k1k2 / (unitK1K2 * lengths.k1k3) - 1.0) * 100.0;
  return (r13 + r12) / (r13 * r13 + r12 * r12);
}

Mat3 ToMat3(const Eigen::Matrix3d& m) {
  Mat3 out;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) out.m[3 * r + c] = m(r, c);
  return out;
}

StageSolution Solved(std::span<const StageHead> heads, const Fit& fit, const Judged& judged,
                     StageLengths lengths) {
  StageSolution solution;
  solution.status = StageStatus::Solved;
  const double unitK1K2 = (fit.marks[1] - fit.marks[0]).norm();
  const double size = Size(unitK1K2, lengths, solution);
  solution.solvedK1K2 = unitK1K2 * size;
  for (int p = 0; p < kPointCount; ++p)
    solution.marks[p] = {fit.marks[p].x() * size, fit.marks[p].y() * size};
  for (std::size_t i = 0; i < heads.size(); ++i) {
    const Eigen::Vector3d c = fit.poses[i].position * size;
    solution.heads.push_back({heads[i].device,
                              {ToMat3(fit.poses[i].toOwn), {c.x(), c.y(), c.z()}},
                              judged.largest[i].steps,
                              judged.largest[i].degrees});
  }
  return solution;
}

// The rays alone fix the stage's depth only loosely at 8 bit (five marks
// in one plane, seen from 8-10 m): a K1-K2 measured with a tape fixes it
// better, so it joins the fit. Only where the rays cannot take it without
// missing their points by more than a value does the fit stay the rays'
// own, and the lengths are told to disagree.
StageSolution WithLengths(std::span<const StageHead> heads, const Fit& fit, const Judged& judged,
                          StageLengths lengths) {
  if (lengths.k1k2 > 0.0) {
    const Fit measured = stage::FitStage(heads, fit, lengths.k1k2 / lengths.k1k3);
    const Judged taken = Judge(heads, measured);
    const double before = judged.largest[Worst(judged.largest)].steps;
    if (taken.status == StageStatus::Solved &&
        taken.largest[Worst(taken.largest)].steps <= before + kLengthsSteps)
      return Solved(heads, measured, taken, lengths);
  }
  return Solved(heads, fit, judged, lengths);
}

StageSolution Failed(StageStatus status, std::int16_t device) {
  StageSolution solution;
  solution.status = status;
  solution.device = device;
  return solution;
}

// Every start in turn until one gives a stage. A start that converged
// names the fault better than one that did not.
StageSolution SolveAll(std::span<const StageHead> heads, StageLengths lengths) {
  std::optional<Judged> failure;
  std::int16_t noStart = heads[0].device;
  for (double aspect : kAspects) {
    const auto start = Start(heads, aspect, noStart);
    if (!start) continue;
    const Fit fit = stage::FitStage(heads, *start);
    const Judged judged = Judge(heads, fit);
    if (judged.status == StageStatus::Solved) return WithLengths(heads, fit, judged, lengths);
    if (!failure || (fit.converged && failure->status == StageStatus::NoFit)) failure = judged;
  }
  if (!failure) return Failed(StageStatus::NoFit, noStart);
  return Failed(failure->status, failure->device);
}

// One wrong point pulls every head's fit; the head whose calibration holds
// it is most likely the one without which the others fit best (fewer
// heads may fit a wrong point too, but worse). Two heads cannot tell.
std::int16_t Culprit(std::span<const StageHead> heads, StageLengths lengths, std::int16_t worst) {
  if (heads.size() < 3) return worst;
  std::int16_t found = worst;
  double best = std::numeric_limits<double>::infinity();
  for (std::size_t left = 0; left < heads.size(); ++left) {
    std::vector<StageHead> others;
    for (std::size_t i = 0; i < heads.size(); ++i)
      if (i != left) others.push_back(heads[i]);
    const StageSolution rest = SolveAll(others, lengths);
    if (!rest.Valid()) continue;
    double largest = 0.0;
    for (const SolvedHead& head : rest.heads) largest = std::max(largest, head.largestSteps);
    if (largest < best) {
      best = largest;
      found = heads[left].device;
    }
  }
  return found;
}

}  // namespace

StageLengths UsableLengths(double k1k3, double k1k2) {
  return {IsLength(k1k3) ? k1k3 : 0.0, IsLength(k1k2) ? k1k2 : 0.0};
}

StageSolution SolveStage(std::span<const StageHead> heads, StageLengths lengths) {
  lengths = UsableLengths(lengths.k1k3, lengths.k1k2);
  if (lengths.k1k3 == 0.0) return Failed(StageStatus::NoLength, 0);
  if (heads.size() < 2) return Failed(StageStatus::TooFewHeads, 0);
  for (const StageHead& head : heads)
    if (!stage::CornersInOrder(head)) return Failed(StageStatus::Mirrored, head.device);
  StageSolution solution = SolveAll(heads, lengths);
  if (solution.status == StageStatus::NoFit)
    solution.device = Culprit(heads, lengths, solution.device);
  return solution;
}

std::vector<StageHead> StageHeadsOf(RigStore& store) {
  std::vector<StageHead> heads;
  const std::int16_t m = store.MasterDevice;
  if (!RigStore::ValidDevice(m)) return heads;
  const auto add = [&](std::int16_t d) {
    if (!store.IsDeviceCalibrated(d).value) return false;
    const auto rays = CalibrationRays(store, d);
    if (!Spread(rays)) return false;
    const HeadRanges ranges = RangesOf(store.DeviceTable[d - 1]);
    heads.push_back(
        {d, rays, ranges.pan / ranges.panTop * kDegree, ranges.tilt / ranges.tiltTop * kDegree});
    return true;
  };
  if (!add(m)) return heads;
  for (std::int16_t d = 1; d <= kDeviceCount; ++d)
    if (d != m) add(d);
  return heads;
}

}  // namespace tb

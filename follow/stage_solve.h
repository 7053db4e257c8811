// The metric stage: every calibrated head's place and mounting and the
// five marks' places on the floor, in metres, from the heads' calibration
// rays and the K1-K3 length an operator measures on the floor.
//
// Stage frame: K1 at the origin, K3 on +x, the floor z = 0, z up. Which
// side K2 lies on is the start's choice; each head's handedness follows
// from it (see HeadPose).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "follow/rays.h"
#include "rig/rig_store.h"

namespace tb {

// One calibrated head as the solve sees it.
struct StageHead {
  std::int16_t device = 0;
  std::array<Vec3, kPointCount> rays{};  // own frame, K1..K4, KM
  // Radians one value of each axis turns the head (range / top).
  double panStep = 0.0;
  double tiltStep = 0.0;
};

// toOwn carries a stage direction into the head's own frame. It is
// orthogonal; its determinant is -1 for a head whose pan turns the other
// way round (seen from its own axis), as the floor maps of the
// trigonometric method allow too.
struct HeadPose {
  Mat3 toOwn;
  Vec3 position;  // metres
};

struct FloorMark {
  double x = 0.0;
  double y = 0.0;
};

// Lengths measured on the floor, metres; 0 (or anything not a length):
// not given.
struct StageLengths {
  double k1k3 = 0.0;
  double k1k2 = 0.0;
};

// Longer than any stage: taken as a typing error, not a length.
inline constexpr double kMaxStageLength = 1000.0;
// A point whose solved direction misses its calibration ray by more than
// both of these fits no stage: rounding leaves at most about one value on
// an axis, an operator's aim with fine channels a few tenths of a degree.
inline constexpr double kStageFitSteps = 1.5;
inline constexpr double kStageFitDegrees = 0.5;
// Beyond this the two lengths contradict each other.
inline constexpr double kLengthsDisagreePercent = 3.0;

enum class StageStatus {
  Solved,
  NoLength,     // K1-K3 not given: the stage is not metric
  TooFewHeads,  // the master and at least one slave with usable rays needed
  BelowFloor,   // the fit puts `device` below the floor
  Mirrored,     // `device`'s marks (or the solved marks) are not in stage order
  NoFit,        // no start converged to a fit of `device`'s five points, or
                // the fit misses one of them
};

struct SolvedHead {
  std::int16_t device = 0;
  HeadPose pose;
  double largestSteps = 0.0;    // the largest point residual, in its own values
  double largestDegrees = 0.0;  // the same, as an angle
};

struct StageSolution {
  StageStatus status = StageStatus::NoLength;
  std::int16_t device = 0;  // the device a failure names
  std::array<FloorMark, kPointCount> marks{};
  std::vector<SolvedHead> heads;  // the master first
  // K1-K2 as solved, and how far the K1-K2 given departs from it when the
  // scale comes from K1-K3 alone (percent; 0 without K1-K2).
  double solvedK1K2 = 0.0;
  double lengthsDisagreePercent = 0.0;
  bool Valid() const { return status == StageStatus::Solved; }
};

// The lengths as the solve takes them: finite, above 0 and at most
// kMaxStageLength, else 0.
StageLengths UsableLengths(double k1k3, double k1k2);

// One least-squares fit (Levenberg-Marquardt) over all heads together;
// heads[0] is the master. Allocates; never call it from a tick.
StageSolution SolveStage(std::span<const StageHead> heads, StageLengths lengths);

// The master, then every calibrated slave in device order, whose rays do
// not lie in one plane through the head (those cannot be followed by rays
// at all; the range check names them).
std::vector<StageHead> StageHeadsOf(RigStore& store);

// What the operator is told about a solve at Enable TB.
struct StageFinding {
  enum class Kind {
    BelowFloor,
    Mirrored,
    NoFit,
    Lengths,  // K1-K2 and K1-K3 disagree by `percent`
  };
  Kind kind = Kind::NoFit;
  std::int16_t device = 0;
  double percent = 0.0;
};

std::vector<StageFinding> StageFindings(const StageSolution& solution);

// The operator's text for a finding (UTF-8).
std::string StageFindingMessage(const StageFinding& finding);

}  // namespace tb

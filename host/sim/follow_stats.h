// How well the slaves followed the master: the floor distance between the
// master's spot and each slave's spot after every follow tick, summarised per
// zone of the stage. Plain C++.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "host/sim/stage_rig.h"

namespace tbhost {

// Zones as the operator calibrated them: 1..4 the corner zones of K1..K4,
// 5 the centre. 0 collects every tick.
inline constexpr int kZoneCount = 6;
const char* ZoneName(int zone);

// The zone a master reading lies in, judged from the master's five
// calibrated pairs (indexed by Mark): the centre when both axes are within
// two coarse steps of KM, otherwise the quadrant given by the midpoints
// between K1 and K3 (pan) and K1 and K2 (tilt). A step is 1, or 256 on an
// axis with a fine channel.
int ZoneOf(PanTilt reading, const std::array<PanTilt, 5>& masterCalibration, int panStep = 1,
           int tiltStep = 1);

struct ErrorSummary {
  std::size_t count = 0;
  std::size_t noSpot = 0;  // ticks where a spot was off the floor
  double mean = 0;
  double p95 = 0;  // nearest-rank 95th percentile
  double max = 0;
};

// Summary of distances; empty input gives count 0 and zeros.
ErrorSummary Summarise(std::vector<double> distances, std::size_t noSpot = 0);

// One finished follow tick: what the master read and where every head
// (master included, by rig index) stood after the tick's writes.
struct TickSample {
  int zone = 0;
  PanTilt master;
  std::vector<PanTilt> heads;
  int writes = -1;  // WriteChannel calls the tick made; -1 when not counted
};

// Per slave (rig index) and zone (0..5) summaries of the spot distance.
struct FollowReport {
  std::size_t ticks = 0;
  std::vector<std::array<ErrorSummary, kZoneCount>> bySlave;  // indexed by rig head
};

// Distances are taken in the plane `height` metres above the floor (0: the
// floor): between the points where the master's and each slave's beams
// cross it, as a performer of that height sees them.
FollowReport Evaluate(const StageRig& rig, std::size_t masterIndex,
                      const std::vector<TickSample>& samples, double height = 0);

// A whole run in three figures, every slave and every tick together: how far
// the slaves' spots lay from the master's, and the same for each slave aimed
// exactly at the master's spot and rounded to its own values (AimAt: 8 bit,
// or 16 bit with fine channels), the floor no method can beat. A slave the method held counts where
// it stands, as the audience sees it; a slave whose beam is off the floor has no distance and is
// counted apart, as is a tick whose master has no spot.
struct Accuracy {
  ErrorSummary error;    // noSpot: slave ticks with no spot on the floor
  ErrorSummary ideal;    // noSpot: slave ticks whose head cannot reach the spot
  std::size_t held = 0;  // slave ticks left unwritten by the method
};

// In the plane `height` above the floor, as Evaluate; the ideal aims each
// slave at the master's point in that plane.
Accuracy MeasureAccuracy(const StageRig& rig, std::size_t masterIndex,
                         const std::vector<TickSample>& samples, double height = 0);

}  // namespace tbhost

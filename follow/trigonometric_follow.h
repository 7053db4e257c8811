// The trigonometric follow step and what it keeps between ticks: the maps
// fitted on the calibration (refitted only when their inputs change), the
// metric stage solved for following at a height, and the pair last written
// to each slave.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <system_error>
#include <vector>

#include "follow/rays.h"
#include "follow/resolution.h"
#include "follow/stage_solve.h"
#include "rig/rig_store.h"

namespace tb {

struct MasterReading;

// The highest follow height taken from the run state, metres; above it,
// this; below 0 or not a number, the floor.
inline constexpr double kMaxFollowHeight = 3.0;
// A height channel's value is the height in centimetres.
inline constexpr double kHeightChannelMetres = 0.01;

// The height the tick follows at when no height channel is set.
double FollowHeightOf(const RigStore& store);

class TrigonometricFollow {
 public:
  // Forgets the pairs last written: the next tick takes for each slave the
  // solution nearest its KM pair.
  void Forget();

  // Solves the stage when K1-K3 is given and the calibration, the ranges,
  // the master or the lengths changed since the last solve; returns what
  // the operator is told about the stage solved. Allocates: call it when
  // following starts, never from a tick.
  std::vector<StageFinding> PrepareStage(RigStore& store);

  // One step: reads the master, maps its ray onto every calibrated slave
  // with a usable map and writes the nearest solution. A master ray off the
  // floor near the marks writes nothing (the slaves stay where they are).
  // With a valid stage prepared for the rig as it is now, the step follows
  // at a height instead: it reads the height channel after the master (when
  // one is set), meets the master's ray with the plane at that height and
  // aims every solved slave at that point. Errors as FollowTick. Allocates
  // nothing.
  std::error_code Tick(RigStore& store);

  // Whether the last tick followed at a height.
  bool FollowedAtHeight() const { return followedAtHeight_; }
  // The stage last solved, and how many solves ran so far.
  const StageSolution& Stage() const { return solution_; }
  std::uint64_t Solves() const { return solves_; }

  // How many maps were fitted so far.
  std::uint64_t Fits() const { return fits_; }

 private:
  // One device's calibration and ranges, as a fit reads them.
  struct HeadInputs {
    OwnCalibration calibration;
    std::int32_t panRange = 0;
    std::int32_t tiltRange = 0;
    bool operator==(const HeadInputs&) const = default;
  };
  struct CachedMap {
    bool filled = false;
    std::int16_t master = 0;
    HeadInputs masterInputs;
    HeadInputs slaveInputs;
    RayMap map;
  };
  struct CachedSquare {
    bool filled = false;
    HeadInputs masterInputs;
    RayMap map;
  };

  static HeadInputs InputsOf(const RigStore& store, int device);
  const RayMap& MarkSquare(const RigStore& store, std::int16_t master,
                           const HeadInputs& masterInputs);
  const RayMap& SlaveMap(const RigStore& store, std::int16_t master, const HeadInputs& masterInputs,
                         std::int16_t slave);
  DmxPair Reference(const RigStore& store, std::int16_t slave, const HeadRanges& ranges) const;

  // What the stage was solved from; a tick follows at a height only while
  // the rig still matches it.
  struct StageKey {
    std::int16_t master = 0;
    StageLengths lengths;
    std::array<bool, kDeviceCount> calibrated{};
    std::array<HeadInputs, kDeviceCount> inputs{};
    bool operator==(const StageKey& other) const;
  };
  // The solved stage as the tick uses it.
  struct Poses {
    bool valid = false;
    StageKey key;
    std::array<std::optional<HeadPose>, kDeviceCount> heads{};
    RayMap square;  // floor (x, y, 1) to the marks' own square
  };
  static StageKey StageKeyOf(RigStore& store);
  void SetPoses(const StageKey& key);
  std::error_code HeightTick(RigStore& store, const MasterReading& reading);
  // The slave's pair for a ray in its own frame, nearest the pair last
  // written, and recorded as written.
  DmxPair Aim(const RigStore& store, std::int16_t slave, const Vec3& ray);

  // A pair as written, with the resolution it was written in.
  struct Written {
    DmxPair pair;
    double panTop = 0.0;
    double tiltTop = 0.0;
  };

  CachedSquare square_;
  std::array<CachedMap, kDeviceCount> slaveMaps_{};
  std::array<std::optional<Written>, kDeviceCount> lastWritten_{};
  // The master of the pairs in lastWritten_.
  std::int16_t lastMaster_ = 0;
  std::uint64_t fits_ = 0;
  Poses poses_;
  StageSolution solution_;
  bool solved_ = false;
  std::uint64_t solves_ = 0;
  bool followedAtHeight_ = false;
};

}  // namespace tb

// The trigonometric follow step and what it keeps between ticks: the maps
// fitted on the calibration (refitted only when their inputs change) and
// the pair last written to each slave.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <system_error>

#include "follow/rays.h"
#include "follow/resolution.h"
#include "rig/rig_store.h"

namespace tb {

class TrigonometricFollow {
 public:
  // Forgets the pairs last written: the next tick takes for each slave the
  // solution nearest its KM pair.
  void Forget();

  // One step: reads the master, maps its ray onto every calibrated slave
  // with a usable map and writes the nearest solution. A master ray off the
  // floor near the marks writes nothing (the slaves stay where they are).
  // Errors as FollowTick. Allocates nothing.
  std::error_code Tick(RigStore& store);

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
};

}  // namespace tb

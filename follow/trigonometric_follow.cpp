// The trigonometric follow step. All five marks lie on one floor, so a
// single 3x3 map carries the master's rays onto each slave's, whatever the
// two heads' places and mountings; it is fitted on the calibration and kept
// until that changes. Host calls in the linear step's order.
#include "follow/trigonometric_follow.h"

#include "follow/tick_steps.h"
#include "rig/errors.h"

namespace tb {

void TrigonometricFollow::Forget() { lastWritten_.fill(std::nullopt); }

TrigonometricFollow::HeadInputs TrigonometricFollow::InputsOf(const RigStore& store, int device) {
  HeadInputs inputs;
  inputs.calibration = CalibrationOf(store, device);
  inputs.panRange = store.DeviceTable[device - 1].PanRange;
  inputs.tiltRange = store.DeviceTable[device - 1].TiltRange;
  return inputs;
}

const RayMap& TrigonometricFollow::MarkSquare(const RigStore& store, std::int16_t master,
                                              const HeadInputs& masterInputs) {
  if (!square_.filled || square_.masterInputs != masterInputs) {
    square_ = {true, masterInputs, FitMarkSquare(CalibrationRays(store, master))};
    ++fits_;
  }
  return square_.map;
}

const RayMap& TrigonometricFollow::SlaveMap(const RigStore& store, std::int16_t master,
                                            const HeadInputs& masterInputs, std::int16_t slave) {
  CachedMap& cached = slaveMaps_[slave - 1];
  const HeadInputs slaveInputs = InputsOf(store, slave);
  if (!cached.filled || cached.master != master || cached.masterInputs != masterInputs ||
      cached.slaveInputs != slaveInputs) {
    const auto from = CalibrationRays(store, master);
    const auto to = CalibrationRays(store, slave);
    cached = {true, master, masterInputs, slaveInputs, FitRayMap(from, to)};
    ++fits_;
  }
  return cached.map;
}

// A pair written at another resolution (a fine channel set or removed
// meanwhile) says nothing about where the head stands now.
DmxPair TrigonometricFollow::Reference(const RigStore& store, std::int16_t slave,
                                       const HeadRanges& ranges) const {
  const auto& last = lastWritten_[slave - 1];
  if (last && last->panTop == ranges.panTop && last->tiltTop == ranges.tiltTop) return last->pair;
  const OwnCalibration own = CalibrationOf(store, slave);
  return {own.pan[kPointKM - 1], own.tilt[kPointKM - 1]};
}

// Recorded as it goes out: a failing write ends the tick, and the next one
// measures from where the slave was sent.
DmxPair TrigonometricFollow::Aim(const RigStore& store, std::int16_t slave, const Vec3& ray) {
  const HeadRanges ranges = RangesOf(store.DeviceTable[slave - 1]);
  const DmxPair pair = RayToDmx(ray, ranges, Reference(store, slave, ranges));
  lastWritten_[slave - 1] = Written{pair, ranges.panTop, ranges.tiltTop};
  return pair;
}

std::error_code TrigonometricFollow::Tick(RigStore& store) {
  MasterReading reading;
  if (auto e = ReadMaster(store, reading)) return e;
  const std::int16_t m = reading.device;
  // A device that led meanwhile was moved by other hands than ours: its
  // last pair no longer says where it stands.
  if (m != lastMaster_) {
    Forget();
    lastMaster_ = m;
  }
  followedAtHeight_ = poses_.valid && poses_.key == StageKeyOf(store);
  if (followedAtHeight_) return HeightTick(store, reading);
  const HeadInputs masterInputs = InputsOf(store, m);
  const Vec3 ray = DmxToRay(reading.pan, reading.tilt, RangesOf(store.DeviceTable[m - 1]));
  const bool onTheFloor = NearTheMarks(MarkSquare(store, m, masterInputs), ray);

  // Every flag is refreshed, as in the other methods, also while held.
  return WriteSlaves(store, reading, [&](std::int16_t d) -> std::optional<DmxPair> {
    if (!onTheFloor) return std::nullopt;
    const RayMap& map = SlaveMap(store, m, masterInputs, d);
    if (!map.usable) return std::nullopt;
    return Aim(store, d, map.g * ray);
  });
}

}  // namespace tb

// The trigonometric follow step. All five marks lie on one floor, so a
// single 3x3 map carries the master's rays onto each slave's, whatever the
// two heads' places and mountings; it is fitted on the calibration and kept
// until that changes. Host calls in the linear step's order.
#include "follow/trigonometric_follow.h"

#include "rig/errors.h"

namespace tb {

void TrigonometricFollow::Forget() { lastWritten_.fill(std::nullopt); }

TrigonometricFollow::HeadInputs TrigonometricFollow::InputsOf(const RigStore& store, int device) {
  HeadInputs inputs;
  inputs.pan = store.PanCalibration[device - 1];
  inputs.tilt = store.TiltCalibration[device - 1];
  inputs.panRange = store.DeviceTable[device - 1].PanRange;
  inputs.tiltRange = store.DeviceTable[device - 1].TiltRange;
  return inputs;
}

const RayMap& TrigonometricFollow::MarkSquare(const RigStore& store, std::int16_t master,
                                              const HeadInputs& masterInputs) {
  if (!square_.filled || square_.masterInputs != masterInputs) {
    square_ = {true, master, masterInputs, {}, FitMarkSquare(CalibrationRays(store, master))};
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

DmxPair TrigonometricFollow::Reference(const RigStore& store, std::int16_t slave) const {
  if (const auto& last = lastWritten_[slave - 1]) return *last;
  return {store.PanCalibration[slave - 1][kPointKM - 1],
          store.TiltCalibration[slave - 1][kPointKM - 1]};
}

std::error_code TrigonometricFollow::Tick(RigStore& store) {
  HostChannels* host = store.HostHelper.get();
  if (host == nullptr) return make_error_code(Errc::no_host_helper);
  const std::int16_t m = store.MasterDevice;
  const DeviceRecord* master = store.Device(m);
  if (master == nullptr) return make_error_code(Errc::out_of_range);

  std::int32_t masterPan = 0;
  std::int32_t masterTilt = 0;
  if (auto e = host->ReadChannel(master->PanChannel, masterPan)) return e;
  if (auto e = host->ReadChannel(master->TiltChannel, masterTilt)) return e;

  const HeadInputs masterInputs = InputsOf(store, m);
  const Vec3 ray = DmxToRay(masterPan, masterTilt, RangesOf(*master));
  const bool onTheFloor = NearTheMarks(MarkSquare(store, m, masterInputs), ray);

  for (std::int16_t d = 1; d <= kDeviceCount; ++d) {
    // Every flag is refreshed, as in the other methods, also while held.
    if (!store.IsDeviceCalibrated(d).value) continue;
    if (d == m || !onTheFloor) continue;
    const RayMap& map = SlaveMap(store, m, masterInputs, d);
    if (!map.usable) continue;
    const DeviceRecord& slave = store.DeviceTable[d - 1];
    const DmxPair pair = RayToDmx(map.g * ray, RangesOf(slave), Reference(store, d));
    if (auto e = host->WriteChannel(slave.PanChannel, pair.pan)) return e;
    if (auto e = host->WriteChannel(slave.TiltChannel, pair.tilt)) return e;
    lastWritten_[d - 1] = pair;
  }
  return {};
}

}  // namespace tb

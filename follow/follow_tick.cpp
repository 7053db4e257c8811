// The follow step, run by the follow timer every 100 ms. It keeps nothing
// between ticks and allocates nothing: everything lives on the stack.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "follow/follow.h"
#include "follow/tick_steps.h"

namespace tb {

namespace {

constexpr double kZeroDivisor = 0.000001;

// A difference of two int32 values as the engine's 32-bit working value:
// formed in 64 bits and limited to the int32 range where it leaves it.
std::int32_t Difference(std::int32_t a, std::int32_t b) {
  const std::int64_t wide = std::int64_t{a} - b;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      wide, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// 0 with the master at its corner, 1 at its KM value.
double Fraction(std::int32_t corner, std::int32_t centre, std::int32_t reading) {
  const std::int32_t divisorDifference = Difference(corner, centre);
  const double divisor = divisorDifference == 0 ? kZeroDivisor : divisorDifference;
  const std::int32_t numerator = Difference(corner, reading);
  return numerator / divisor;
}

std::int32_t SlaveValue(std::int32_t corner, std::int32_t centre, double fraction,
                        const AxisScale& scale) {
  const std::int32_t difference = Difference(corner, centre);
  const double real = corner - (difference * fraction);
  return ChannelValue(real, scale.top);
}

}  // namespace

std::error_code FollowTick(RigStore& store) {
  MasterReading master;
  if (auto e = ReadMaster(store, master)) return e;
  const std::int16_t m = master.device;

  const auto zone = ClassifyMasterZone(store, master.pan, master.tilt);
  if (zone.error) return zone.error;
  const int z = zone.value;

  // The master's fractions are computed once per tick, slaves or not.
  const int corner = z == CentreZone ? kPointKM - 1 : z - 1;
  const OwnCalibration masterOwn = CalibrationOf(store, m);
  const auto& masterPanRow = masterOwn.pan;
  const auto& masterTiltRow = masterOwn.tilt;
  double panFraction = 0.0;
  double tiltFraction = 0.0;
  if (z != CentreZone) {
    panFraction = Fraction(masterPanRow[corner], masterPanRow[kPointKM - 1], master.pan);
    tiltFraction = Fraction(masterTiltRow[corner], masterTiltRow[kPointKM - 1], master.tilt);
  }

  return WriteSlaves(store, master, [&](std::int16_t d) -> std::optional<DmxPair> {
    const OwnCalibration own = CalibrationOf(store, d);
    const auto& pan = own.pan;
    const auto& tilt = own.tilt;
    // The centre zone sends KM exactly as stored, whatever its range (at
    // 16 bit the same two bytes, a fine byte limited to 0..255).
    if (z == CentreZone) return DmxPair{pan[kPointKM - 1], tilt[kPointKM - 1]};
    return DmxPair{SlaveValue(pan[corner], pan[kPointKM - 1], panFraction, own.panScale),
                   SlaveValue(tilt[corner], tilt[kPointKM - 1], tiltFraction, own.tiltScale)};
  });
}

std::error_code ReadMaster(RigStore& store, MasterReading& reading) {
  reading.host = store.HostHelper.get();
  if (reading.host == nullptr) return make_error_code(Errc::no_host_helper);
  reading.device = store.MasterDevice;
  const DeviceRecord* master = store.Device(reading.device);
  if (master == nullptr) return make_error_code(Errc::out_of_range);
  if (auto e = reading.host->ReadChannel(master->PanChannel, reading.pan)) return e;
  if (auto e = reading.host->ReadChannel(master->TiltChannel, reading.tilt)) return e;
  std::int32_t fine = 0;
  if (master->PanFineChannel != 0) {
    if (auto e = reading.host->ReadChannel(master->PanFineChannel, fine)) return e;
    reading.pan = Join16(reading.pan, fine);
  }
  if (master->TiltFineChannel != 0) {
    fine = 0;
    if (auto e = reading.host->ReadChannel(master->TiltFineChannel, fine)) return e;
    reading.tilt = Join16(reading.tilt, fine);
  }
  return {};
}

std::error_code WriteSlave(HostChannels& host, const DeviceRecord& slave, const DmxPair& pair) {
  const bool panFine = slave.PanFineChannel != 0;
  const bool tiltFine = slave.TiltFineChannel != 0;
  if (auto e = host.WriteChannel(slave.PanChannel, panFine ? Coarse16(pair.pan) : pair.pan))
    return e;
  if (auto e = host.WriteChannel(slave.TiltChannel, tiltFine ? Coarse16(pair.tilt) : pair.tilt))
    return e;
  if (panFine) {
    if (auto e = host.WriteChannel(slave.PanFineChannel, Fine16(pair.pan))) return e;
  }
  if (tiltFine) return host.WriteChannel(slave.TiltFineChannel, Fine16(pair.tilt));
  return {};
}

}  // namespace tb

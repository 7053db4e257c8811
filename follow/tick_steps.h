// What every follow method's tick has in common: it starts by reading the
// master, pan then tilt, and ends by writing each calibrated slave, pan then
// tilt, device by device. Only the placing of the slaves differs.
#pragma once

#include <cstdint>
#include <optional>
#include <system_error>

#include "follow/follow.h"
#include "rig/rig_store.h"

namespace tb {

struct MasterReading {
  HostChannels* host = nullptr;
  std::int16_t device = 0;
  std::int32_t pan = 0;
  std::int32_t tilt = 0;
};

// Without a host helper (Errc::no_host_helper) or a master 1..4
// (Errc::out_of_range) nothing is read; a failing read ends it.
std::error_code ReadMaster(RigStore& store, MasterReading& reading);

// For devices 1..4 in order: refreshes DeviceCalibrated, skips uncalibrated
// devices and the master, asks place(d) for the slave's pair (nothing: the
// slave is not written this tick), then writes pan and tilt. Ends at the
// first failing write.
template <class Place>
std::error_code WriteSlaves(RigStore& store, const MasterReading& master, Place&& place) {
  for (std::int16_t d = 1; d <= kDeviceCount; ++d) {
    if (!store.IsDeviceCalibrated(d).value) continue;
    if (d == master.device) continue;
    const std::optional<DmxPair> pair = place(d);
    if (!pair) continue;
    const DeviceRecord& slave = store.DeviceTable[d - 1];
    if (auto e = master.host->WriteChannel(slave.PanChannel, pair->pan)) return e;
    if (auto e = master.host->WriteChannel(slave.TiltChannel, pair->tilt)) return e;
  }
  return {};
}

}  // namespace tb

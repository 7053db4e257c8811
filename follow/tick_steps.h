// What every follow method's tick has in common: it starts by reading the
// master, pan then tilt (then its fine channels), and ends by writing each
// calibrated slave, pan then tilt (then its fine channels), device by
// device. Only the placing of the slaves differs. Values are in each axis's
// own resolution (follow/resolution.h).
#pragma once

#include <cstdint>
#include <optional>
#include <system_error>

#include "follow/follow.h"
#include "follow/resolution.h"
#include "rig/rig_store.h"

namespace tb {

struct MasterReading {
  HostChannels* host = nullptr;
  std::int16_t device = 0;
  std::int32_t pan = 0;  // in the master's own resolution
  std::int32_t tilt = 0;
};

// Without a host helper (Errc::no_host_helper) or a master 1..16
// (Errc::out_of_range) nothing is read; a failing read ends it. Reads pan,
// tilt, then the pan fine and tilt fine channels the master has.
std::error_code ReadMaster(RigStore& store, MasterReading& reading);

// Writes a slave's pair: coarse pan, coarse tilt, then the fine byte of each
// axis that has a fine channel. The pair is in the slave's own resolution.
std::error_code WriteSlave(HostChannels& host, const DeviceRecord& slave, const DmxPair& pair);

// For devices 1..16 in order: refreshes DeviceCalibrated, skips uncalibrated
// devices and the master, asks place(d) for the slave's pair (nothing: the
// slave is not written this tick), then writes pan and tilt. Ends at the
// first failing write. A master that is not calibrated places nothing: its
// Uncalibrated values would send every slave somewhere meaningless.
template <class Place>
std::error_code WriteSlaves(RigStore& store, const MasterReading& master, Place&& place) {
  const bool masterCalibrated = store.IsDeviceCalibrated(master.device).value;
  for (std::int16_t d = 1; d <= kDeviceCount; ++d) {
    if (!store.IsDeviceCalibrated(d).value) continue;
    if (d == master.device || !masterCalibrated) continue;
    const std::optional<DmxPair> pair = place(d);
    if (!pair) continue;
    if (auto e = WriteSlave(*master.host, store.DeviceTable[d - 1], *pair)) return e;
  }
  return {};
}

}  // namespace tb

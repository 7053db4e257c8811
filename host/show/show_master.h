// The show box's master: found among the devices as the device setup window
// lists them, and the entry of the main window's master list that stands
// for it.
#pragma once

#include <string>
#include <vector>

#include "host/host_options.h"

namespace tbhost {

// One row of the device setup list, as the operator reads it (UTF-8).
struct ListedDevice {
  std::string name;  // empty: the device is in neither of the main window's lists
  std::string pan;
  std::string tilt;
};

struct MasterPick {
  int device = 0;     // 1..16
  int entry = -1;     // its position in the master list
  std::string error;  // why there is no pick; empty when there is one
};

// rows[0] is device 1. The master list holds the named devices in device
// order, and the plug-in takes entry i for device i + 1: a device behind an
// unnamed one would be taken for another device, and is refused here.
MasterPick FindMaster(const std::vector<ListedDevice>& rows, const MasterChoice& wanted);

}  // namespace tbhost

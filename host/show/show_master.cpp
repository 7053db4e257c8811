#include "host/show/show_master.h"

#include "rig/rig_store.h"

namespace tbhost {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string NamedDevices(const std::vector<ListedDevice>& rows) {
  std::string list;
  for (const ListedDevice& row : rows)
    if (!row.name.empty()) list += (list.empty() ? "" : ", ") + Quoted(row.name);
  return list.empty() ? "none has a name" : "named: " + list;
}

// The device the choice means (1..16), or 0 with the reason in `error`.
int DeviceFor(const std::vector<ListedDevice>& rows, const MasterChoice& wanted,
              std::string& error) {
  if (wanted.number > 0) {
    const auto index = static_cast<std::size_t>(wanted.number - 1);
    if (index < rows.size() && !rows[index].name.empty()) return wanted.number;
    error = "device " + std::to_string(wanted.number) +
            " has no name in the device setup, so it is not in the master list (" +
            NamedDevices(rows) + ")";
    return 0;
  }
  int found = 0;
  int matches = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].name != wanted.name) continue;
    ++matches;
    if (found == 0) found = static_cast<int>(i) + 1;
  }
  if (matches == 1) return found;
  if (matches == 0)
    error = "no device named " + Quoted(wanted.name) + " in the device setup (" +
            NamedDevices(rows) + ")";
  else
    error = std::to_string(matches) + " devices are named " + Quoted(wanted.name) +
            " in the device setup: give the master's number (--master N)";
  return 0;
}

}  // namespace

MasterPick FindMaster(const std::vector<ListedDevice>& rows, const MasterChoice& wanted) {
  MasterPick pick;
  const int device = DeviceFor(rows, wanted, pick.error);
  if (device == 0) return pick;
  int entry = 0;
  for (int d = 1; d < device; ++d)
    if (!rows[static_cast<std::size_t>(d - 1)].name.empty()) ++entry;
  // The plug-in takes entry n for device n + 1 only while no device after
  // the fourth is named; past that, every entry is its own device.
  bool laterNamed = false;
  for (std::size_t i = tb::kDescribedDevices; i < rows.size(); ++i)
    laterNamed = laterNamed || !rows[i].name.empty();
  if (!laterNamed && entry + 1 != device) {
    pick.error = "device " + std::to_string(device) + " " +
                 Quoted(rows[static_cast<std::size_t>(device - 1)].name) + " is entry " +
                 std::to_string(entry + 1) +
                 " of the master list, which the plug-in takes for device " +
                 std::to_string(entry + 1) + ": name every device before it in the device setup";
    return pick;
  }
  pick.device = device;
  pick.entry = entry;
  return pick;
}

}  // namespace tbhost

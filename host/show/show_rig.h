// The show box's look at the module's TrailBeam.ini before the plug-in
// reads it: whatever would make the box refuse is found here, so that a
// refusal never lets the device setup's OK rewrite the operator's file.
// Read with the plug-in's own reader, so that both see the same rig.
// Plain C++, no Qt.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_options.h"
#include "host/show/show_master.h"

namespace tbhost {

// The highest channel of the universe the console plays the master on.
inline constexpr int kUniverseChannels = 512;

// The file's bytes, all of them; the reason why they could not be read (a
// folder, no permission, more than any TrailBeam.ini holds...), or empty.
std::string ReadShowRigFile(const std::filesystem::path& path, std::string& bytes);

struct ShowRig {
  std::string error;                 // why the box refuses; empty when it may go on
  std::vector<ListedDevice> listed;  // the rows the device setup will list
  MasterPick pick;
  int rate = 10;  // the follow rate the file holds, ticks a second
  // What the box goes on with but the operator should hear: slaves it
  // cannot drive.
  std::vector<std::string> notes;
};

// Checks the rig for a show with the master the operator asked for, and at
// the follow height asked for, if any. `file` names the file in the messages.
ShowRig CheckShowRig(std::string_view bytes, const MasterChoice& wanted, const std::string& file,
                     std::optional<double> height = std::nullopt);

// Whether the device setup lists the rows the file made the box expect:
// why not, or empty.
std::string CheckListedAsExpected(const std::vector<ListedDevice>& shown,
                                  const std::vector<ListedDevice>& expected);

}  // namespace tbhost

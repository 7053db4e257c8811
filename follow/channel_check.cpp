// Channels no follow step can be right with: the host has no channel below
// 1, and two heads on one channel drive each other.
#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "follow/calibration_checks.h"

namespace tb {

namespace {

struct Use {
  std::int16_t device = 0;
  const char* axis = "";
  std::int32_t channel = 0;
};

std::vector<Use> ChannelsOf(const DeviceRecord& record, std::int16_t device) {
  std::vector<Use> uses = {{device, "pan", record.PanChannel},
                           {device, "tilt", record.TiltChannel}};
  // A fine channel of 0 is none.
  if (record.PanFineChannel != 0) uses.push_back({device, "pan fine", record.PanFineChannel});
  if (record.TiltFineChannel != 0) uses.push_back({device, "tilt fine", record.TiltFineChannel});
  return uses;
}

// "1", "1 and 3", "1, 2 and 3".
std::string ListOf(const std::vector<std::int16_t>& devices) {
  std::string text;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (i > 0) text += i + 1 == devices.size() ? " and " : ", ";
    text += std::to_string(devices[i]);
  }
  return text;
}

std::string Shared(std::int32_t channel, std::vector<std::int16_t> devices) {
  devices.erase(std::unique(devices.begin(), devices.end()), devices.end());
  const std::string number = std::to_string(channel);
  if (devices.size() == 1)
    return "device " + ListOf(devices) + " uses channel " + number + " for more than one axis";
  return "devices " + ListOf(devices) + " share channel " + number;
}

}  // namespace

std::string CheckFollowChannels(RigStore& store) {
  std::vector<std::string> problems;
  std::map<std::int32_t, std::vector<std::int16_t>> users;  // by channel, devices in order
  for (std::int16_t d = 1; d <= kDeviceCount; ++d) {
    if (!store.IsDeviceCalibrated(d).value) continue;
    for (const Use& use : ChannelsOf(store.DeviceTable[d - 1], d)) {
      if (use.channel < 1)
        problems.push_back("device " + std::to_string(d) + " has " + use.axis + " channel " +
                           std::to_string(use.channel));
      else
        users[use.channel].push_back(d);
    }
  }
  for (const auto& [channel, devices] : users)
    if (devices.size() > 1) problems.push_back(Shared(channel, devices));
  if (problems.empty()) return {};
  std::string text = "Check the channels in the device setup: ";
  for (std::size_t i = 0; i < problems.size(); ++i) text += (i > 0 ? "; " : "") + problems[i];
  return text + ".";
}

}  // namespace tb

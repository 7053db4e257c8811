// One rig and one run of master readings, played through a follow method
// by each build: the host calls they make, one line each, must be the same
// on every platform, call for call. The expected lines are kept in
// <method>.trace beside this file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "rig/host_channels.h"
#include "rig/rig_store.h"

namespace tb::testing {

// Four heads on an 8 x 6 m stage: the master and two slaves hung above the
// downstage edge, one slave at the side with other ranges.
inline void ScenarioRig(RigStore& rig) {
  using Pairs = std::array<std::pair<std::int32_t, std::int32_t>, kPointCount>;
  const char* names[kDescribedDevices] = {"Master", "Links", "Rechts", "Seite"};
  const Pairs calibration[kDescribedDevices] = {
      {{{101, 157}, {115, 173}, {154, 157}, {140, 173}, {128, 159}}},
      {{{128, 145}, {128, 170}, {161, 171}, {149, 179}, {145, 165}}},
      {{{94, 171}, {106, 179}, {128, 145}, {128, 170}, {110, 165}}},
      {{{122, 184}, {133, 184}, {109, 156}, {146, 156}, {128, 171}}},
  };
  for (int d = 1; d <= kDescribedDevices; ++d) {
    DeviceRecord& device = *rig.Device(d);
    device.Name = names[d - 1];
    device.PanChannel = 16 * d - 15;
    device.TiltChannel = 16 * d - 14;
    for (int p = 1; p <= kPointCount; ++p) {
      *rig.Pan(d, p) = calibration[d - 1][p - 1].first;
      *rig.Tilt(d, p) = calibration[d - 1][p - 1].second;
    }
  }
  rig.Device(4)->PanRange = 630;
  rig.Device(4)->TiltRange = 265;
}

// The master's pan and tilt, one pair a tick: its marks, points between
// them, one repeated, two off the stage.
inline const std::vector<std::pair<std::int32_t, std::int32_t>>& ScenarioReadings() {
  static const std::vector<std::pair<std::int32_t, std::int32_t>> readings = {
      {128, 159}, {112, 157}, {116, 170}, {138, 167}, {138, 167}, {149, 156}, {121, 161},
      {136, 157}, {128, 170}, {101, 157}, {154, 157}, {184, 97},  {56, 79},   {128, 159},
  };
  return readings;
}

// The master's readings in order, a pair for each read of its pan channel;
// past the last pair every read fails, so that ticks write nothing more.
// Records each call as "R <channel> <value>" or "W <channel> <value>".
class ScenarioHost final : public HostChannels {
 public:
  ScenarioHost(std::int32_t panChannel, std::int32_t tiltChannel)
      : pan_(panChannel), tilt_(tiltChannel) {}

  std::error_code ReadChannel(std::int32_t channel, std::int32_t& value) override {
    const auto& readings = ScenarioReadings();
    if (channel == pan_) ++next_;
    if (next_ == 0 || next_ > readings.size() || (channel != pan_ && channel != tilt_))
      return std::make_error_code(std::errc::io_error);
    value = channel == pan_ ? readings[next_ - 1].first : readings[next_ - 1].second;
    lines_ += "R " + std::to_string(channel) + " " + std::to_string(value) + "\n";
    return {};
  }
  std::error_code WriteChannel(std::int32_t channel, std::int32_t value) override {
    lines_ += "W " + std::to_string(channel) + " " + std::to_string(value) + "\n";
    return {};
  }

  // Every reading was handed out and the tick after the last one began.
  bool Done() const { return next_ > ScenarioReadings().size(); }
  const std::string& Lines() const { return lines_; }

 private:
  std::int32_t pan_;
  std::int32_t tilt_;
  std::size_t next_ = 0;
  std::string lines_;
};

inline const char* MethodName(std::int16_t method) {
  switch (method) {
    case kFollowLinear:
      return "linear";
    case kFollowDistance:
      return "distance";
    default:
      return "trigonometric";
  }
}

}  // namespace tb::testing

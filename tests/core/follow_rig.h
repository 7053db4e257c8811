// A rig store on a fake host for the follow methods' tests: device d on
// channels 10d (pan) and 10d+1 (tilt), device 1 the master, every device
// uncalibrated until a test calibrates it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "fake_host.h"
#include "rig/rig_store.h"
#include "stage_geometry.h"

namespace tb::testing {

class FollowRig {
 public:
  FollowRig() {
    auto fake = std::make_unique<FakeHost>();
    host = fake.get();
    store.SetHostHelper(std::move(fake));
    store.MasterDevice = 1;
    for (std::int16_t d = 1; d <= kDeviceCount; ++d) {
      store.Device(d)->PanChannel = PanChannel(d);
      store.Device(d)->TiltChannel = TiltChannel(d);
      Calibrate(d, kUncalibratedPairs);
    }
  }

  static std::int32_t PanChannel(int d) { return 10 * d; }
  static std::int32_t TiltChannel(int d) { return 10 * d + 1; }

  static constexpr Pairs kUncalibratedPairs = {{{-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}};

  void Calibrate(std::int16_t d, const Pairs& pairs) {
    for (int p = 1; p <= kPointCount; ++p) {
      *store.Pan(d, p) = pairs[p - 1].first;
      *store.Tilt(d, p) = pairs[p - 1].second;
    }
  }

  // A modelled head as device d: its ranges, and its calibration taken on
  // the marks on the side of `preferred`.
  void Install(std::int16_t d, const Head& head, Aim preferred) {
    store.Device(d)->PanRange = static_cast<std::int32_t>(head.panRange);
    store.Device(d)->TiltRange = static_cast<std::int32_t>(head.tiltRange);
    Calibrate(d, testing::Calibrate(head, preferred));
  }

  void MasterReads(std::int32_t pan, std::int32_t tilt) {
    const int m = store.MasterDevice;
    host->channels[store.Device(m)->PanChannel] = pan;
    host->channels[store.Device(m)->TiltChannel] = tilt;
  }

  // The pair written to device d in the last tick's calls, if any.
  std::vector<std::pair<std::int32_t, std::int32_t>> WrittenTo(std::int16_t d) const {
    std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
    const auto& calls = host->calls;
    for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
      if (calls[i].kind == HostCall::Write && calls[i].channel == PanChannel(d) &&
          calls[i + 1].kind == HostCall::Write && calls[i + 1].channel == TiltChannel(d))
        pairs.emplace_back(calls[i].value, calls[i + 1].value);
    }
    return pairs;
  }

  RigStore store;
  FakeHost* host = nullptr;
};

inline HostCall Read(std::int32_t channel, std::int32_t value) {
  return {HostCall::Read, channel, value};
}
inline HostCall Write(std::int32_t channel, std::int32_t value) {
  return {HostCall::Write, channel, value};
}

}  // namespace tb::testing

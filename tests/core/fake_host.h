// An in-process host for tests: keeps a value for every channel number it
// is given, records every call in order and fails on request.
#pragma once

#include <cstdint>
#include <map>
#include <system_error>
#include <vector>

#include "rig/host_channels.h"

namespace tb::testing {

struct HostCall {
  enum Kind { Read, Write } kind;
  std::int32_t channel;
  std::int32_t value;  // the value written, or the value a read returned
  bool operator==(const HostCall&) const = default;
};

class FakeHost : public HostChannels {
 public:
  std::map<std::int32_t, std::int32_t> channels;
  std::vector<HostCall> calls;
  int failCallNumber = 0;  // 1-based; 0 never
  bool failReads = false;
  bool failWrites = false;
  std::error_code failure = std::make_error_code(std::errc::io_error);

  std::error_code ReadChannel(std::int32_t channel, std::int32_t& value) override {
    if (ShouldFail(failReads)) return failure;
    value = channels[channel];
    calls.push_back({HostCall::Read, channel, value});
    return {};
  }
  std::error_code WriteChannel(std::int32_t channel, std::int32_t value) override {
    if (ShouldFail(failWrites)) return failure;
    channels[channel] = value;
    calls.push_back({HostCall::Write, channel, value});
    return {};
  }

 private:
  int callCount_ = 0;
  bool ShouldFail(bool kindFails) { return ++callCount_ == failCallNumber || kindFails; }
};

}  // namespace tb::testing

// What the core needs of the host: reading and writing one DMX channel.
// The plug-in shell implements it over the host's helper object; tests and
// benchmarks implement it in-process.
#pragma once

#include <cstdint>
#include <system_error>

namespace tb {

class HostChannels {
 public:
  virtual ~HostChannels() = default;
  // value: receives the channel's value on success, untouched on failure.
  virtual std::error_code ReadChannel(std::int32_t channel, std::int32_t& value) = 0;
  // One write: fetches the host's output object, writes, releases it.
  virtual std::error_code WriteChannel(std::int32_t channel, std::int32_t value) = 0;
};

}  // namespace tb

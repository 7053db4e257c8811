// What the show box tells on stderr while it runs: one status line, and the
// count of follow ticks in the last minute behind it. Plain C++.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tbhost {

// Events of the last minute, counted per second of a steady clock: sixty
// buckets and nothing allocated per event, since every follow tick adds one.
class LastMinuteCount {
 public:
  void Add(std::int64_t second);
  // The events in the sixty seconds up to and including `second`.
  std::int64_t Count(std::int64_t second) const;

 private:
  struct Bucket {
    bool used = false;
    std::int64_t second = 0;
    std::int64_t count = 0;
  };
  static constexpr std::int64_t kSeconds = 60;
  std::array<Bucket, kSeconds> buckets_{};
};

struct RunStatus {
  bool following = false;
  std::string master;  // how the operator knows it, e.g. "Spot" (device 1, channels 1/2)
  std::string method;
  std::int64_t ticksLastMinute = 0;
  std::int64_t writes = 0;       // since the box started
  std::int64_t failedCalls = 0;  // host calls the plug-in made that failed
  std::string ola;               // the bridge's own line
};

// "status: follow on, master ..., method ..., N ticks in the last minute, ..."
std::string StatusLine(const RunStatus& status);

}  // namespace tbhost

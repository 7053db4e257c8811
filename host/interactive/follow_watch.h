// Follow mode as the host sees it from outside: every tick the plug-in reads
// the master's pan and then its tilt, at its timer's pace. Nothing else in
// the reads repeats like that (Get Value reads a pair once per press), so a
// channel read at the start of a burst, burst after burst, 50 to 250 ms
// apart, is the master's pan. Plain C++, no Qt: the caller brings the clock.
#pragma once

#include <cstdint>
#include <deque>
#include <limits>
#include <unordered_map>

namespace tbhost {

struct FollowSeen {
  bool on = false;
  int panChannel = 0;  // the master's, while on
  int tiltChannel = 0;
  // Mean rate over the last ticks in whole ticks per second, so that a few
  // milliseconds of jitter do not count as a change; 0 until five ticks
  // gave it.
  int ticksPerSecond = 0;
  friend bool operator==(const FollowSeen&, const FollowSeen&) = default;
};

class FollowWatch {
 public:
  // Without a tick for this long follow mode counts as off.
  static constexpr std::int64_t kQuietMs = 350;

  // A successful read of `channel` at `nowMs`; true when what is seen changed.
  bool OnRead(int channel, std::int64_t nowMs);
  // To be called once kQuietMs have passed since the last tick; true when
  // follow mode now counts as off.
  bool OnQuiet(std::int64_t nowMs);
  const FollowSeen& Seen() const { return seen_; }
  std::int64_t LastTickMs() const { return lastTickMs_; }

 private:
  static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::min() / 2;
  static constexpr std::int64_t kBurstGapMs = 20;
  static constexpr std::int64_t kMinPeriodMs = 50;
  static constexpr std::int64_t kMaxPeriodMs = 250;
  static constexpr std::size_t kRateTicks = 10;

  struct Rhythm {
    std::int64_t lastStart = kNever;
    int regular = 0;  // gaps in a row within the period's bounds
  };
  bool OnTick(int channel, std::int64_t nowMs);
  int TicksPerSecond() const;

  FollowSeen seen_;
  std::int64_t lastReadMs_ = kNever;
  std::int64_t lastTickMs_ = kNever;
  bool tiltDue_ = false;
  std::unordered_map<int, Rhythm> rhythms_;
  std::deque<std::int64_t> ticks_;  // of the current master
};

}  // namespace tbhost

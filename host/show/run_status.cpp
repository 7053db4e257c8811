#include "host/show/run_status.h"

namespace tbhost {
void LastMinuteCount::Add(std::int64_t second) {
  const std::int64_t slot = ((second % kSeconds) + kSeconds) % kSeconds;
  Bucket& b = buckets_[static_cast<std::size_t>(slot)];
  if (!b.used || b.second != second) b = {true, second, 0};
  ++b.count;
}

std::int64_t LastMinuteCount::Count(std::int64_t second) const {
  std::int64_t total = 0;
  for (const Bucket& b : buckets_)
    // The distance taken unsigned: exact for b.second <= second, and it
    // cannot overflow at either end of the range.
    if (b.used && b.second <= second &&
        static_cast<std::uint64_t>(second) - static_cast<std::uint64_t>(b.second) <
            static_cast<std::uint64_t>(kSeconds))
      total += b.count;
  return total;
}

std::string StatusLine(const RunStatus& s) {
  return std::string("status: follow ") + (s.following ? "on" : "off") + ", master " + s.master +
         ", method " + s.method + ", " + std::to_string(s.ticksLastMinute) +
         " ticks in the last minute, " + std::to_string(s.writes) + " writes, " +
         std::to_string(s.failedCalls) + " failed host calls; " + s.ola;
}

}  // namespace tbhost

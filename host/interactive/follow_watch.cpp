#include "host/interactive/follow_watch.h"

#include <cmath>

namespace tbhost {

bool FollowWatch::OnRead(int channel, std::int64_t nowMs) {
  const bool burstStart = nowMs - lastReadMs_ >= kBurstGapMs;
  lastReadMs_ = nowMs;
  if (!burstStart) {
    if (!tiltDue_) return false;
    tiltDue_ = false;
    if (seen_.tiltChannel == channel) return false;
    seen_.tiltChannel = channel;
    return true;
  }
  tiltDue_ = false;
  Rhythm& rhythm = rhythms_[channel];
  const std::int64_t gap = nowMs - rhythm.lastStart;
  rhythm.lastStart = nowMs;
  rhythm.regular = gap >= kMinPeriodMs && gap <= kMaxPeriodMs ? rhythm.regular + 1 : 0;
  // Two regular gaps in a row: a double press of Get Value is not a tick.
  if (rhythm.regular < 2) return false;
  return OnTick(channel, nowMs);
}

bool FollowWatch::OnTick(int channel, std::int64_t nowMs) {
  const FollowSeen before = seen_;
  lastTickMs_ = nowMs;
  tiltDue_ = true;
  if (!seen_.on || seen_.panChannel != channel) {
    ticks_.clear();
    seen_.on = true;
    seen_.panChannel = channel;
  }
  ticks_.push_back(nowMs);
  if (ticks_.size() > kRateTicks) ticks_.pop_front();
  seen_.ticksPerSecond = TicksPerSecond();
  return seen_ != before;
}

int FollowWatch::TicksPerSecond() const {
  // Over a few ticks only, a little jitter would swing the rate by one.
  if (ticks_.size() < kRateTicks / 2) return 0;
  const double span = static_cast<double>(ticks_.back() - ticks_.front());
  if (span <= 0) return 0;
  return static_cast<int>(std::lround(1000.0 * static_cast<double>(ticks_.size() - 1) / span));
}

bool FollowWatch::OnQuiet(std::int64_t nowMs) {
  if (!seen_.on || nowMs - lastTickMs_ < kQuietMs) return false;
  seen_ = FollowSeen{};
  ticks_.clear();
  tiltDue_ = false;
  return true;
}

}  // namespace tbhost

#include "ui/follow_rate_entry.h"

#include "rig/rig_store.h"

namespace tb::ui {

std::optional<std::int32_t> FollowRateEntry(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return kDefaultFollowRate;
  const auto last = text.find_last_not_of(" \t");
  const std::string digits = text.substr(first, last - first + 1);
  // Two digits at most: every offered rate has two, and no sum can overflow.
  if (digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const std::int32_t rate = std::stoi(digits);
  if (!IsFollowRate(rate)) return std::nullopt;
  return rate;
}

std::string FollowRateText(std::int32_t rate) {
  return std::to_string(IsFollowRate(rate) ? rate : kDefaultFollowRate);
}

}  // namespace tb::ui

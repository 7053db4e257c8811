#include "ui/stage_entries.h"

#include <algorithm>
#include <cmath>

#include "rig/settings_extension.h"

namespace tb::ui {

namespace {

bool Blank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

// A whole number with blanks around it, in at most `most` digits so that no
// sum can overflow; nullopt for anything else. `text` is not blank.
std::optional<std::int32_t> Digits(const std::string& text, std::size_t most) {
  const auto first = text.find_first_not_of(" \t");
  const auto last = text.find_last_not_of(" \t");
  const std::string digits = text.substr(first, last - first + 1);
  if (digits.size() > most || digits.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::stoi(digits);
}

}  // namespace

std::optional<double> StageLengthEntry(const std::string& text) {
  if (Blank(text)) return 0.0;
  const auto cm = ParseCentimetres(text, true);
  if (!cm) return std::nullopt;
  if (*cm == 0) return 0.0;
  if (*cm < kMinStageCentimetres || *cm > kMaxStageCentimetres) return std::nullopt;
  return *cm / 100.0;
}

std::optional<std::int32_t> HeightChannelEntry(const std::string& text) {
  if (Blank(text)) return 0;
  const auto channel = Digits(text, 4);
  if (!channel || *channel > kMaxHeightChannel) return std::nullopt;
  return channel;
}

std::optional<std::int32_t> FollowRateEntry(const std::string& text) {
  if (Blank(text)) return kDefaultFollowRate;
  const auto rate = Digits(text, 2);
  if (!rate || !IsFollowRate(*rate)) return std::nullopt;
  return rate;
}

std::optional<double> FollowHeightEntry(const std::string& text) {
  if (Blank(text)) return 0.0;
  const auto cm = ParseCentimetres(text, true);
  if (!cm || *cm > kMaxFollowHeightCentimetres) return std::nullopt;
  return *cm / 100.0;
}

std::string StageLengthText(double metres) {
  const auto cm = StageCentimetres(metres);
  return cm ? MetresText(*cm) : std::string();
}

std::string HeightChannelText(std::int32_t channel) {
  return channel >= 1 && channel <= kMaxHeightChannel ? std::to_string(channel) : std::string();
}

std::string FollowRateText(std::int32_t rate) {
  return std::to_string(IsFollowRate(rate) ? rate : kDefaultFollowRate);
}

std::string FollowHeightText(double metres) {
  if (!std::isfinite(metres) || metres < 0.0) return MetresText(0);
  const double cm = std::round(metres * 100.0);
  return MetresText(static_cast<std::int32_t>(std::min(cm, double{kMaxFollowHeightCentimetres})));
}

}  // namespace tb::ui

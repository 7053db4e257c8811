#include "ui/stage_entries.h"

#include <algorithm>
#include <cmath>

#include "rig/settings_extension.h"

namespace tb::ui {

namespace {

bool Blank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

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
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return 0;
  const auto last = text.find_last_not_of(" \t");
  const std::string digits = text.substr(first, last - first + 1);
  // Four digits at most: the sum stays small, and 512 is the largest.
  if (digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int channel = std::stoi(digits);
  if (channel > kMaxHeightChannel) return std::nullopt;
  return channel;
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

std::string FollowHeightText(double metres) {
  if (!std::isfinite(metres) || metres < 0.0) return MetresText(0);
  const double cm = std::round(metres * 100.0);
  return MetresText(static_cast<std::int32_t>(std::min(cm, double{kMaxFollowHeightCentimetres})));
}

}  // namespace tb::ui

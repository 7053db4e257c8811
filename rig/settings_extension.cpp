#include "rig/settings_extension.h"

#include <cmath>
#include <cstdio>

namespace tb {

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr std::string_view kStageK1K3 = "StageK1K3";
constexpr std::string_view kStageK1K2 = "StageK1K2";
constexpr std::string_view kHeightChannel = "HeightChannel";
constexpr std::string_view kFollowRate = "FollowRate";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Plain decimal digits, at most nine of them, so the sum cannot overflow.
std::optional<std::int32_t> Digits(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  std::int32_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// 0 is "not given"; anything else must be a stage length.
std::optional<std::int32_t> StoredLength(std::string_view text) {
  const auto cm = ParseCentimetres(text, false);
  if (!cm) return std::nullopt;
  if (*cm != 0 && (*cm < kMinStageCentimetres || *cm > kMaxStageCentimetres)) return std::nullopt;
  return cm;
}

std::optional<std::int32_t> StoredChannel(std::string_view text) {
  const auto channel = Digits(Trim(text));
  if (!channel || *channel > kMaxHeightChannel) return std::nullopt;
  return channel;
}

std::optional<std::int32_t> StoredRate(std::string_view text) {
  const auto rate = Digits(Trim(text));
  if (!rate || !IsFollowRate(*rate)) return std::nullopt;
  return rate;
}

void AppendNumber(std::string& out, std::string_view key, std::int32_t value) {
  out.append(key);
  out += '=';
  out += std::to_string(value);
  out += kLineEnd;
}

void AppendLength(std::string& out, std::string_view key, double metres) {
  const auto cm = StageCentimetres(metres);
  if (!cm) return;
  out.append(key);
  out += '=';
  out += MetresText(*cm);
  out += kLineEnd;
}

}  // namespace

std::string MetresText(std::int32_t centimetres) {
  const std::int64_t cm = centimetres;
  const std::int64_t whole = (cm < 0 ? -cm : cm) / 100;
  const std::int64_t part = (cm < 0 ? -cm : cm) % 100;
  std::string out = cm < 0 ? "-" : "";
  out += std::to_string(whole);
  out += '.';
  if (part < 10) out += '0';
  out += std::to_string(part);
  return out;
}

std::optional<std::int32_t> StageCentimetres(double metres) {
  if (!std::isfinite(metres)) return std::nullopt;
  const double cm = std::round(metres * 100.0);
  if (cm < kMinStageCentimetres || cm > kMaxStageCentimetres) return std::nullopt;
  return static_cast<std::int32_t>(cm);
}

std::optional<std::int32_t> ParseCentimetres(std::string_view text, bool allowComma) {
  text = Trim(text);
  std::size_t point = text.find('.');
  if (point == std::string_view::npos && allowComma) point = text.find(',');
  const std::string_view whole = text.substr(0, point);
  const std::string_view part =
      point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  if (whole.size() > 7 || part.size() > 2) return std::nullopt;
  if (whole.empty() && part.empty()) return std::nullopt;
  std::int32_t cm = 0;
  if (!whole.empty()) {
    const auto metres = Digits(whole);
    if (!metres) return std::nullopt;
    cm = *metres * 100;
  }
  if (!part.empty()) {
    const auto hundredths = Digits(part);
    if (!hundredths) return std::nullopt;
    cm += part.size() == 1 ? *hundredths * 10 : *hundredths;
  }
  return cm;
}

std::string ExtensionLines(const RigStore& store) {
  std::string body;
  AppendLength(body, kStageK1K3, store.StageK1K3);
  AppendLength(body, kStageK1K2, store.StageK1K2);
  if (store.HeightChannel >= 1 && store.HeightChannel <= kMaxHeightChannel)
    AppendNumber(body, kHeightChannel, store.HeightChannel);
  // The default is not written: a rig at ten ticks a second saves as before.
  if (store.FollowRate != kDefaultFollowRate && IsFollowRate(store.FollowRate))
    AppendNumber(body, kFollowRate, store.FollowRate);
  if (body.empty()) return body;
  return kExtensionMarker + std::string(kLineEnd) + body;
}

ExtensionReader::ExtensionReader(RigStore& store) : store_(store) {
  store_.StageK1K3 = 0.0;
  store_.StageK1K2 = 0.0;
  store_.HeightChannel = 0;
  store_.FollowRate = kDefaultFollowRate;
}

void ExtensionReader::Line(std::string_view line) {
  if (!inSection_) {
    inSection_ = Trim(line) == kExtensionMarker;
    return;
  }
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return;
  const std::string_view key = Trim(line.substr(0, equals));
  const std::string_view value = line.substr(equals + 1);
  if (key == kStageK1K3 || key == kStageK1K2) {
    if (const auto cm = StoredLength(value))
      (key == kStageK1K3 ? store_.StageK1K3 : store_.StageK1K2) = *cm / 100.0;
  } else if (key == kHeightChannel) {
    if (const auto channel = StoredChannel(value)) store_.HeightChannel = *channel;
  } else if (key == kFollowRate) {
    if (const auto rate = StoredRate(value)) store_.FollowRate = *rate;
  }
}

}  // namespace tb

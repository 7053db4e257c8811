#include "rig/settings_extension.h"

#include <cmath>
#include <cstdio>

#include "rig/cp1252.h"
#include "rig/device_lines.h"

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

// "Device5", "Device5.K1" .. "Device5.KM": the described lines' own
// layout behind a key, so one parser reads both.
constexpr std::string_view kDeviceKey = "Device";
constexpr std::array<std::string_view, kPointCount> kPointKeys = {".K1", ".K2", ".K3", ".K4",
                                                                  ".KM"};

std::string KeyOf(int d) { return std::string(kDeviceKey) + std::to_string(d + 1); }

// A slot nobody filled in is not written: the file keeps only devices in use.
bool IsFreshSlot(const RigStore& store, int d) {
  const DeviceRecord& device = store.DeviceTable[d];
  const DeviceRecord fresh;
  if (!device.Name.empty() || device.PanChannel != 0 || device.TiltChannel != 0 ||
      device.PanRange != fresh.PanRange || device.TiltRange != fresh.TiltRange ||
      HasFineChannels(device) || store.DeviceCalibrated[d] != VFalse)
    return false;
  for (int p = 0; p < kPointCount; ++p) {
    if (store.PanCalibration[d][p] != Uncalibrated || store.TiltCalibration[d][p] != Uncalibrated)
      return false;
  }
  return true;
}

void AppendDevice(std::string& out, const RigStore& store, int d) {
  const std::string key = KeyOf(d);
  out += key + '=';
  AppendDeviceLine(out, store.DeviceTable[d]);
  for (int p = 0; p < kPointCount; ++p) {
    out += key;
    out.append(kPointKeys[p]);
    out += '=';
    AppendPointLine(out, store, d, p);
  }
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
  for (int d = kDescribedDevices; d < kDeviceCount; ++d)
    if (!IsFreshSlot(store, d)) AppendDevice(body, store, d);
  if (body.empty()) return body;
  return kExtensionMarker + std::string(kLineEnd) + body;
}

std::optional<DeviceKey> ParseDeviceKey(std::string_view key) {
  if (!key.starts_with(kDeviceKey)) return std::nullopt;
  key.remove_prefix(kDeviceKey.size());
  DeviceKey slot;
  const std::size_t dot = key.find('.');
  if (dot != std::string_view::npos) {
    for (int p = 0; p < kPointCount; ++p)
      if (key.substr(dot) == kPointKeys[p]) slot.p = p;
    if (slot.p < 0) return std::nullopt;
  }
  const std::string_view digits = key.substr(0, dot);
  if (digits.starts_with('0')) return std::nullopt;  // only the keys the writer writes
  const auto number = Digits(digits);
  if (!number || *number <= kDescribedDevices || *number > kDeviceCount) return std::nullopt;
  slot.d = *number - 1;
  return slot;
}

ExtensionReader::ExtensionReader(RigStore& store, bool utf8) : store_(store), utf8_(utf8) {
  store_.StageK1K3 = 0.0;
  store_.StageK1K2 = 0.0;
  store_.HeightChannel = 0;
  store_.FollowRate = kDefaultFollowRate;
  for (int d = kDescribedDevices; d < kDeviceCount; ++d) store_.DeviceTable[d] = DeviceRecord{};
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
  } else if (const auto slot = ParseDeviceKey(key)) {
    if (slot->p < 0)
      DeviceLine(slot->d, value);
    else
      PointLine(slot->d, slot->p, value);
  }
}

// A device line is taken whole or not at all. Its fine channels decide
// whether the points carry fine values, so a device left without them
// drops fine values taken under an earlier line of the same key.
void ExtensionReader::DeviceLine(int d, std::string_view value) {
  DeviceRecord device;
  const bool utf8 = utf8_ || ReadsAsUtf8({std::string(value)});
  if (TakeDeviceLine(device, value, utf8)) return;
  store_.DeviceTable[d] = std::move(device);
  if (HasFineChannels(store_.DeviceTable[d])) return;
  store_.PanFineCalibration[d].fill(0);
  store_.TiltFineCalibration[d].fill(0);
}

// A damaged point line leaves the point, and the device's flag, as before.
void ExtensionReader::PointLine(int d, int p, std::string_view value) {
  const VBool flag = store_.DeviceCalibrated[d];
  const std::array<std::int32_t, 4> point = {
      store_.PanCalibration[d][p], store_.TiltCalibration[d][p], store_.PanFineCalibration[d][p],
      store_.TiltFineCalibration[d][p]};
  if (!TakePointLine(store_, d, p, value)) return;
  store_.DeviceCalibrated[d] = flag;
  store_.PanCalibration[d][p] = point[0];
  store_.TiltCalibration[d][p] = point[1];
  store_.PanFineCalibration[d][p] = point[2];
  store_.TiltFineCalibration[d][p] = point[3];
}

}  // namespace tb

#include "rig/device_lines.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <utility>

#include "rig/cp1252.h"
#include "rig/settings_file.h"

namespace tb {

namespace {

constexpr const char* kLineEnd = "\r\n";

void AppendFields(std::string& out, std::int32_t a, std::int32_t b) {
  out += ',';
  out += std::to_string(a);
  out += ',';
  out += std::to_string(b);
}

// Up to seven fields of a line split at every comma; an empty line has
// none, a line without commas has one. Fields after the seventh are ignored.
struct Fields {
  std::array<std::string_view, 7> field{};
  std::size_t count = 0;
};

Fields Split(std::string_view line) {
  Fields f;
  if (line.empty()) return f;
  for (;;) {
    const auto comma = line.find(',');
    if (f.count < f.field.size()) f.field[f.count] = line.substr(0, comma);
    ++f.count;
    if (comma == std::string_view::npos || f.count == f.field.size()) break;
    line.remove_prefix(comma + 1);
  }
  return f;
}

struct Number {
  enum Kind { Invalid, InRange, OutOfRange } kind = Invalid;
  std::int32_t value = 0;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

Number ParseNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return {};
  // Saturates just past the int32 range, so any number of digits is safe.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 2;
  std::int64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return {};
    if (magnitude < kLimit) magnitude = magnitude * 10 + (c - '0');
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return {Number::OutOfRange, 0};
  }
  return {Number::InRange, static_cast<std::int32_t>(value)};
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
  const Number n = ParseNumber(text);
  if (n.kind != Number::InRange) return std::nullopt;
  return n.value;
}

bool IsRange(const std::optional<std::int32_t>& value) {
  return value && *value >= kMinRange && *value <= kMaxRange;
}

// Fields 3 and 4 of a device line; the defaults unless both are ranges.
void TakeRanges(DeviceRecord& device, const Fields& f) {
  const auto pan = f.count >= 5 ? ParseInt32(f.field[3]) : std::nullopt;
  const auto tilt = f.count >= 5 ? ParseInt32(f.field[4]) : std::nullopt;
  const bool both = IsRange(pan) && IsRange(tilt);
  device.PanRange = both ? *pan : kDefaultPanRange;
  device.TiltRange = both ? *tilt : kDefaultTiltRange;
}

// An optional field: its number, or 0 when it is missing or broken.
std::int32_t OptionalField(const Fields& f, std::size_t index) {
  if (f.count <= index) return 0;
  return ParseInt32(f.field[index]).value_or(0);
}

// Field `index` as a whole number into `target`; the reason why not.
std::optional<std::string> TakeNumber(const Fields& f, std::size_t index, const char* what,
                                      std::int32_t& target) {
  if (f.count <= index) return std::string("it has no ") + what;
  const auto value = ParseInt32(f.field[index]);
  if (!value) return std::string("its ") + what + " is no whole number";
  target = *value;
  return std::nullopt;
}

// A name as stored: Windows-1252, or UTF-8 where the file was saved so.
// Only a name that saving and reading back keeps is taken.
std::optional<std::string> TakeName(std::string_view field, bool utf8, std::string& name) {
  if (field.size() > kMaxNameBytes) return std::string("its name is too long");
  std::string text = utf8 ? std::string(field) : Cp1252ToUtf8(field);
  if (!IsStorableName(text)) return std::string("its name cannot be saved as it stands");
  name = std::move(text);
  return std::nullopt;
}

}  // namespace

// The ranges follow the channels only when they are not 540/270 or when
// fine channels come after them. A range outside 1..1080 (which the store
// should never hold) is written as the nearest one the reader takes, so
// that it reads back as written.
void AppendDeviceLine(std::string& out, const DeviceRecord& device) {
  const std::int32_t pan = std::clamp(device.PanRange, kMinRange, kMaxRange);
  const std::int32_t tilt = std::clamp(device.TiltRange, kMinRange, kMaxRange);
  const bool fine = HasFineChannels(device);
  out += Utf8ToCp1252(device.Name);
  AppendFields(out, device.PanChannel, device.TiltChannel);
  if (fine || pan != kDefaultPanRange || tilt != kDefaultTiltRange) AppendFields(out, pan, tilt);
  if (fine) AppendFields(out, device.PanFineChannel, device.TiltFineChannel);
  out += kLineEnd;
}

void AppendPointLine(std::string& out, const RigStore& store, int d, int p) {
  out += store.DeviceCalibrated[d] != VFalse ? "1" : "0";
  AppendFields(out, store.PanCalibration[d][p], store.TiltCalibration[d][p]);
  if (HasFineChannels(store.DeviceTable[d]))
    AppendFields(out, store.PanFineCalibration[d][p], store.TiltFineCalibration[d][p]);
  out += kLineEnd;
}

std::optional<std::string> TakeDeviceLine(DeviceRecord& device, std::string_view line, bool utf8) {
  const Fields f = Split(line);
  if (f.count < 1) return std::string("it is empty");
  if (auto why = TakeName(f.field[0], utf8, device.Name)) return why;
  if (auto why = TakeNumber(f, 1, "pan channel", device.PanChannel)) return why;
  if (auto why = TakeNumber(f, 2, "tilt channel", device.TiltChannel)) return why;
  TakeRanges(device, f);
  device.PanFineChannel = OptionalField(f, 5);
  device.TiltFineChannel = OptionalField(f, 6);
  return std::nullopt;
}

std::optional<std::string> TakePointLine(RigStore& store, int d, int p, std::string_view line) {
  const Fields f = Split(line);
  if (f.count < 1) return std::string("it is empty");
  const Number flag = ParseNumber(f.field[0]);
  if (flag.kind == Number::Invalid) return std::string("its calibrated flag is no number");
  if (flag.kind != Number::InRange || flag.value != 1) return std::nullopt;
  store.DeviceCalibrated[d] = VTrue;
  if (auto why = TakeNumber(f, 1, "pan value", store.PanCalibration[d][p])) return why;
  if (auto why = TakeNumber(f, 2, "tilt value", store.TiltCalibration[d][p])) return why;
  if (HasFineChannels(store.DeviceTable[d])) {
    store.PanFineCalibration[d][p] = OptionalField(f, 3);
    store.TiltFineCalibration[d][p] = OptionalField(f, 4);
  }
  return std::nullopt;
}

}  // namespace tb

#include "host/interactive/saved_calibration.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <string>

#include "rig/rig_store.h"
#include "rig/settings_extension.h"

namespace tbhost {
namespace {

// The devices of the 25 lines, and all of them with the extension's: the
// plug-in's own counts and marker, so that both read the same file.
constexpr int kDescribedDevices = tb::kDescribedDevices;
constexpr int kDevices = tb::kDeviceCount;
constexpr int kMarks = tb::kPointCount;
constexpr std::size_t kDescribedLines = 1 + kDescribedDevices * (1 + kMarks);
constexpr std::string_view kExtensionMarker = tb::kExtensionMarker;

// The file's lines; CR LF as the plug-in writes, a bare LF or CR tolerated.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(line.substr(start, comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

// A whole decimal number, optionally signed, with blanks around it;
// anything else, or a value beyond int, is none.
std::optional<int> Number(std::string_view field) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!field.empty() && blank(field.front())) field.remove_prefix(1);
  while (!field.empty() && blank(field.back())) field.remove_suffix(1);
  if (field.size() > 1 && field.front() == '+' && field[1] != '-') field.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (error != std::errc() || end != field.data() + field.size() || field.empty())
    return std::nullopt;
  return value;
}

std::optional<int> NumberAt(const std::vector<std::string_view>& fields, std::size_t i) {
  return i < fields.size() ? Number(fields[i]) : std::nullopt;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Read as the plug-in reads it: a name with a comma in it leaves no
// channels to match the device to a head.
SavedDevice DeviceOfLine(std::string_view line) {
  const std::vector<std::string_view> head = Fields(line);
  SavedDevice device;
  device.name = std::string(head.front());
  device.panChannel = NumberAt(head, 1);
  device.tiltChannel = NumberAt(head, 2);
  return device;
}

void TakeMark(SavedDevice& device, int mark, std::string_view line) {
  const std::vector<std::string_view> point = Fields(line);
  if (NumberAt(point, 0) == 1) device.flagged = true;
  const auto pan = NumberAt(point, 1);
  const auto tilt = NumberAt(point, 2);
  device.taken[static_cast<std::size_t>(mark)] = pan && tilt && *pan != -1 && *tilt != -1;
}

// "Device7" (mark -1) or "Device7.K1".."Device7.KM": the device from 0, and
// the mark, as the plug-in's own reader takes the key.
struct ExtensionKey {
  int device = -1;
  int mark = -1;
};

std::optional<ExtensionKey> ParseKey(std::string_view key) {
  const auto parsed = tb::ParseDeviceKey(key);
  if (!parsed) return std::nullopt;
  return ExtensionKey{parsed->d, parsed->p};
}

// Devices 5 to 16 from the extension section after the 25 lines, in number
// order; a device whose own line is missing is not listed. A later line of
// the same key replaces an earlier one.
std::vector<SavedDevice> ExtensionDevices(const std::vector<std::string_view>& lines) {
  std::array<std::optional<SavedDevice>, kDevices> found;
  std::array<std::array<std::optional<std::string_view>, kMarks>, kDevices> marks;
  bool inSection = false;
  for (std::size_t i = kDescribedLines; i < lines.size(); ++i) {
    if (!inSection) {
      inSection = Trim(lines[i]) == kExtensionMarker;
      continue;
    }
    const std::size_t equals = lines[i].find('=');
    if (equals == std::string_view::npos) continue;
    const auto key = ParseKey(Trim(lines[i].substr(0, equals)));
    if (!key) continue;
    const std::string_view value = lines[i].substr(equals + 1);
    const auto d = static_cast<std::size_t>(key->device);
    if (key->mark < 0)
      found[d] = DeviceOfLine(value);
    else
      marks[d][static_cast<std::size_t>(key->mark)] = value;
  }
  std::vector<SavedDevice> devices;
  for (std::size_t d = 0; d < found.size(); ++d) {
    if (!found[d]) continue;
    for (int m = 0; m < kMarks; ++m)
      if (const auto& line = marks[d][static_cast<std::size_t>(m)]) TakeMark(*found[d], m, *line);
    devices.push_back(std::move(*found[d]));
  }
  return devices;
}

}  // namespace

int SavedDevice::TakenCount() const {
  return static_cast<int>(std::count(taken.begin(), taken.end(), true));
}

std::vector<SavedDevice> ReadSavedCalibration(std::string_view text) {
  const std::vector<std::string_view> lines = Lines(text);
  std::vector<SavedDevice> devices;
  for (int d = 0; d < kDescribedDevices; ++d) {
    const std::size_t first = 1 + static_cast<std::size_t>(d) * (1 + kMarks);
    if (first + kMarks >= lines.size()) return devices;
    SavedDevice device = DeviceOfLine(lines[first]);
    for (int m = 0; m < kMarks; ++m)
      TakeMark(device, m, lines[first + 1 + static_cast<std::size_t>(m)]);
    devices.push_back(std::move(device));
  }
  for (SavedDevice& device : ExtensionDevices(lines)) devices.push_back(std::move(device));
  return devices;
}

}  // namespace tbhost

#include "host/interactive/saved_calibration.h"

#include <algorithm>
#include <charconv>

namespace tbhost {
namespace {

constexpr int kDevices = 4;
constexpr int kMarks = 5;

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

}  // namespace

int SavedDevice::TakenCount() const {
  return static_cast<int>(std::count(taken.begin(), taken.end(), true));
}

std::vector<SavedDevice> ReadSavedCalibration(std::string_view text) {
  const std::vector<std::string_view> lines = Lines(text);
  std::vector<SavedDevice> devices;
  for (int d = 0; d < kDevices; ++d) {
    const std::size_t first = 1 + static_cast<std::size_t>(d) * (1 + kMarks);
    if (first + kMarks >= lines.size()) break;
    const std::vector<std::string_view> head = Fields(lines[first]);
    SavedDevice device;
    device.name = std::string(head.front());
    // Read as the plug-in reads it: a name with a comma in it leaves no
    // channels to match the device to a head.
    device.panChannel = NumberAt(head, 1);
    device.tiltChannel = NumberAt(head, 2);
    for (int m = 0; m < kMarks; ++m) {
      const std::vector<std::string_view> point = Fields(lines[first + 1 + m]);
      if (NumberAt(point, 0) == 1) device.flagged = true;
      const auto pan = NumberAt(point, 1);
      const auto tilt = NumberAt(point, 2);
      device.taken[static_cast<std::size_t>(m)] = pan && tilt && *pan != -1 && *tilt != -1;
    }
    devices.push_back(std::move(device));
  }
  return devices;
}

}  // namespace tbhost

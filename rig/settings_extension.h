// TrailBeam.ini's extension section: what the described 25 lines cannot
// hold, in lines after them that a reader of those 25 lines never looks at.
//
//   [TrailBeam extension]
//   StageK1K3=8.00
//   StageK1K2=6.00
//   HeightChannel=17
//   FollowRate=25
//   Device5=Spot 5,33,34
//   Device5.K1=1,120,80
//   ...
//   Device5.KM=1,128,96
//
// One marker line, then one Key=Value line per value. The section is
// written only when it holds something, so a rig without these values
// saves exactly the 25 lines it always did. Keys a reader does not know are
// skipped, and so is a line whose value does not pass its key's test: a
// later writer adds keys without breaking an earlier reader, and a damaged
// line costs only its own value.
//
// Devices 5 to 16 are written here, each in use (named, or given channels
// or calibration) as its device line and its five point lines in the
// described lines' layout (device_lines.h), in number order, after the
// other keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rig/rig_store.h"

namespace tb {

inline constexpr const char* kExtensionMarker = "[TrailBeam extension]";

// A stage length, in whole centimetres so that it reads back as written.
inline constexpr std::int32_t kMinStageCentimetres = 10;      // 0.10 m
inline constexpr std::int32_t kMaxStageCentimetres = 10'000;  // 100.00 m
// The height channel: a DMX channel of one universe.
inline constexpr std::int32_t kMaxHeightChannel = 512;

// A length in metres as the file and the windows write it: whole
// centimetres with a full stop, whatever the locale ("8.00", "0.15").
std::string MetresText(std::int32_t centimetres);

// A stage length held in metres as whole centimetres, or nullopt for 0, a
// value outside kMin..kMaxStageCentimetres or no number at all.
std::optional<std::int32_t> StageCentimetres(double metres);

// Text of a length in metres: digits, optionally a decimal separator
// ('.' always, ',' too when allowComma) and at most two decimals, blanks
// around it. nullopt when it is not such a number; the range is not tested.
std::optional<std::int32_t> ParseCentimetres(std::string_view text, bool allowComma);

// The section's lines, each ending in CR LF, or nothing when the store has
// no value for it.
std::string ExtensionLines(const RigStore& store);

// A later device's key, as the writer writes it: "Device7" gives d 6 and
// p -1 (its device line), "Device7.K2" d 6 and p 1 (a point line). Any
// other key, devices 1 to 4 and leading zeros included, gives nullopt.
struct DeviceKey {
  int d = -1;
  int p = -1;
};
std::optional<DeviceKey> ParseDeviceKey(std::string_view key);

// Reads the section from the lines after the described ones, one line at a
// time. Lines before the marker are foreign and ignored. Made when a file
// is read at all, it first sets the section's values to "not given": the
// file, not an earlier one, decides them (devices 5 to 16 included).
class ExtensionReader {
 public:
  // `utf8`: the described lines were saved in UTF-8, so names here are too.
  ExtensionReader(RigStore& store, bool utf8);
  void Line(std::string_view line);

 private:
  void DeviceLine(int d, std::string_view value);
  void PointLine(int d, int p, std::string_view value);

  RigStore& store_;
  bool utf8_ = false;
  bool inSection_ = false;
};

}  // namespace tb

// TrailBeam.ini's extension section: what the described 25 lines cannot
// hold, in lines after them that a reader of those 25 lines never looks at.
//
//   [TrailBeam extension]
//   StageK1K3=8.00
//   StageK1K2=6.00
//   HeightChannel=17
//   FollowRate=25
//
// One marker line, then one Key=Value line per value. The section is
// written only when it holds something, so a rig without these values
// saves exactly the 25 lines it always did. Keys a reader does not know are
// skipped, and so is a line whose value does not pass its key's test: a
// later writer adds keys (devices beyond 4, say) without
// breaking an earlier reader, and a damaged line costs only its own value.
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

// Reads the section from the lines after the described ones, one line at a
// time. Lines before the marker are foreign and ignored. Made when a file
// is read at all, it first sets the section's values to "not given": the
// file, not an earlier one, decides them.
class ExtensionReader {
 public:
  explicit ExtensionReader(RigStore& store);
  void Line(std::string_view line);

 private:
  RigStore& store_;
  bool inSection_ = false;
};

}  // namespace tb

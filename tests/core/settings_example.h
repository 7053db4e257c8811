// The worked example of TrailBeam.ini: a rig in the store and the exact
// lines that saving it writes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "rig/rig_store.h"

namespace tb::testing {

// The example rig: devices 1 and 2 calibrated, device 3 named with only K2
// taken, device 4 never named.
struct ExampleDevice {
  const char* name;
  std::int32_t pan, tilt;
  bool calibrated;
  std::array<std::pair<std::int32_t, std::int32_t>, 5> points;
};
inline const ExampleDevice kExample[4] = {
    {"Spot links", 1, 2, true, {{{60, 40}, {60, 200}, {220, 40}, {220, 200}, {140, 120}}}},
    {"Spot rechts", 17, 18, true, {{{30, 10}, {31, 190}, {200, 20}, {210, 180}, {90, 70}}}},
    {"Wash 3", 33, 35, false, {{{-1, -1}, {96, 140}, {-1, -1}, {-1, -1}, {-1, -1}}}},
    {"", 0, 0, false, {{{-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}}},
};

inline const std::vector<std::string> kExampleLines = {
    "TrailBeam.ini", "Spot links,1,2", "1,60,40",           "1,60,200",     "1,220,40",
    "1,220,200",     "1,140,120",      "Spot rechts,17,18", "1,30,10",      "1,31,190",
    "1,200,20",      "1,210,180",      "1,90,70",           "Wash 3,33,35", "0,-1,-1",
    "0,96,140",      "0,-1,-1",        "0,-1,-1",           "0,-1,-1",      ",0,0",
    "0,-1,-1",       "0,-1,-1",        "0,-1,-1",           "0,-1,-1",      "0,-1,-1"};

inline std::string Join(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
  std::string out;
  for (const auto& line : lines) out += line + end;
  return out;
}

// The store as the example rig leaves it in memory before a save.
inline void FillWithExample(RigStore& store) {
  for (int d = 1; d <= 4; ++d) {
    const ExampleDevice& e = kExample[d - 1];
    *store.Device(d) = {e.name, e.pan, e.tilt};
    *store.Calibrated(d) = e.calibrated ? VTrue : VFalse;
    for (int p = 1; p <= 5; ++p) {
      *store.Pan(d, p) = e.points[p - 1].first;
      *store.Tilt(d, p) = e.points[p - 1].second;
    }
  }
}

}  // namespace tb::testing

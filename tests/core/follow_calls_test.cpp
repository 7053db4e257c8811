// Every follow method's host calls on a rig of modelled heads and one walk
// of the master, written out and compared with tests/data/follow_calls.txt.
// The Linux and the Windows builds (64-bit and 32-bit, whose floating-point
// code differs) run this same test against that same file, so a difference
// between them in any call or value fails one of them. After a deliberate change of a
// method, TB_WRITE_FOLLOW_CALLS=1 rewrites the file from the Linux build.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "follow/follow_methods.h"
#include "follow_rig.h"
#include "stage_geometry.h"

namespace tb {
namespace {

using testing::FollowRig;

// Modelled heads: the master in front, three slaves hung and standing
// around the stage, each calibrated on its marks.
void InstallModelledHeads(FollowRig& rig) {
  rig.Install(1, testing::FrontMaster(), testing::kPositiveSide);
  const auto mountings = testing::Mountings();
  for (std::int16_t d = 2; d <= kDescribedDevices; ++d) {
    const auto& mounting = mountings[static_cast<std::size_t>(d - 2) % mountings.size()];
    rig.Install(d, mounting.head, mounting.side);
  }
  rig.store.DeviceCalibrated = {VTrue, VTrue, VTrue, VTrue};
}

// The master's walk: its five points, the halves between them and KM and
// between neighbouring corners, a step off each point, and the channel's
// ends.
std::vector<std::pair<std::int32_t, std::int32_t>> Walk(const RigStore& store) {
  std::vector<std::pair<std::int32_t, std::int32_t>> walk;
  const auto point = [&](int p) { return std::pair{*store.Pan(1, p), *store.Tilt(1, p)}; };
  const auto half = [](auto a, auto b) {
    return std::pair{(a.first + b.first) / 2, (a.second + b.second) / 2};
  };
  for (int p = 1; p <= kPointCount; ++p) {
    walk.push_back(point(p));
    walk.push_back({point(p).first + 1, point(p).second - 1});
    if (p <= 4) {
      walk.push_back(half(point(p), point(5)));
      walk.push_back(half(point(p), point(p % 4 + 1)));
    }
  }
  walk.insert(walk.end(), {{0, 0}, {255, 255}, {0, 255}, {255, 0}});
  return walk;
}

std::string RecordWalk() {
  FollowRig rig;
  InstallModelledHeads(rig);
  std::ostringstream out;
  for (const std::int16_t method : {kFollowLinear, kFollowDistance, kFollowTrigonometric}) {
    rig.store.FollowMethod = method;
    FollowEngine engine;
    engine.Start();
    for (const auto& [pan, tilt] : Walk(rig.store)) {
      rig.MasterReads(pan, tilt);
      rig.host->calls.clear();
      const std::error_code error = engine.OnTimer(rig.store);
      out << "method " << method << " master " << pan << "," << tilt << ":";
      for (const auto& call : rig.host->calls) {
        out << (call.kind == testing::HostCall::Read ? " read " : " write ") << call.channel << "="
            << call.value;
      }
      if (error) out << " error";
      out << "\n";
    }
  }
  return out.str();
}

TEST(FollowCalls, EveryMethodCallForCallAsRecorded) {
  const std::string actual = RecordWalk();
#if !defined(_WIN32)
  if (const char* write = std::getenv("TB_WRITE_FOLLOW_CALLS"); write && *write == '1') {
    std::ofstream(TB_FOLLOW_CALLS_FILE, std::ios::binary) << actual;
  }
#endif
  std::ifstream in(TB_FOLLOW_CALLS_FILE, std::ios::binary);
  ASSERT_TRUE(in) << TB_FOLLOW_CALLS_FILE;
  const std::string expected{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(actual, expected);
}

}  // namespace
}  // namespace tb

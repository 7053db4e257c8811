#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "follow/follow_methods.h"
#include "follow_rig.h"

namespace tb {
namespace {

using testing::FollowRig;
using testing::HostCall;
using testing::Pairs;
using testing::Read;
using testing::Write;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// The worked example of the linear step: master and slave around KM.
const Pairs kMaster = {{{60, 40}, {60, 200}, {220, 40}, {220, 200}, {140, 120}}};
const Pairs kSlave = {{{30, 10}, {31, 190}, {200, 20}, {210, 180}, {90, 70}}};

class DistanceTickTest : public ::testing::Test, public FollowRig {
 protected:
  std::vector<HostCall> Tick() {
    host->calls.clear();
    EXPECT_FALSE(DistanceTick(store));
    return host->calls;
  }
  std::pair<std::int32_t, std::int32_t> SlaveFor(std::int32_t pan, std::int32_t tilt) {
    MasterReads(pan, tilt);
    const auto calls = Tick();
    EXPECT_EQ(calls.size(), 4u);
    return calls.size() == 4u ? std::pair{calls[2].value, calls[3].value} : std::pair{-1, -1};
  }
};

TEST_F(DistanceTickTest, MasterOnItsPointsSendsEverySlaveToItsOwnInLinearOrder) {
  store.MasterDevice = 3;
  Calibrate(3, kMaster);
  Calibrate(1, kSlave);
  Pairs reversed = kSlave;  // pan running the other way
  for (auto& point : reversed) point.first = 255 - point.first;
  Calibrate(2, reversed);
  Pairs wide = kSlave;  // beyond the channel range: limited like any value
  wide[4] = {300, -20};
  Calibrate(4, wide);
  for (int p = 0; p < kPointCount; ++p) {
    const auto [pan, tilt] = kMaster[p];
    MasterReads(pan, tilt);
    const auto [widePan, wideTilt] = p == 4 ? std::pair{255, 0} : wide[p];
    EXPECT_EQ(Tick(), (std::vector<HostCall>{
                          Read(30, pan), Read(31, tilt), Write(10, kSlave[p].first),
                          Write(11, kSlave[p].second), Write(20, reversed[p].first),
                          Write(21, reversed[p].second), Write(40, widePan), Write(41, wideTilt)}))
        << "point " << p + 1;
  }
}

TEST_F(DistanceTickTest, NeighbouringReadingsGiveNeighbouringValues) {
  // Over the whole channel range, across every border between triangles
  // and through KM. The slave's steepest triangle moves it 1.125 per step,
  // so neighbours may differ by 2 after rounding, never more.
  Calibrate(1, kMaster);
  Calibrate(2, kSlave);
  constexpr int kSize = 256;
  std::vector<std::pair<std::int32_t, std::int32_t>> values(kSize * kSize);
  for (int pan = 0; pan < kSize; ++pan)
    for (int tilt = 0; tilt < kSize; ++tilt) values[pan * kSize + tilt] = SlaveFor(pan, tilt);
  int worst = 0;
  for (int pan = 0; pan < kSize; ++pan) {
    for (int tilt = 0; tilt < kSize; ++tilt) {
      const auto here = values[pan * kSize + tilt];
      for (const auto& [dp, dt] : {std::pair{1, 0}, std::pair{0, 1}}) {
        if (pan + dp >= kSize || tilt + dt >= kSize) continue;
        const auto next = values[(pan + dp) * kSize + tilt + dt];
        worst = std::max(
            {worst, std::abs(next.first - here.first), std::abs(next.second - here.second)});
      }
    }
  }
  EXPECT_LE(worst, 2);
  // The linear step jumps by more at its zone border (pan midpoint 140):
  // slave tilt 25 in zone 1, 32 in zone 3.
  const auto LinearTilt = [&](std::int32_t pan) {
    MasterReads(pan, 60);
    host->calls.clear();
    EXPECT_FALSE(FollowTick(store));
    return host->calls.at(3).value;
  };
  EXPECT_GT(std::abs(LinearTilt(140) - LinearTilt(139)), 2);
}

TEST_F(DistanceTickTest, UnusableTrianglesHandTheirReadingsToTheNearestUsableOne) {
  Calibrate(2, kSlave);
  // KM on the line K1-K2: the triangle (KM, K1, K2) is flat, its half of
  // the plane is placed by the neighbouring triangles, each extending its
  // own map; the corners stay exact.
  Pairs flatLeft = kMaster;
  flatLeft[4] = {60, 120};
  // K3 and K4 swapped: the triangles to K2-K4 and K3-K1 are flat, and the
  // readings straight above and below KM lie in no triangle.
  const Pairs folded = {{{0, 0}, {0, 200}, {200, 200}, {200, 0}, {100, 100}}};
  // Every point on one line: nothing can be placed, the slave holds its KM.
  const Pairs line = {{{60, 40}, {60, 200}, {60, 60}, {60, 180}, {60, 120}}};
  const struct {
    const char* name;
    const Pairs& master;
    std::int32_t pan, tilt, slavePan, slaveTilt;
  } cases[] = {
      // (K3, K1) places it deepest: a = -0.125 of K3, b = 0.875 of K1:
      // 90 - 0.125 * 110 + 0.875 * -60 = 23.75, 70 + 0.125 * 50 - 0.875 * 60 = 23.75
      {"flat, below", flatLeft, 40, 60, 24, 24},
      // (K2, K4): 0.875 of K2, -0.125 of K4: 23.375 and 161.25
      {"flat, above", flatLeft, 40, 180, 23, 161},
      {"flat, at K1", flatLeft, 60, 40, 30, 10},
      {"flat, at K2", flatLeft, 60, 200, 31, 190},
      // (K1, K2): -0.25 of K1, 0.35 of K2: 90 + 15 - 20.65, 70 + 15 + 42
      {"folded, above KM", folded, 90, 160, 84, 127},
      {"folded, at K3", folded, 200, 200, 200, 20},
      {"line", line, 200, 10, 90, 70},
      {"line, at KM", line, 60, 120, 90, 70},
  };
  for (const auto& c : cases) {
    Calibrate(1, c.master);
    EXPECT_EQ(SlaveFor(c.pan, c.tilt), std::pair(c.slavePan, c.slaveTilt)) << c.name;
  }
  // Held at KM, the value is still limited.
  Pairs wide = kSlave;
  wide[4] = {300, -20};
  Calibrate(2, wide);
  EXPECT_EQ(SlaveFor(200, 10), std::pair(255, 0));
}

TEST_F(DistanceTickTest, HostileCalibrationStaysDefinedAndInRange) {
  // Extreme values on the pan axis of both devices and in the reading; the
  // sanitizers watch the arithmetic, the test the range of what is written.
  const std::int32_t values[] = {kMin, kMin + 1, -1, 0, 1, 255, kMax - 1, kMax};
  Pairs master = kMaster;
  Pairs slave = kSlave;
  Calibrate(2, slave);
  for (std::int32_t masterK1 : values) {
    for (std::int32_t masterKm : values) {
      for (std::int32_t reading : values) {
        for (std::int32_t slaveK1 : values) {
          for (std::int32_t slaveKm : values) {
            master[0].first = masterK1;
            master[4].first = masterKm;
            Calibrate(1, master);
            slave[0].first = slaveK1;
            slave[4].first = slaveKm;
            slave[0].second = slaveKm;  // tilt too, so that it is rarely plain
            Calibrate(2, slave);
            MasterReads(reading, kMin);
            const auto calls = Tick();
            // An uncalibrated master places no one.
            const bool calibrated = slaveK1 != Uncalibrated && slaveKm != Uncalibrated &&
                                    masterK1 != Uncalibrated && masterKm != Uncalibrated;
            const std::size_t expected = calibrated ? 4u : 2u;
            if (calls.size() != expected) {
              ADD_FAILURE() << "calls: " << calls.size();
              return;
            }
            for (std::size_t i = 2; i < calls.size(); ++i) {
              if (calls[i].value < 0 || calls[i].value > 255) {
                ADD_FAILURE() << masterK1 << " " << masterKm << " " << reading << " " << slaveK1
                              << " " << slaveKm << " wrote " << calls[i].value;
                return;
              }
            }
          }
        }
      }
    }
  }
}

TEST_F(DistanceTickTest, WithoutMasterOrHelperNothingIsReadOrWritten) {
  Calibrate(1, kMaster);
  Calibrate(2, kSlave);
  for (std::int16_t m : {0, -1, 17}) {
    store.MasterDevice = m;
    host->calls.clear();
    EXPECT_EQ(DistanceTick(store), make_error_code(Errc::out_of_range)) << m;
    EXPECT_TRUE(host->calls.empty()) << m;
  }
  store.MasterDevice = 1;
  store.SetHostHelper(nullptr);
  EXPECT_EQ(DistanceTick(store), make_error_code(Errc::no_host_helper));
}

}  // namespace
}  // namespace tb

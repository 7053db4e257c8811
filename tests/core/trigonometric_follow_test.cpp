#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "follow/follow_methods.h"
#include "follow_rig.h"
#include "stage_geometry.h"

namespace tb {
namespace {

using testing::Aim;
using testing::FloorPoint;
using testing::FollowRig;
using testing::Head;
using testing::HostCall;
using testing::HungDown;
using testing::Pairs;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// Device 1 is the master in front of the stage; the slaves are installed by
// each test. The trigonometric method is chosen and follow mode started.
class TrigonometricFollowTest : public ::testing::Test, public FollowRig {
 protected:
  void SetUp() override {
    store.FollowMethod = kFollowTrigonometric;
    Install(1, master, testing::kPositiveSide);
    engine.Start();
  }

  std::vector<HostCall> Tick() {
    host->calls.clear();
    EXPECT_FALSE(engine.OnTimer(store));
    return host->calls;
  }

  // Aims the master at a floor point with 8-bit values; returns where its
  // beam then meets the floor.
  FloorPoint MasterAt(FloorPoint target) {
    const Aim aim = testing::AimNear(master, target, testing::kPositiveSide).value();
    const std::int32_t pan = static_cast<std::int32_t>(std::lround(aim.pan));
    const std::int32_t tilt = static_cast<std::int32_t>(std::lround(aim.tilt));
    MasterReads(pan, tilt);
    return testing::Spot(master, pan, tilt).value();
  }

  const Head master = testing::FrontMaster();
  FollowEngine engine;
};

// How far a written pair is from the nearest exact aim at a floor point, in
// 8-bit steps on the worse axis.
double StepsFromExactAim(const Head& head, FloorPoint target,
                         std::pair<std::int32_t, std::int32_t> written) {
  double best = std::numeric_limits<double>::infinity();
  for (const Aim& aim : testing::AimsAt(head, target))
    best = std::min(
        best, std::max(std::abs(aim.pan - written.first), std::abs(aim.tilt - written.second)));
  return best;
}

TEST_F(TrigonometricFollowTest, MasterOnItsPointsSendsEverySlaveToItsOwnInLinearOrder) {
  const auto mountings = testing::Mountings();
  const Pairs masterPairs = testing::Calibrate(master, testing::kPositiveSide);
  for (std::size_t first = 0; first < mountings.size(); first += 3) {
    std::vector<std::int16_t> slaves;
    for (std::int16_t d = 2; d <= 4; ++d) {
      const std::size_t i = first + static_cast<std::size_t>(d) - 2;
      if (i < mountings.size()) {
        Install(d, mountings[i].head, mountings[i].side);
        slaves.push_back(d);
      } else {
        Calibrate(d, kUncalibratedPairs);
      }
    }
    engine.Start();
    for (int p = 0; p < kPointCount; ++p) {
      MasterReads(masterPairs[p].first, masterPairs[p].second);
      const auto calls = Tick();
      ASSERT_EQ(calls.size(), 2 + 2 * slaves.size());
      EXPECT_EQ(calls[0], testing::Read(10, masterPairs[p].first));
      EXPECT_EQ(calls[1], testing::Read(11, masterPairs[p].second));
      for (std::size_t s = 0; s < slaves.size(); ++s) {
        const std::int16_t d = slaves[s];
        const HostCall& pan = calls[2 + 2 * s];
        const HostCall& tilt = calls[3 + 2 * s];
        EXPECT_EQ(pan.kind, HostCall::Write);
        EXPECT_EQ(pan.channel, PanChannel(d));
        EXPECT_EQ(tilt.kind, HostCall::Write);
        EXPECT_EQ(tilt.channel, TiltChannel(d));
        EXPECT_LE(std::abs(pan.value - *store.Pan(d, p + 1)), 1)
            << mountings[first + s].name << " at point " << p + 1;
        EXPECT_LE(std::abs(tilt.value - *store.Tilt(d, p + 1)), 1)
            << mountings[first + s].name << " at point " << p + 1;
      }
    }
  }
}

TEST_F(TrigonometricFollowTest, SlavesHitTheMastersSpotWhereverTheyHang) {
  // With exact calibration the map is exact (RaysTest); here the ten
  // calibration values are 8-bit, and their rounding moves a slave by up to
  // about one and a half steps besides the half step of its own rounding.
  for (const auto& mounting : testing::Mountings()) {
    Install(2, mounting.head, mounting.side);
    engine.Start();
    double worst = 0.0;
    for (double x = 1.0; x <= 7.0; x += 0.5) {
      for (double y = 1.0; y <= 5.0; y += 0.5) {
        const FloorPoint spot = MasterAt({x, y});
        Tick();
        const auto written = WrittenTo(2);
        ASSERT_EQ(written.size(), 1u) << mounting.name << " at " << x << ", " << y;
        worst = std::max(worst, StepsFromExactAim(mounting.head, spot, written[0]));
      }
    }
    EXPECT_LE(worst, 2.0) << mounting.name;
  }
}

TEST_F(TrigonometricFollowTest, SlavesStayPutWhileTheMasterPointsOffTheMarkedFloor) {
  Install(2, testing::Mountings()[1].head, testing::Mountings()[1].side);
  // The marks' square reaches 1.5 of its sizes beyond its middle: x -5..13,
  // y -3..9 on this stage.
  const struct {
    FloorPoint target;
    bool followed;
  } targets[] = {
      {{4, 3}, true},   {{-4, 7}, true},  {{12, -2}, true}, {{4, 10}, false},
      {{15, 3}, false}, {{-7, 3}, false}, {{4, 40}, false},
  };
  for (const auto& t : targets) {
    MasterAt(t.target);
    EXPECT_EQ(Tick().size(), t.followed ? 4u : 2u) << t.target.x << ", " << t.target.y;
  }
  // Raising the master's beam from the floor past the horizon: once it
  // meets no floor, nothing is written.
  int held = 0;
  for (std::int32_t tilt = 128; tilt <= 255; ++tilt) {
    MasterReads(128, tilt);
    const std::size_t calls = Tick().size();
    if (!testing::Spot(master, 128, tilt)) {
      EXPECT_EQ(calls, 2u) << "tilt " << tilt;
      ++held;
    }
  }
  EXPECT_GT(held, 30);
}

TEST_F(TrigonometricFollowTest, WideHeadFollowsAroundWithoutSwingingAFullTurn) {
  // A 630/265 head over the stage: the master circles KM around it, so the
  // slave's pan goes once all the way round, across the turn where its ray
  // has two pan values in range.
  const Head wide = HungDown({2.5, 3.5, 7.0}, 90.0, 630.0, 265.0);
  Install(2, wide, testing::kPositiveSide);
  const auto Circle = [&](bool startEveryTick) {
    std::optional<std::pair<std::int32_t, std::int32_t>> previous;
    int largestJump = 0;
    std::int32_t lowestPan = 255;
    std::int32_t highestPan = 0;
    engine.Start();
    constexpr int kSteps = 400;
    for (int i = 0; i <= kSteps; ++i) {
      const double angle = 2.0 * std::acos(-1.0) * i / kSteps;
      MasterAt({4.0 + 3.0 * std::cos(angle), 3.0 + 2.0 * std::sin(angle)});
      if (startEveryTick) engine.Start();
      Tick();
      const auto written = WrittenTo(2);
      if (written.size() != 1u) {
        ADD_FAILURE() << "not followed at step " << i;
        return std::pair{-1, -1};
      }
      const auto [pan, tilt] = written[0];
      if (previous)
        largestJump = std::max(
            {largestJump, std::abs(pan - previous->first), std::abs(tilt - previous->second)});
      previous = written[0];
      lowestPan = std::min(lowestPan, pan);
      highestPan = std::max(highestPan, pan);
    }
    return std::pair{largestJump, highestPan - lowestPan};
  };
  // Measured from KM at every tick, the slave swings on this path.
  EXPECT_GE(Circle(true).first, 60);
  // Measured from its last pair it does not. A turn is 146 steps of 630
  // degrees; single jumps of a few steps come from the master's own 8-bit
  // steps close under the slave.
  const auto [jump, travel] = Circle(false);
  EXPECT_LE(jump, 20);
  EXPECT_GE(travel, 140);
}

// A slave that led for a while was moved by the operator, not by us: once
// it follows again, its pair is measured from its KM pair, not from where
// we last sent it.
TEST_F(TrigonometricFollowTest, AChangeOfMasterForgetsThePairsLastWritten) {
  const Head wide = HungDown({2.5, 3.5, 7.0}, 90.0, 630.0, 265.0);
  Install(2, wide, testing::kPositiveSide);
  Install(3, testing::Mountings()[0].head, testing::kPositiveSide);
  const auto kmPair = std::pair{*store.Pan(2, kPointKM), *store.Tilt(2, kPointKM)};
  // The master circles KM, so the wide head's pan goes once round and ends
  // a turn away from its KM pair.
  constexpr int kSteps = 200;
  for (int i = 0; i <= kSteps; ++i) {
    const double angle = 2.0 * std::acos(-1.0) * i / kSteps;
    MasterAt({4.0 + 3.0 * std::cos(angle), 3.0 + 2.0 * std::sin(angle)});
    Tick();
  }
  const auto afterCircle = WrittenTo(2);
  ASSERT_EQ(afterCircle.size(), 1u);
  ASSERT_GT(std::abs(afterCircle[0].first - kmPair.first), 100) << "the circle did not turn it";

  // Device 3 leads for a tick while the operator puts device 2 back on KM
  // by hand; then device 1 leads again, aimed at KM.
  store.MasterDevice = 3;
  Tick();
  store.MasterDevice = 1;
  MasterAt(testing::kMarks[kPointKM - 1]);
  Tick();
  const auto written = WrittenTo(2);
  ASSERT_EQ(written.size(), 1u);
  EXPECT_LE(std::abs(written[0].first - kmPair.first), 2);
  EXPECT_LE(std::abs(written[0].second - kmPair.second), 2);
}

TEST_F(TrigonometricFollowTest, SlaveWithoutAUsableMapIsNeverWritten) {
  Install(2, testing::Mountings()[0].head, testing::Mountings()[0].side);
  const Pairs good = testing::Calibrate(testing::Mountings()[2].head, testing::kPositiveSide);
  Pairs threeEqual = good;
  threeEqual[1] = threeEqual[2] = threeEqual[0];
  const struct {
    const char* name;
    Pairs pairs;
  } cases[] = {
      {"all five the same", {{{90, 160}, {90, 160}, {90, 160}, {90, 160}, {90, 160}}}},
      {"one pan for all", {{{90, 150}, {90, 170}, {90, 190}, {90, 210}, {90, 180}}}},
      {"K1, K2 and K3 the same", threeEqual},
  };
  for (const auto& c : cases) {
    Calibrate(3, c.pairs);
    for (double x = 0.0; x <= 8.0; x += 1.0) {
      for (double y = 0.0; y <= 6.0; y += 1.0) {
        MasterAt({x, y});
        Tick();
        EXPECT_EQ(WrittenTo(2).size(), 1u) << c.name;
        EXPECT_TRUE(WrittenTo(3).empty()) << c.name << " at " << x << ", " << y;
      }
    }
  }
  // A master whose points span nothing holds every slave.
  Calibrate(1, cases[0].pairs);
  MasterReads(90, 160);
  EXPECT_EQ(Tick().size(), 2u);
}

TEST_F(TrigonometricFollowTest, MapsAreRefittedWhenTheirInputsChangeAndOnlyThen) {
  const auto mountings = testing::Mountings();
  Install(2, mountings[0].head, mountings[0].side);
  Install(3, mountings[1].head, mountings[1].side);
  MasterAt({3.0, 2.0});
  Tick();
  EXPECT_EQ(engine.Fits(), 3u);  // the marks' square and two slaves
  const struct {
    const char* name;
    void (*change)(RigStore&);
    std::uint64_t fits;
  } changes[] = {
      {"nothing", [](RigStore&) {}, 0},
      {"a slave's point", [](RigStore& s) { *s.Tilt(3, 2) += 4; }, 1},
      {"a slave's pan range", [](RigStore& s) { s.Device(3)->PanRange = 630; }, 1},
      {"a slave's tilt range", [](RigStore& s) { s.Device(2)->TiltRange = 200; }, 1},
      {"the master's point", [](RigStore& s) { *s.Tilt(1, 1) += 5; }, 3},
      {"the master's range", [](RigStore& s) { s.Device(1)->PanRange = 600; }, 3},
      {"the master", [](RigStore& s) { s.MasterDevice = 2; }, 3},
  };
  for (const auto& c : changes) {
    const auto before = Tick();
    const std::uint64_t fitsBefore = engine.Fits();
    c.change(store);
    const auto after = Tick();
    EXPECT_EQ(engine.Fits() - fitsBefore, c.fits) << c.name;
    // The next tick already works with the new values: as an engine that
    // never saw the old ones.
    FollowEngine fresh;
    fresh.Start();
    host->calls.clear();
    EXPECT_FALSE(fresh.OnTimer(store));
    EXPECT_EQ(after, host->calls) << c.name;
    if (c.fits == 0) {
      EXPECT_EQ(after, before) << c.name;
    } else {
      EXPECT_NE(after, before) << c.name;
    }
  }
}

TEST_F(TrigonometricFollowTest, HostileCalibrationRangesAndReadingsStayDefinedAndInRange) {
  Install(2, testing::Mountings()[0].head, testing::Mountings()[0].side);
  const std::int32_t values[] = {kMin, -1, 255, kMax};
  const std::int32_t ranges[] = {kMin, 0, kMax};
  for (std::int32_t masterK1 : values) {
    for (std::int32_t masterKm : values) {
      for (std::int32_t slaveK2 : values) {
        for (std::int32_t slaveKm : values) {
          for (std::int32_t reading : values) {
            for (std::int32_t range : ranges) {
              *store.Pan(1, 1) = masterK1;
              *store.Tilt(1, 5) = masterKm;
              *store.Pan(2, 2) = slaveK2;
              *store.Tilt(2, 5) = slaveKm;
              store.Device(2)->PanRange = range;
              store.Device(1)->TiltRange = range;
              MasterReads(reading, 180);
              const auto calls = Tick();
              for (std::size_t i = 2; i < calls.size(); ++i) {
                if (calls[i].value < 0 || calls[i].value > 255) {
                  ADD_FAILURE() << masterK1 << " " << masterKm << " " << slaveK2 << " " << slaveKm
                                << " " << reading << " " << range << " wrote " << calls[i].value;
                  return;
                }
              }
            }
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tb

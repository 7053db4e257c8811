#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "follow/follow_methods.h"
#include "follow_rig.h"
#include "stage_geometry.h"

namespace tb {
namespace {

using testing::FakeHost;
using testing::FollowRig;
using testing::HostCall;

// Master in front, three slaves around the stage, the master on a spot
// where every method moves every slave.
class FollowEngineTest : public ::testing::Test, public FollowRig {
 protected:
  void SetUp() override {
    const auto mountings = testing::Mountings();
    Install(1, testing::FrontMaster(), testing::kPositiveSide);
    for (std::int16_t d = 2; d <= 4; ++d) Install(d, mountings[d - 2].head, mountings[d - 2].side);
    MasterReads(125, 175);
  }

  // The calls of one run of `step` on a fresh host with the same channels.
  template <class Step>
  std::vector<HostCall> CallsOf(Step step) {
    host->calls.clear();
    EXPECT_FALSE(step());
    return host->calls;
  }

  FollowEngine engine;
};

TEST_F(FollowEngineTest, TimerRunsTheStepOfTheCurrentMethod) {
  store.FollowMethod = kFollowLinear;
  const auto linear = CallsOf([&] { return FollowTick(store); });
  const auto distance = CallsOf([&] { return DistanceTick(store); });
  ASSERT_EQ(linear.size(), 8u);
  ASSERT_EQ(distance.size(), 8u);
  ASSERT_NE(linear, distance);

  engine.Start();
  EXPECT_EQ(CallsOf([&] { return engine.OnTimer(store); }), linear);
  store.FollowMethod = kFollowDistance;
  EXPECT_EQ(CallsOf([&] { return engine.OnTimer(store); }), distance);
  store.FollowMethod = kFollowTrigonometric;
  const auto trigonometric = CallsOf([&] { return engine.OnTimer(store); });
  ASSERT_EQ(trigonometric.size(), 8u);
  EXPECT_NE(trigonometric, linear);
  EXPECT_NE(trigonometric, distance);
  for (std::int16_t method : {0, 4, -1, 32767}) {
    store.FollowMethod = method;
    EXPECT_TRUE(CallsOf([&] { return engine.OnTimer(store); }).empty()) << method;
  }
}

TEST_F(FollowEngineTest, FailingHostCallEndsTheTickAndTheNextStartsAfresh) {
  for (std::int16_t method : {kFollowDistance, kFollowTrigonometric}) {
    store.FollowMethod = method;
    engine.Start();
    const auto full = CallsOf([&] { return engine.OnTimer(store); });
    ASSERT_EQ(full.size(), 8u);
    for (int failing = 1; failing <= static_cast<int>(full.size()); ++failing) {
      auto fresh = std::make_unique<FakeHost>();
      host = fresh.get();
      store.SetHostHelper(std::move(fresh));
      MasterReads(125, 175);
      host->failCallNumber = failing;
      EXPECT_EQ(engine.OnTimer(store), host->failure) << method << " failing " << failing;
      EXPECT_EQ(host->calls, std::vector<HostCall>(full.begin(), full.begin() + failing - 1))
          << method << " failing " << failing;
      EXPECT_EQ(CallsOf([&] { return engine.OnTimer(store); }), full)
          << method << " after failing " << failing;
    }
  }
}

TEST_F(FollowEngineTest, WithoutMasterOrHelperNothingIsReadOrWritten) {
  for (std::int16_t method : {kFollowDistance, kFollowTrigonometric}) {
    store.FollowMethod = method;
    for (std::int16_t m : {0, -1, 17}) {
      store.MasterDevice = m;
      host->calls.clear();
      EXPECT_EQ(engine.OnTimer(store), make_error_code(Errc::out_of_range)) << method << " " << m;
      EXPECT_TRUE(host->calls.empty());
    }
    store.MasterDevice = 1;
  }
  store.SetHostHelper(nullptr);
  EXPECT_EQ(engine.OnTimer(store), make_error_code(Errc::no_host_helper));
}

TEST_F(FollowEngineTest, UncalibratedSlavesAreSkippedAndEveryFlagIsRefreshed) {
  Calibrate(3, kUncalibratedPairs);
  store.DeviceCalibrated = {VFalse, VFalse, VTrue, VFalse};
  for (std::int16_t method : {kFollowDistance, kFollowTrigonometric}) {
    store.FollowMethod = method;
    const auto calls = CallsOf([&] { return engine.OnTimer(store); });
    ASSERT_EQ(calls.size(), 6u) << method;
    EXPECT_EQ(calls[2].channel, PanChannel(2));
    EXPECT_EQ(calls[4].channel, PanChannel(4));
    EXPECT_EQ(store.DeviceCalibrated,
              (std::array<VBool, kDeviceCount>{VTrue, VTrue, VFalse, VTrue}));
  }
}

// A master that lost its calibration (Clear, a reloaded window, a setup
// whose file held it incomplete) still leads: its Uncalibrated values must
// not place anyone, whatever the method.
TEST_F(FollowEngineTest, MasterWithoutCalibrationWritesNothing) {
  const struct {
    const char* what;
    int point;  // 1..5: the one point lost; 0: all of them
  } losses[] = {{"all points", 0}, {"KM only", 5}, {"K4 only", 4}};
  for (std::int16_t method : {kFollowLinear, kFollowDistance, kFollowTrigonometric}) {
    for (const auto& loss : losses) {
      SetUp();
      store.FollowMethod = method;
      if (loss.point == 0)
        Calibrate(1, kUncalibratedPairs);
      else
        *store.Pan(1, loss.point) = Uncalibrated;
      engine.Start();
      const auto calls = CallsOf([&] { return engine.OnTimer(store); });
      for (const HostCall& call : calls)
        EXPECT_EQ(call.kind, HostCall::Read) << method << ", " << loss.what;
      // The flags are refreshed as in every tick.
      EXPECT_EQ(store.DeviceCalibrated,
                (std::array<VBool, kDeviceCount>{VFalse, VTrue, VTrue, VTrue}))
          << method << ", " << loss.what;
    }
  }
}

}  // namespace
}  // namespace tb

#include "rig/rig_store.h"

#include <gtest/gtest.h>

namespace tb {
namespace {

TEST(RigStore, StartValuesCountTheFirstFourDevicesAsCalibratedAndNoLaterOne) {
  RigStore store;
  for (std::int16_t d = 1; d <= 4; ++d) {
    EXPECT_EQ(store.Device(d)->Name, "");
    EXPECT_EQ(*store.Calibrated(d), VFalse);
    auto r = store.IsDeviceCalibrated(d);
    ASSERT_FALSE(r.error);
    EXPECT_EQ(r.value, VTrue) << "device " << d;
    EXPECT_EQ(*store.Calibrated(d), VTrue);
  }
  for (std::int16_t d = 5; d <= kDeviceCount; ++d) {
    EXPECT_EQ(store.IsDeviceCalibrated(d).value, VFalse) << "device " << d;
    EXPECT_EQ(*store.Pan(d, 1), Uncalibrated) << "device " << d;
  }
  EXPECT_EQ(store.SelectedDevice, 0);
  EXPECT_EQ(store.MasterDevice, 0);
  EXPECT_EQ(store.FollowMethod, 0);
  EXPECT_EQ(store.HostHelper, nullptr);
}

TEST(RigStore, AfterResetNoDeviceIsCalibrated) {
  RigStore store;
  store.ResetCalibration();
  for (std::int16_t d = 1; d <= kDeviceCount; ++d) {
    EXPECT_EQ(store.IsDeviceCalibrated(d).value, VFalse);
    EXPECT_EQ(*store.Calibrated(d), VFalse);
  }
}

TEST(RigStore, DeviceZeroAnswersFalseAndRecordsNothing) {
  RigStore store;
  store.DeviceCalibrated = {VTrue, VFalse, VTrue, VTrue};
  const auto before = store.DeviceCalibrated;
  auto r = store.IsDeviceCalibrated(0);
  EXPECT_FALSE(r.error);
  EXPECT_EQ(r.value, VFalse);
  EXPECT_EQ(store.DeviceCalibrated, before);
  EXPECT_EQ(store.IsDeviceCalibrated(-7).value, VFalse);
}

TEST(RigStore, DeviceAboveSixteenIsOutOfRangeAndChangesNothing) {
  RigStore store;
  store.DeviceCalibrated = {VTrue, VFalse, VTrue, VFalse};
  store.DeviceCalibrated[15] = VTrue;
  const auto before = store.DeviceCalibrated;
  for (std::int16_t d : {17, 18, 32767}) {
    auto r = store.IsDeviceCalibrated(d);
    EXPECT_EQ(r.error, make_error_code(Errc::out_of_range)) << d;
    EXPECT_EQ(store.DeviceCalibrated, before);
  }
  EXPECT_FALSE(store.IsDeviceCalibrated(16).error);
}

TEST(RigStore, OneMissingValueMakesTheDeviceUncalibrated) {
  struct Case {
    const char* what;
    int point;
    bool tilt;
    std::int32_t value;
    VBool expected;
  };
  const Case cases[] = {
      {"tilt of KM missing", 5, true, Uncalibrated, VFalse},
      {"pan of K1 missing", 1, false, Uncalibrated, VFalse},
      {"zero counts as taken", 3, false, 0, VTrue},
      {"-2 is an ordinary value", 2, true, -2, VTrue},
  };
  for (const auto& c : cases) {
    RigStore store;
    for (int p = 1; p <= 5; ++p) *store.Pan(2, p) = *store.Tilt(2, p) = 100;
    *(c.tilt ? store.Tilt(2, c.point) : store.Pan(2, c.point)) = c.value;
    store.DeviceCalibrated[1] = c.expected == VTrue ? VFalse : VTrue;
    EXPECT_EQ(store.IsDeviceCalibrated(2).value, c.expected) << c.what;
    EXPECT_EQ(*store.Calibrated(2), c.expected) << c.what;
  }
}

TEST(RigStore, CheckedAccessRefusesIndicesOutsideTheTables) {
  RigStore store;
  EXPECT_EQ(store.Device(0), nullptr);
  EXPECT_EQ(store.Device(17), nullptr);
  EXPECT_EQ(store.Device(16), &store.DeviceTable[15]);
  EXPECT_EQ(store.Pan(1, 0), nullptr);
  EXPECT_EQ(store.Pan(1, 6), nullptr);
  EXPECT_EQ(store.Tilt(0, 1), nullptr);
  EXPECT_EQ(store.Calibrated(17), nullptr);
  EXPECT_EQ(store.Pan(4, 5), &store.PanCalibration[3][4]);
}

TEST(RigStore, InitRunStateKeepsTheMaster) {
  RigStore store;
  store.SelectedDevice = 3;
  store.MasterDevice = 2;
  store.FollowMethod = 7;
  store.DeviceTable[0].Name = "Spot";
  store.InitRunState();
  EXPECT_EQ(store.FollowMethod, 1);
  EXPECT_EQ(store.SelectedDevice, 0);
  EXPECT_EQ(store.MasterDevice, 2);
  EXPECT_EQ(store.DeviceTable[0].Name, "Spot");
}

struct CountingHelper : HostChannels {
  explicit CountingHelper(int& alive) : alive_(alive) { ++alive_; }
  ~CountingHelper() override { --alive_; }
  std::error_code ReadChannel(std::int32_t, std::int32_t&) override { return {}; }
  std::error_code WriteChannel(std::int32_t, std::int32_t) override { return {}; }
  int& alive_;
};

TEST(RigStore, ASecondHelperReleasesTheFirst) {
  int alive = 0;
  {
    RigStore store;
    store.SetHostHelper(std::make_unique<CountingHelper>(alive));
    store.SetHostHelper(std::make_unique<CountingHelper>(alive));
    EXPECT_EQ(alive, 1);
  }
  EXPECT_EQ(alive, 0);
}

}  // namespace
}  // namespace tb

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "follow/follow.h"
#include "rig/settings_file.h"
#include "temp_dir.h"

namespace tb {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

class RecordingSink : public MessageSink {
 public:
  void Show(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

struct Axis {
  std::int32_t k1, other, km;  // pan: K1, K3, KM; tilt: K1, K2, KM
};

// The device of the plausible example: pan 60 / 220 / 140, tilt 40 / 200 / 120.
constexpr Axis kGoodPan{60, 220, 140};
constexpr Axis kGoodTilt{40, 200, 120};

class PlausibilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = dir.File("TrailBeam.ini");
    store.ResetCalibration();  // nothing calibrated
  }

  // Calibrates device d; K4, K2's pan and K3's tilt get values that would
  // fail any test that looked at them.
  void Calibrate(std::int16_t d, Axis pan, Axis tilt) {
    for (int p = 1; p <= 5; ++p) *store.Pan(d, p) = *store.Tilt(d, p) = 999999;
    *store.Pan(d, 1) = pan.k1;
    *store.Pan(d, 3) = pan.other;
    *store.Pan(d, 5) = pan.km;
    *store.Tilt(d, 1) = tilt.k1;
    *store.Tilt(d, 2) = tilt.other;
    *store.Tilt(d, 5) = tilt.km;
    *store.Pan(d, 2) = *store.Tilt(d, 3) = -999999;
  }

  std::error_code Check() { return CheckCalibrationPlausibility(store, path, sink); }
  bool Saved() const { return std::filesystem::exists(path); }

  TempDir dir;
  std::string path;
  RigStore store;
  RecordingSink sink;
};

TEST(PlausibilityMessage, ExactText) {
  EXPECT_EQ(PlausibilityMessage(4, 4),
            "Check Values for device 4:  Plausibility check failed, reason: 4");
  EXPECT_EQ(PlausibilityMessage(3, 3),
            "Check Values for device 3:  Plausibility check failed, reason: 3");
}

TEST_F(PlausibilityTest, ReasonsOfOneDevice) {
  const struct {
    const char* what;
    Axis pan, tilt;
    std::int16_t reason;  // 0: passes
  } cases[] = {
      {"plausible", kGoodPan, kGoodTilt, 0},
      {"KM pan on K1", {60, 220, 60}, kGoodTilt, 1},
      {"KM pan on K3", {60, 220, 220}, kGoodTilt, 1},
      {"KM pan beyond K3", {60, 220, 221}, kGoodTilt, 1},
      {"reversed pan, plausible", {220, 60, 140}, kGoodTilt, 0},
      {"reversed pan, KM beyond K1", {220, 60, 230}, kGoodTilt, 2},
      {"reversed pan, KM on K3", {220, 60, 60}, kGoodTilt, 2},
      {"equal pan corners", {100, 100, 100}, kGoodTilt, 2},
      {"equal pan corners, KM apart", {100, 100, 50}, kGoodTilt, 2},
      {"KM tilt on K1", kGoodPan, {40, 200, 40}, 3},
      {"KM tilt beyond K2", kGoodPan, {40, 200, 201}, 3},
      {"reversed tilt, plausible", kGoodPan, {200, 40, 120}, 0},
      {"reversed tilt, KM on K1", kGoodPan, {200, 40, 200}, 4},
      {"equal tilt corners", kGoodPan, {90, 90, 90}, 4},
      {"both fail: tilt reported", {60, 220, 10}, {40, 200, 250}, 3},
      {"both fail reversed: tilt reported", {220, 60, 10}, {200, 40, 250}, 4},
      {"int32 ends, plausible", {INT32_MIN, INT32_MAX, 0}, {INT32_MAX, INT32_MIN, -1}, 0},
      {"int32 ends, KM on the end", {INT32_MIN, INT32_MAX, INT32_MAX}, kGoodTilt, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    store.ResetCalibration();
    Calibrate(2, c.pan, c.tilt);
    std::filesystem::remove(path);
    sink.shown.clear();
    const PlausibilityResult r = TestCalibrationPlausibility(store);
    EXPECT_EQ(r.passed, c.reason == 0);
    EXPECT_EQ(r.PlausibilityReason, c.reason);
    EXPECT_EQ(r.device, c.reason == 0 ? 0 : 2);
    EXPECT_FALSE(Check());
    if (c.reason == 0) {
      EXPECT_TRUE(sink.shown.empty());
      EXPECT_TRUE(Saved());
    } else {
      EXPECT_EQ(sink.shown, std::vector<std::string>{PlausibilityMessage(2, c.reason)});
      EXPECT_FALSE(Saved());
    }
  }
}

TEST_F(PlausibilityTest, LastFailureIsReportedOnce) {
  Calibrate(1, kGoodPan, kGoodTilt);
  Calibrate(2, {60, 220, 60}, kGoodTilt);  // reason 1
  Calibrate(3, kGoodPan, kGoodTilt);
  Calibrate(4, kGoodPan, {200, 40, 10});  // reason 4
  EXPECT_FALSE(Check());
  EXPECT_EQ(sink.shown, std::vector<std::string>{
                            "Check Values for device 4:  Plausibility check failed, reason: 4"});
  EXPECT_FALSE(Saved());

  sink.shown.clear();
  Calibrate(4, kGoodPan, kGoodTilt);
  Calibrate(3, kGoodPan, {40, 200, 20});  // reason 3, nothing later fails
  EXPECT_FALSE(Check());
  EXPECT_EQ(sink.shown, std::vector<std::string>{
                            "Check Values for device 3:  Plausibility check failed, reason: 3"});

  sink.shown.clear();
  Calibrate(13, kGoodPan, {200, 40, 10});  // devices beyond 4 are tested in turn
  Calibrate(16, kGoodPan, kGoodTilt);
  EXPECT_FALSE(Check());
  EXPECT_EQ(sink.shown, std::vector<std::string>{
                            "Check Values for device 13:  Plausibility check failed, reason: 4"});
}

TEST_F(PlausibilityTest, StartValuesFailEveryDeviceAndNameDeviceFourReasonFour) {
  RigStore fresh;  // all calibration values 0: every device counts as calibrated
  EXPECT_FALSE(CheckCalibrationPlausibility(fresh, path, sink));
  EXPECT_EQ(sink.shown, std::vector<std::string>{
                            "Check Values for device 4:  Plausibility check failed, reason: 4"});
  EXPECT_FALSE(Saved());
  EXPECT_EQ(fresh.DeviceCalibrated, (std::array<VBool, kDeviceCount>{VTrue, VTrue, VTrue, VTrue}));
}

TEST_F(PlausibilityTest, UncalibratedDevicesAreSkippedAndFlagsRefreshedBeforeTheSave) {
  Calibrate(1, {60, 60, 60}, {5, 5, 5});  // would fail both tests...
  *store.Tilt(1, 4) = Uncalibrated;       // ...but one missing value skips it
  Calibrate(3, kGoodPan, kGoodTilt);
  store.DeviceCalibrated = {VTrue, VTrue, VFalse, VTrue};
  EXPECT_FALSE(Check());
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_EQ(store.DeviceCalibrated,
            (std::array<VBool, kDeviceCount>{VFalse, VFalse, VTrue, VFalse}));
  RigStore read;
  read_config(read, path);
  EXPECT_EQ(read.DeviceCalibrated, store.DeviceCalibrated);
  EXPECT_EQ(*read.Pan(3, 5), 140);
  EXPECT_EQ(*read.Pan(1, 1), Uncalibrated) << "uncalibrated device's points are not kept";
}

TEST_F(PlausibilityTest, NoCalibratedDeviceSavesWithoutMessage) {
  WriteBytes(path, "stale");
  EXPECT_FALSE(Check());
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_EQ(ReadBytes(path), ConfigFileBytes(store));
}

TEST_F(PlausibilityTest, FailingSaveReachesTheCaller) {
  Calibrate(1, kGoodPan, kGoodTilt);
  WriteBytes(path, "kept");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(Check(), make_error_code(Errc::read_only_file));
  EXPECT_TRUE(sink.shown.empty()) << "the windows show save failures, not the check";
  EXPECT_EQ(ReadBytes(path), "kept");
}

}  // namespace
}  // namespace tb

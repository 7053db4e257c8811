// What Enable TB and Stop TB check before they switch: the calibration, as
// the method chosen needs it (and only then saved), and the channels.
#include "follow/calibration_checks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "follow/follow_methods.h"
#include "follow_rig.h"
#include "rig/settings_file.h"
#include "stage_geometry.h"
#include "temp_dir.h"

namespace tb {
namespace {

using testing::FollowRig;
using testing::HungDown;
using testing::Pairs;

class RecordingSink : public MessageSink {
 public:
  void Show(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

// K1 bottom left, K2 top left, K3 bottom right, K4 top right, KM between:
// a head in front of the stage, as the plausibility check expects.
constexpr Pairs kInFront = {{{60, 40}, {60, 200}, {220, 40}, {220, 200}, {140, 120}}};

class MethodCheckTest : public ::testing::Test, public FollowRig {
 protected:
  // The host's "sides" rig in small: the master in front, booms left and
  // right (turned, one calibrated on its negative tilt side) and a back
  // truss. Every side head fails the plausibility check.
  void InstallSides() {
    const auto mountings = testing::Mountings();
    Install(1, testing::FrontMaster(), testing::kPositiveSide);
    for (std::int16_t d = 2; d <= 4; ++d) Install(d, mountings[d - 1].head, mountings[d - 1].side);
  }

  bool Saved() const { return std::filesystem::exists(path); }

  std::vector<std::string> Press() {
    sink.shown.clear();
    std::filesystem::remove(path);
    EXPECT_FALSE(CheckCalibrationForMethod(store, path, sink));
    return sink.shown;
  }

  testing::TempDir dir;
  std::string path = dir.File("TrailBeam.ini");
  RecordingSink sink;
};

TEST_F(MethodCheckTest, EachMethodSavesWhatItCanFollow) {
  InstallSides();
  // Linear keeps the plausibility check: the side heads fail it.
  store.FollowMethod = kFollowLinear;
  const auto linear = Press();
  ASSERT_EQ(linear.size(), 1u);
  EXPECT_TRUE(linear[0].starts_with("Check Values for device ")) << linear[0];
  EXPECT_FALSE(Saved());

  for (std::int16_t method : {kFollowDistance, kFollowTrigonometric}) {
    store.FollowMethod = method;
    EXPECT_EQ(Press(), std::vector<std::string>{}) << method;
    ASSERT_TRUE(Saved()) << method;
    RigStore back;
    read_config(back, path);
    EXPECT_EQ(back.PanCalibration, store.PanCalibration) << method;
    EXPECT_EQ(back.TiltCalibration, store.TiltCalibration) << method;
  }

  // Without a master the calibration is still kept; the window asks for one.
  store.MasterDevice = 0;
  store.FollowMethod = kFollowTrigonometric;
  EXPECT_EQ(Press(), std::vector<std::string>{});
  EXPECT_TRUE(Saved());
}

TEST_F(MethodCheckTest, WhatAMethodCannotUseIsToldAndStopsTheSave) {
  const Pairs sameRay = {{{90, 160}, {90, 160}, {90, 160}, {90, 160}, {90, 160}}};
  Pairs kmOnK1 = kInFront;
  kmOnK1[4] = kmOnK1[0];
  Pairs kmOutside = kInFront;
  kmOutside[4] = {240, 120};
  const struct Case {
    const char* what;
    std::int16_t method;
    Pairs device3;
    std::vector<std::string> shown;
    bool saved;
  } cases[] = {
      {"distance, KM on K1",
       kFollowDistance,
       kmOnK1,
       {"Device 3 cannot follow by distance: its KM does not lie between its four corners."},
       false},
      {"distance, KM outside",
       kFollowDistance,
       kmOutside,
       {"Device 3 cannot follow by distance: its KM does not lie between its four corners."},
       false},
      {"distance, in front", kFollowDistance, kInFront, {}, true},
      {"trigonometric, one ray",
       kFollowTrigonometric,
       sameRay,
       {"Device 3 cannot follow trigonometrically: its five points do not span the stage."},
       false},
  };
  for (const Case& c : cases) {
    InstallSides();
    Calibrate(3, c.device3);
    store.FollowMethod = c.method;
    EXPECT_EQ(Press(), c.shown) << c.what;
    EXPECT_EQ(Saved(), c.saved) << c.what;
  }
}

TEST_F(MethodCheckTest, ARangeMistakeIsToldButTheCalibrationIsKept) {
  InstallSides();
  // A 630/265 head over the stage, entered as 360/180.
  Install(2, HungDown({2.5, 3.5, 7.0}, 90.0, 630.0, 265.0), testing::kPositiveSide);
  store.Device(2)->PanRange = 360;
  store.Device(2)->TiltRange = 180;
  store.FollowMethod = kFollowTrigonometric;
  const auto shown = Press();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(
      shown[0].starts_with("Device 2: its five points do not fit a 360\u00B0/180\u00B0 head"))
      << shown[0];
  EXPECT_TRUE(Saved());
}

TEST_F(MethodCheckTest, AFailedSaveIsReturned) {
  InstallSides();
  path = dir.File("missing/TrailBeam.ini");
  for (std::int16_t method : {kFollowDistance, kFollowTrigonometric}) {
    store.FollowMethod = method;
    EXPECT_TRUE(CheckCalibrationForMethod(store, path, sink) ==
                std::errc::no_such_file_or_directory)
        << method;
  }
}

TEST(DistanceTriangles, KmMustLieBetweenTheFourCorners) {
  const struct Case {
    const char* what;
    Pairs pairs;
    bool usable;
  } cases[] = {
      {"in front", kInFront, true},
      // A head turned or on its other tilt side turns every triangle the
      // other way: still usable.
      {"mirrored pan", {{{220, 40}, {220, 200}, {60, 40}, {60, 200}, {140, 120}}}, true},
      {"axes swapped", {{{40, 60}, {200, 60}, {40, 220}, {200, 220}, {120, 140}}}, true},
      {"skewed", {{{70, 30}, {40, 210}, {230, 60}, {200, 190}, {120, 110}}}, true},
      {"KM on K4", {{{60, 40}, {60, 200}, {220, 40}, {220, 200}, {220, 200}}}, false},
      {"KM on the K1-K2 edge", {{{60, 40}, {60, 200}, {220, 40}, {220, 200}, {60, 120}}}, false},
      {"KM outside", {{{60, 40}, {60, 200}, {220, 40}, {220, 200}, {10, 120}}}, false},
      {"K2 and K4 swapped (folded)",
       {{{60, 40}, {220, 200}, {220, 40}, {60, 200}, {140, 120}}},
       false},
      {"all on one line", {{{10, 10}, {20, 20}, {30, 30}, {40, 40}, {25, 25}}}, false},
      {"all the same", {{{90, 90}, {90, 90}, {90, 90}, {90, 90}, {90, 90}}}, false},
      {"far out values",
       {{{-2000000000, -2000000000},
         {-2000000000, 2000000000},
         {2000000000, -2000000000},
         {2000000000, 2000000000},
         {0, 0}}},
       true},
  };
  for (const Case& c : cases) {
    FollowRig rig;
    rig.Calibrate(2, c.pairs);
    rig.Calibrate(4, kInFront);
    const auto devices = CheckDistanceTriangles(rig.store);
    EXPECT_EQ(devices, c.usable ? std::vector<std::int16_t>{} : std::vector<std::int16_t>{2})
        << c.what;
  }
}

TEST(FollowChannels, NamesEveryChannelThatCannotBeRight) {
  struct Channels {
    std::int32_t pan, tilt, panFine, tiltFine;
  };
  const struct Case {
    const char* what;
    std::array<Channels, kDeviceCount> devices;
    std::array<bool, kDeviceCount> calibrated;
    std::string shown;
  } cases[] = {
      {"all distinct",
       {{{1, 2, 0, 0}, {3, 4, 0, 0}, {5, 6, 7, 8}, {9, 10, 0, 0}}},
       {true, true, true, true},
       ""},
      {"an uncalibrated device is not followed",
       {{{1, 2, 0, 0}, {3, 4, 0, 0}, {0, 2, 0, 0}, {0, 0, 0, 0}}},
       {true, true, false, false},
       ""},
      {"below 1",
       {{{0, 2, 0, 0}, {3, -1, 0, 0}, {5, 6, -7, 0}, {9, 10, 0, 0}}},
       {true, true, true, false},
       "Check the channels in the device setup: device 1 has pan channel 0; device 2 has tilt "
       "channel -1; device 3 has pan fine channel -7."},
      {"shared",
       {{{1, 2, 0, 0}, {3, 1, 0, 0}, {5, 6, 0, 3}, {1, 10, 0, 0}}},
       {true, true, true, true},
       "Check the channels in the device setup: devices 1, 2 and 4 share channel 1; devices 2 and "
       "3 share channel 3."},
      {"twice in one device",
       {{{1, 1, 0, 0}, {3, 4, 0, 0}, {5, 6, 0, 0}, {7, 8, 0, 0}}},
       {true, true, false, false},
       "Check the channels in the device setup: device 1 uses channel 1 for more than one axis."},
      {"both kinds",
       {{{-5, 2, 0, 0}, {2, 4, 0, 0}, {5, 6, 0, 0}, {7, 8, 0, 0}}},
       {true, true, false, false},
       "Check the channels in the device setup: device 1 has pan channel -5; devices 1 and 2 "
       "share channel 2."},
  };
  for (const Case& c : cases) {
    FollowRig rig;
    for (std::int16_t d = 1; d <= kDeviceCount; ++d) {
      DeviceRecord& record = *rig.store.Device(d);
      const Channels& ch = c.devices[d - 1];
      record.PanChannel = ch.pan;
      record.TiltChannel = ch.tilt;
      record.PanFineChannel = ch.panFine;
      record.TiltFineChannel = ch.tiltFine;
      rig.Calibrate(d, c.calibrated[d - 1] ? kInFront : FollowRig::kUncalibratedPairs);
    }
    EXPECT_EQ(CheckFollowChannels(rig.store), c.shown) << c.what;
  }
}

}  // namespace
}  // namespace tb

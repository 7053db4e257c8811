#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "fake_host.h"
#include "follow/follow.h"

namespace tb {
namespace {

using testing::FakeHost;
using testing::HostCall;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

using Points = std::array<std::pair<std::int32_t, std::int32_t>, 5>;  // K1..K4, KM
const Points kMasterExample = {{{60, 40}, {60, 200}, {220, 40}, {220, 200}, {140, 120}}};
const Points kSlaveExample = {{{30, 10}, {31, 190}, {200, 20}, {210, 180}, {90, 70}}};
const Points kUncalibrated = {{{-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}, {-1, -1}}};

HostCall Read(std::int32_t channel, std::int32_t value) { return {HostCall::Read, channel, value}; }
HostCall Write(std::int32_t channel, std::int32_t value) {
  return {HostCall::Write, channel, value};
}

// Device d on channels 10d (pan) and 10d+1 (tilt), every device
// uncalibrated, device 1 the master, the follow method linear.
class FollowTickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto fake = std::make_unique<FakeHost>();
    host = fake.get();
    store.SetHostHelper(std::move(fake));
    store.FollowMethod = 1;
    store.MasterDevice = 1;
    for (std::int16_t d = 1; d <= 4; ++d) {
      store.Device(d)->PanChannel = 10 * d;
      store.Device(d)->TiltChannel = 10 * d + 1;
      Calibrate(d, kUncalibrated);
    }
  }

  void Calibrate(std::int16_t d, const Points& points) {
    for (int p = 1; p <= 5; ++p) {
      *store.Pan(d, p) = points[p - 1].first;
      *store.Tilt(d, p) = points[p - 1].second;
    }
  }

  // Master readings for the next tick.
  void MasterReads(std::int32_t pan, std::int32_t tilt) {
    const int m = store.MasterDevice;
    host->channels[store.Device(m)->PanChannel] = pan;
    host->channels[store.Device(m)->TiltChannel] = tilt;
  }

  std::vector<HostCall> Tick() {
    host->calls.clear();
    EXPECT_FALSE(FollowTick(store));
    return host->calls;
  }

  RigStore store;
  FakeHost* host = nullptr;
};

TEST_F(FollowTickTest, WorkedExample) {
  Calibrate(1, kMasterExample);
  Calibrate(2, kSlaveExample);
  const struct {
    std::int32_t pan, tilt, writtenPan, writtenTilt;
  } cases[] = {
      {101, 80, 61, 40},
      {100, 150, 60, 115},  // 60.5 rounds to the even 60
      {10, 80, 0, 40},      // -7.5 rounds to -8, limited to 0
      {141, 119, 90, 70},   // centre zone: the slave's KM
  };
  for (const auto& c : cases) {
    MasterReads(c.pan, c.tilt);
    EXPECT_EQ(Tick(), (std::vector<HostCall>{Read(10, c.pan), Read(11, c.tilt),
                                             Write(20, c.writtenPan), Write(21, c.writtenTilt)}))
        << "master reading (" << c.pan << ", " << c.tilt << ")";
  }
}

TEST_F(FollowTickTest, ThreeSlavesAreWrittenInDeviceOrderPanBeforeTiltMasterNever) {
  store.MasterDevice = 3;
  Calibrate(3, kMasterExample);
  Calibrate(1, kSlaveExample);
  Calibrate(2, kSlaveExample);
  Calibrate(4, kSlaveExample);
  MasterReads(101, 80);
  EXPECT_EQ(Tick(),
            (std::vector<HostCall>{Read(30, 101), Read(31, 80), Write(10, 61), Write(11, 40),
                                   Write(20, 61), Write(21, 40), Write(40, 61), Write(41, 40)}));
}

TEST_F(FollowTickTest, OnlyCalibratedSlavesAreWrittenAndEveryFlagIsRefreshed) {
  Calibrate(1, kMasterExample);
  Calibrate(2, kSlaveExample);
  Calibrate(3, kSlaveExample);
  *store.Tilt(3, 5) = Uncalibrated;  // one value missing is enough
  Calibrate(4, kSlaveExample);
  store.DeviceCalibrated = {VFalse, VFalse, VTrue, VFalse};
  MasterReads(101, 80);
  EXPECT_EQ(Tick(), (std::vector<HostCall>{Read(10, 101), Read(11, 80), Write(20, 61),
                                           Write(21, 40), Write(40, 61), Write(41, 40)}));
  EXPECT_EQ(store.DeviceCalibrated, (std::array<VBool, kDeviceCount>{VTrue, VTrue, VFalse, VTrue}));

  // With no calibrated slave the tick only reads, in both kinds of zone, and
  // still refreshes the flags (the master's included).
  Calibrate(2, kUncalibrated);
  Calibrate(4, kUncalibrated);
  Calibrate(1, kUncalibrated);
  store.DeviceCalibrated = {VTrue, VTrue, VTrue, VTrue};
  for (auto reading : {std::pair{101, 80}, std::pair{-1, -1}}) {
    MasterReads(reading.first, reading.second);
    EXPECT_EQ(Tick(), (std::vector<HostCall>{Read(10, reading.first), Read(11, reading.second)}));
    EXPECT_EQ(store.DeviceCalibrated,
              (std::array<VBool, kDeviceCount>{VFalse, VFalse, VFalse, VFalse}));
  }
}

TEST_F(FollowTickTest, CentreZoneWritesKmValuesExactlyAsStored) {
  Calibrate(1, kMasterExample);
  Points wild = kSlaveExample;
  wild[4] = {300, -20};
  Calibrate(2, wild);
  wild[4] = {kMax, kMin};
  Calibrate(4, wild);
  MasterReads(140, 120);
  EXPECT_EQ(Tick(), (std::vector<HostCall>{Read(10, 140), Read(11, 120), Write(20, 300),
                                           Write(21, -20), Write(40, kMax), Write(41, kMin)}));
}

TEST_F(FollowTickTest, CornerAndCentreReadingsGiveFractionsZeroAndOne) {
  Calibrate(1, kMasterExample);
  Calibrate(2, kSlaveExample);
  const struct {
    std::int32_t pan, tilt, writtenPan, writtenTilt;
  } cases[] = {
      {60, 40, 30, 10},      // at K1 on both axes
      {220, 200, 210, 180},  // at K4
      {140, 40, 90, 20},     // zone 3: pan at KM (fraction 1), tilt at K3 (fraction 0)
      {140, 60, 90, 32},     // tilt fraction 0.25: 20 + 50 * 0.25 = 32.5, to the even 32
  };
  for (const auto& c : cases) {
    MasterReads(c.pan, c.tilt);
    const auto calls = Tick();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[2], Write(20, c.writtenPan)) << c.pan << ", " << c.tilt;
    EXPECT_EQ(calls[3], Write(21, c.writtenTilt)) << c.pan << ", " << c.tilt;
  }
}

TEST_F(FollowTickTest, BeyondTheCornersSlavesAreHeldAtZeroAndTwoFiftyFive) {
  Calibrate(1, kMasterExample);
  Calibrate(2, kSlaveExample);
  Points reversed = kSlaveExample;  // pan runs the other way
  for (auto& point : reversed) point.first = 255 - point.first;
  Calibrate(3, reversed);
  MasterReads(-300, 600);  // zone 2, far beyond K2 on both axes
  EXPECT_EQ(Tick(), (std::vector<HostCall>{Read(10, -300), Read(11, 600), Write(20, 0),
                                           Write(21, 255), Write(30, 255), Write(31, 255)}));
}

TEST_F(FollowTickTest, ZeroMasterSpanUsesTheTinyDivisor) {
  Points master = kMasterExample;
  master[1].first = master[4].first = 100;  // K2 pan equal to KM pan
  Calibrate(1, master);
  Calibrate(2, kSlaveExample);  // K2 pan 31, KM pan 90
  Points flat = kSlaveExample;
  flat[1].first = flat[4].first;  // K2 pan equal to its KM pan, 90
  Calibrate(3, flat);
  // A hand-edited slave one step between K2 and KM, far out: only a fraction
  // of exactly 1e6 brings it back into 0..255.
  Points far = kSlaveExample;
  far[1].first = 1000000 + 100;
  far[4].first = 1000000 + 99;
  Calibrate(4, far);
  // Tilt 190 with pan below the midpoint 140 is zone 2; tilt is 175 throughout.
  const struct {
    std::int32_t pan, slavePan, flatSlavePan, farSlavePan;
  } cases[] = {
      {100, 31, 90, 255},  // at the corner: fraction 0
      {99, 255, 90, 100},  // fraction +1e6: 1000100 - 1 * 1e6
      {101, 0, 90, 255},   // fraction -1e6
      {kMin, 255, 90, 0},  // numerator beyond int32, limited
  };
  for (const auto& c : cases) {
    MasterReads(c.pan, 190);
    EXPECT_EQ(Tick(),
              (std::vector<HostCall>{Read(10, c.pan), Read(11, 190), Write(20, c.slavePan),
                                     Write(21, 175), Write(30, c.flatSlavePan), Write(31, 175),
                                     Write(40, c.farSlavePan), Write(41, 175)}))
        << c.pan;
  }
}

TEST_F(FollowTickTest, ChannelsAreUsedAsTheyStandAndNamesAreNotLookedAt) {
  Calibrate(1, kMasterExample);
  Calibrate(2, kSlaveExample);
  store.Device(2)->Name = "";
  store.Device(2)->PanChannel = 0;
  store.Device(2)->TiltChannel = -5;
  MasterReads(101, 80);
  EXPECT_EQ(Tick(),
            (std::vector<HostCall>{Read(10, 101), Read(11, 80), Write(0, 61), Write(-5, 40)}));
}

TEST_F(FollowTickTest, WithoutMasterOrHelperNothingIsReadOrWritten) {
  Calibrate(1, kMasterExample);
  Calibrate(2, kSlaveExample);
  const auto flagsBefore = store.DeviceCalibrated;
  for (std::int16_t m : {0, -1, 17, -32768}) {
    store.MasterDevice = m;
    host->calls.clear();
    EXPECT_TRUE(FollowTick(store)) << m;
    EXPECT_TRUE(host->calls.empty()) << m;
    EXPECT_EQ(store.DeviceCalibrated, flagsBefore);
  }
  store.MasterDevice = 1;
  store.SetHostHelper(nullptr);
  EXPECT_EQ(FollowTick(store), make_error_code(Errc::no_host_helper));
}

TEST_F(FollowTickTest, FailingHostCallEndsTheTickAndTheNextStartsAfresh) {
  Calibrate(1, kMasterExample);
  for (std::int16_t d = 2; d <= 4; ++d) Calibrate(d, kSlaveExample);
  MasterReads(101, 80);
  const std::vector<HostCall> full = {Read(10, 101), Read(11, 80),  Write(20, 61), Write(21, 40),
                                      Write(30, 61), Write(31, 40), Write(40, 61), Write(41, 40)};
  for (int failing = 1; failing <= static_cast<int>(full.size()); ++failing) {
    auto fresh = std::make_unique<FakeHost>();
    host = fresh.get();
    store.SetHostHelper(std::move(fresh));
    MasterReads(101, 80);
    host->failCallNumber = failing;
    EXPECT_EQ(FollowTick(store), host->failure) << failing;
    EXPECT_EQ(host->calls, std::vector<HostCall>(full.begin(), full.begin() + failing - 1))
        << "calls before failing call " << failing;
    EXPECT_EQ(Tick(), full) << "tick after failing call " << failing;
  }
}

TEST_F(FollowTickTest, ExtremeReadingsAndCalibrationStayDefinedAndInRange) {
  // Every combination of extreme values on the pan axis; UBSan watches the
  // arithmetic, the test the range of what is written.
  const std::int32_t values[] = {kMin, kMin + 1, -1, 0, 1, 255, kMax - 1, kMax};
  Points slave = kSlaveExample;
  for (std::int32_t masterK1 : values) {
    for (std::int32_t masterKm : values) {
      for (std::int32_t reading : values) {
        for (std::int32_t slaveK1 : values) {
          for (std::int32_t slaveKm : values) {
            Points master = kMasterExample;
            master[0].first = masterK1;
            master[2].first = masterK1;  // K3 = K1: every reading is in a K1 zone
            master[4].first = masterKm;
            Calibrate(1, master);
            slave[0].first = slaveK1;
            slave[4].first = slaveKm;
            Calibrate(2, slave);
            MasterReads(reading, 80);
            const auto calls = Tick();
            // An uncalibrated master places no one.
            const bool slaveCalibrated = slaveK1 != Uncalibrated && slaveKm != Uncalibrated &&
                                         masterK1 != Uncalibrated && masterKm != Uncalibrated;
            if (!slaveCalibrated) {
              if (calls.size() != 2u) ADD_FAILURE() << "uncalibrated master or slave: written";
              continue;
            }
            if (calls.size() != 4u) {
              ADD_FAILURE() << "calls: " << calls.size();
              return;
            }
            const bool centre = calls[2] == Write(20, slaveKm);
            if (!centre && (calls[2].value < 0 || calls[2].value > 255)) {
              ADD_FAILURE() << masterK1 << " " << masterKm << " " << reading << " " << slaveK1
                            << " " << slaveKm << " wrote " << calls[2].value;
              return;
            }
          }
        }
      }
    }
  }
}

TEST_F(FollowTickTest, ExtremeValuesHandWorked) {
  // Master pan K1 0 = KM 0 (tiny divisor), K3 at kMin so that a reading of
  // kMax is on K1's side; tilt stays in zone 1.
  Points master = kMasterExample;
  master[0].first = 0;
  master[4].first = 0;
  master[2].first = kMin;
  Calibrate(1, master);
  Points small = kSlaveExample;  // K1 10, KM 20: difference -10
  small[0].first = 10;
  small[4].first = 20;
  Calibrate(2, small);
  Points huge = kSlaveExample;  // difference kMax - kMin, limited to kMax
  huge[0].first = kMax;
  huge[4].first = kMin;
  Calibrate(3, huge);
  MasterReads(kMax, 80);
  // fraction -kMax / 1e-6: 10 - (-10 * -2.1e15) -> 0; kMax - (kMax * -2.1e15) -> 255
  EXPECT_EQ(Tick(), (std::vector<HostCall>{Read(10, kMax), Read(11, 80), Write(20, 0),
                                           Write(21, 40), Write(30, 255), Write(31, 40)}));
}

}  // namespace
}  // namespace tb

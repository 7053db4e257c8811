// Heads with fine channels: each method works in every device's own
// resolution, reads the master's fine channels after pan and tilt and
// writes a slave's fine bytes after its pan and tilt.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "follow/follow_methods.h"
#include "follow/resolution.h"
#include "follow_rig.h"
#include "stage_geometry.h"

namespace tb {
namespace {

using testing::FloorPoint;
using testing::FollowRig;
using testing::Head;
using testing::HostCall;
using testing::Pairs;
using testing::Read;
using testing::Write;

std::int32_t PanFineChannel(int d) { return 10 * d + 2; }
std::int32_t TiltFineChannel(int d) { return 10 * d + 3; }

// Device 1, the master, and device 3 have fine channels; device 2 has none.
// Coarse values: the worked example of the linear method (master and
// slaves 2 and 3 alike); fine bytes on the master's KM and on slave 3's K1
// and KM.
class FineFollowTest : public ::testing::Test, public FollowRig {
 protected:
  void SetUp() override {
    for (std::int16_t d : {1, 3}) {
      store.Device(d)->PanFineChannel = PanFineChannel(d);
      store.Device(d)->TiltFineChannel = TiltFineChannel(d);
    }
    Calibrate(1, {{{60, 40}, {60, 200}, {220, 40}, {220, 200}, {140, 120}}});
    const Pairs slave = {{{30, 10}, {31, 190}, {200, 20}, {210, 180}, {90, 70}}};
    Calibrate(2, slave);
    Calibrate(3, slave);
    SetFine(1, 5, 64, 32);
    SetFine(3, 1, 0, 200);
    SetFine(3, 5, 128, 64);
  }

  void SetFine(std::int16_t d, int point, std::int32_t pan, std::int32_t tilt) {
    *store.PanFine(d, point) = pan;
    *store.TiltFine(d, point) = tilt;
  }

  // The master's channels: coarse and fine of a 16-bit reading.
  void MasterReads16(std::int32_t pan, std::int32_t tilt) {
    MasterReads(pan / 256, tilt / 256);
    host->channels[PanFineChannel(1)] = pan % 256;
    host->channels[TiltFineChannel(1)] = tilt % 256;
  }

  std::vector<HostCall> Tick(std::int16_t method) {
    store.FollowMethod = method;
    host->calls.clear();
    EXPECT_FALSE(engine.OnTimer(store));
    return host->calls;
  }

  // The calls of a tick that writes (pan, tilt) to device 2 and the 16-bit
  // (pan, tilt) to device 3.
  std::vector<HostCall> Expected(std::int32_t pan2, std::int32_t tilt2, std::int32_t pan3,
                                 std::int32_t tilt3) const {
    const std::int32_t masterPan = host->channels.at(10);
    const std::int32_t masterTilt = host->channels.at(11);
    return {Read(10, masterPan),
            Read(11, masterTilt),
            Read(12, host->channels.at(12)),
            Read(13, host->channels.at(13)),
            Write(20, pan2),
            Write(21, tilt2),
            Write(30, pan3 / 256),
            Write(31, tilt3 / 256),
            Write(32, pan3 % 256),
            Write(33, tilt3 % 256)};
  }

  FollowEngine engine;
};

// Master K1 (60, 40) x 256, KM (140 x 256 + 64, 120 x 256 + 32) = (35904,
// 30752). Slave 3 K1 (7680, 2760), KM (23168, 17984); slave 2 as in the
// worked example of the linear method.
TEST_F(FineFollowTest, LinearTickWritesEachSlaveInItsOwnResolution) {
  const struct {
    const char* what;
    std::int32_t pan, tilt;  // the master's 16-bit reading
    std::int32_t pan2, tilt2, pan3, tilt3;
  } cases[] = {
      // Zone 1: fractions -10624 / -20544 and -10240 / -20512. Slave 2:
      // 30 + 60 x 0.51713 = 61.03, 10 + 60 x 0.49922 = 39.95; slave 3:
      // 7680 + 15488 x 0.51713 = 15689.4, 2760 + 15224 x 0.49922 = 10360.1.
      {"corner zone", 101 * 256 + 128, 80 * 256, 61, 40, 15689, 10360},
      // Within two coarse steps (512) of KM on both axes, ends included:
      // every slave's KM as stored, coarse and fine.
      {"centre, pan +512", 35904 + 512, 30752 - 512, 90, 70, 23168, 17984},
      {"centre, exactly KM", 35904, 30752, 90, 70, 23168, 17984},
      // One step further: zone 4, pan fraction 19903 / 20416 = 0.97487,
      // tilt fraction 1. Slave 2: 210 - 120 x 0.97487 = 93.02; slave 3:
      // 53760 - 30592 x 0.97487 = 23936.7; both at KM on tilt.
      {"pan 513 past KM", 35904 + 513, 30752, 93, 70, 23937, 17984},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MasterReads16(c.pan, c.tilt);
    EXPECT_EQ(Tick(kFollowLinear), Expected(c.pan2, c.tilt2, c.pan3, c.tilt3));
  }
}

TEST_F(FineFollowTest, LinearCentreWindowAtEightBitIsTwoStepsAsBefore) {
  // The master without fine channels: 8-bit readings, 8-bit window.
  store.Device(1)->PanFineChannel = store.Device(1)->TiltFineChannel = 0;
  const struct {
    std::int32_t pan, tilt;
    bool centre;
  } cases[] = {{142, 118, true}, {143, 120, false}, {140, 117, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.pan << ", " << c.tilt);
    MasterReads(c.pan, c.tilt);
    const auto calls = Tick(kFollowLinear);
    ASSERT_EQ(calls.size(), 2u + 2u + 4u);
    EXPECT_EQ(calls[0], Read(10, c.pan));
    EXPECT_EQ(calls[1], Read(11, c.tilt));
    const bool atKM = calls[2] == Write(20, 90) && calls[3] == Write(21, 70);
    EXPECT_EQ(atKM, c.centre);
  }
}

TEST_F(FineFollowTest, DistanceTickIsExactAtTheFivePointsInEveryResolution) {
  const std::int32_t masterPan[5] = {60 * 256, 60 * 256, 220 * 256, 220 * 256, 35904};
  const std::int32_t masterTilt[5] = {40 * 256, 200 * 256, 40 * 256, 200 * 256, 30752};
  for (int p = 1; p <= 5; ++p) {
    SCOPED_TRACE(p);
    MasterReads16(masterPan[p - 1], masterTilt[p - 1]);
    const std::int32_t pan3 = *store.Pan(3, p) * 256 + *store.PanFine(3, p);
    const std::int32_t tilt3 = *store.Tilt(3, p) * 256 + *store.TiltFine(3, p);
    EXPECT_EQ(Tick(kFollowDistance), Expected(*store.Pan(2, p), *store.Tilt(2, p), pan3, tilt3));
  }
  // Halfway from KM to K1: (25632, 20496). Slave 2: 90 - 30, 70 - 30;
  // slave 3: 23168 - 7744 = 15424, 17984 - 7612 = 10372.
  MasterReads16(25632, 20496);
  EXPECT_EQ(Tick(kFollowDistance), Expected(60, 40, 15424, 10372));
}

TEST_F(FineFollowTest, AFailingFineReadOrWriteEndsTheTick) {
  MasterReads16(101 * 256 + 128, 80 * 256);
  const std::vector<HostCall> all = Expected(61, 40, 15689, 10360);
  // Calls 3 and 4 read the master's fine channels, 9 and 10 write slave 3's.
  for (int fail : {3, 4, 9, 10}) {
    SCOPED_TRACE(fail);
    auto fresh = std::make_unique<testing::FakeHost>();
    fresh->channels = host->channels;
    fresh->failCallNumber = fail;
    host = fresh.get();
    store.SetHostHelper(std::move(fresh));
    EXPECT_EQ(FollowTick(store), std::make_error_code(std::errc::io_error));
    EXPECT_EQ(host->calls, std::vector<HostCall>(all.begin(), all.begin() + fail - 1));
  }
}

TEST_F(FineFollowTest, HostileFineValuesAreLimitedToAByteAndNeverCarry) {
  // Slave 3's KM: coarse 300 stays as stored, its fine byte 999 is 255.
  *store.Pan(3, 5) = 300;
  SetFine(3, 5, 999, -7);
  // The master's fine channels report 1000 and -5: read as 255 and 0, so
  // the reading is (35840 + 255, 30720): pan within 512 of KM, tilt too.
  MasterReads(140, 120);
  host->channels[12] = 1000;
  host->channels[13] = -5;
  EXPECT_EQ(Tick(kFollowLinear),
            (std::vector<HostCall>{Read(10, 140), Read(11, 120), Read(12, 1000), Read(13, -5),
                                   Write(20, 90), Write(21, 70), Write(30, 300), Write(31, 70),
                                   Write(32, 255), Write(33, 0)}));
}

TEST(Resolution, JoiningAndSplittingKeepTheTwoBytes) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const struct {
    std::int32_t coarse, fine, joined, coarseBack, fineBack;
  } cases[] = {
      {0, 0, 0, 0, 0},
      {255, 255, 65535, 255, 255},
      {128, 1, 32769, 128, 1},
      {300, 10, 76810, 300, 10},
      {-1, 0, -256, -1, 0},
      {-3, 10, -758, -3, 10},
      {5, 300, 1535, 5, 255},
      {5, -4, 1280, 5, 0},
      {kMax, 255, kMax, kMax / 256, 255},
      {kMin, 0, kMin, kMin / 256, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.coarse << " " << c.fine);
    EXPECT_EQ(Join16(c.coarse, c.fine), c.joined);
    EXPECT_EQ(Coarse16(c.joined), c.coarseBack);
    EXPECT_EQ(Fine16(c.joined), c.fineBack);
  }
}

// The master and the slaves as modelled heads, calibrated with 16-bit
// values where they have fine channels.
class FineTrigonometricTest : public FineFollowTest {
 protected:
  void SetUp() override {
    FineFollowTest::SetUp();
    store.FollowMethod = kFollowTrigonometric;
    engine.Start();
  }

  // The five marks as an operator takes them, as 16-bit values when the
  // device has fine channels (coarse and fine stored apart).
  void Install(std::int16_t d, const Head& head, testing::Aim preferred) {
    store.Device(d)->PanRange = static_cast<std::int32_t>(head.panRange);
    store.Device(d)->TiltRange = static_cast<std::int32_t>(head.tiltRange);
    const bool fine = store.Device(d)->PanFineChannel != 0;
    const testing::Aim km = testing::AimNear(head, testing::kMarks[4], preferred).value();
    for (int p = 1; p <= 5; ++p) {
      const testing::Aim aim = testing::AimNear(head, testing::kMarks[p - 1], km).value();
      const std::int32_t pan = Own(aim.pan, fine);
      const std::int32_t tilt = Own(aim.tilt, fine);
      *store.Pan(d, p) = fine ? pan / 256 : pan;
      *store.Tilt(d, p) = fine ? tilt / 256 : tilt;
      SetFine(d, p, fine ? pan % 256 : 0, fine ? tilt % 256 : 0);
    }
  }

  // A real value on the 8-bit scale (0..255 spans the range) in the
  // device's own resolution, and back.
  static std::int32_t Own(double value8, bool fine) {
    return static_cast<std::int32_t>(std::lround(fine ? value8 * 65535.0 / 255.0 : value8));
  }
  static double Scale8(std::int32_t value, bool fine) {
    return fine ? value * 255.0 / 65535.0 : value;
  }

  // Aims the master at a floor point with 16-bit values; returns its spot.
  FloorPoint MasterAt(FloorPoint target) {
    const testing::Aim aim = testing::AimNear(master, target, testing::kPositiveSide).value();
    const std::int32_t pan = Own(aim.pan, true);
    const std::int32_t tilt = Own(aim.tilt, true);
    MasterReads16(pan, tilt);
    return testing::Spot(master, Scale8(pan, true), Scale8(tilt, true)).value();
  }

  // Where the pair last written to slave d puts its spot.
  FloorPoint SlaveSpot(std::int16_t d, const Head& head) {
    const bool fine = store.Device(d)->PanFineChannel != 0;
    const auto& calls = host->calls;
    std::int32_t pan = 0, tilt = 0;
    for (const HostCall& call : calls) {
      if (call.kind != HostCall::Write) continue;
      if (call.channel == PanChannel(d)) pan += fine ? call.value * 256 : call.value;
      if (call.channel == TiltChannel(d)) tilt += fine ? call.value * 256 : call.value;
      if (fine && call.channel == PanFineChannel(d)) pan += call.value;
      if (fine && call.channel == TiltFineChannel(d)) tilt += call.value;
    }
    return testing::Spot(head, Scale8(pan, fine), Scale8(tilt, fine)).value();
  }

  const Head master = testing::FrontMaster();
};

double Distance(FloorPoint a, FloorPoint b) { return std::hypot(a.x - b.x, a.y - b.y); }

TEST_F(FineTrigonometricTest, SixteenBitSlavesHitTheMastersSpotToAFewMillimetres) {
  Install(1, master, testing::kPositiveSide);
  const auto mountings = testing::Mountings();
  for (std::size_t i = 0; i < mountings.size(); ++i) {
    const auto& mounting = mountings[i];
    SCOPED_TRACE(mounting.name);
    // The same head as an 8-bit slave (2) and a 16-bit one (3).
    Install(2, mounting.head, mounting.side);
    Install(3, mounting.head, mounting.side);
    engine.Start();
    double worst8 = 0.0, worst16 = 0.0;
    for (double x = 1.0; x <= 7.0; x += 0.5) {
      for (double y = 1.0; y <= 5.0; y += 0.5) {
        const FloorPoint spot = MasterAt({x, y});
        const auto calls = Tick(kFollowTrigonometric);
        ASSERT_EQ(calls.size(), 10u) << x << ", " << y;
        EXPECT_EQ(calls[2].channel, 12);
        EXPECT_EQ(calls[3].channel, 13);
        const std::int32_t order[] = {20, 21, 30, 31, 32, 33};
        for (std::size_t k = 0; k < 6; ++k) EXPECT_EQ(calls[4 + k].channel, order[k]);
        worst8 = std::max(worst8, Distance(SlaveSpot(2, mounting.head), spot));
        worst16 = std::max(worst16, Distance(SlaveSpot(3, mounting.head), spot));
      }
    }
    // One 8-bit step of a 540 degree pan is over two degrees: decimetres
    // on the floor. At 16 bit only the map's own error is left.
    EXPECT_LT(worst16, 0.01);
    EXPECT_LT(worst16 * 10.0, worst8);
  }
}

TEST_F(FineTrigonometricTest, AFineChannelSetWhileFollowingIsNotMeasuredAgainstAnEightBitPair) {
  // A 630 degree head that could take its pan a whole turn further: the
  // pair written at 8 bit, read as 16 bit, would lie near the range's low
  // end and pull the next solution there.
  Install(1, master, testing::kPositiveSide);
  const auto wide = testing::Mountings()[5];
  store.Device(2)->PanFineChannel = PanFineChannel(2);
  store.Device(2)->TiltFineChannel = TiltFineChannel(2);
  Install(2, wide.head, wide.side);
  store.Device(2)->PanFineChannel = store.Device(2)->TiltFineChannel = 0;
  Calibrate(3, kUncalibratedPairs);
  engine.Start();
  MasterAt({2, 2});
  Tick(kFollowTrigonometric);
  const std::int32_t pan8 = host->channels.at(20);
  store.Device(2)->PanFineChannel = PanFineChannel(2);
  store.Device(2)->TiltFineChannel = TiltFineChannel(2);
  Tick(kFollowTrigonometric);
  const std::int32_t coarse = host->channels.at(20);
  EXPECT_LE(std::abs(coarse - pan8), 1);
}

}  // namespace
}  // namespace tb

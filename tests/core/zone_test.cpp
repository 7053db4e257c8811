#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "follow/follow.h"

namespace tb {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(RoundHalfEven, ExactHalvesGoToTheEvenNeighbour) {
  const struct {
    double in, out;
  } cases[] = {
      {60.5, 60},
      {61.5, 62},
      {-7.5, -8},
      {-0.5, 0},
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {60.75, 61},
      {60.25, 60},
      {-60.75, -61},
      {-1.5, -2},
      {150.5, 150},
      {151.5, 152},
      {0.49999999999999994, 0},
      {4503599627370495.5, 4503599627370496.0},
      {-2147483648.5, -2147483648.0},
  };
  for (const auto& c : cases) EXPECT_EQ(RoundHalfEven(c.in), c.out) << c.in;
}

TEST(RoundToInt32, LimitsToTheInt32RangeAndNeverFailsOnOddInput) {
  const struct {
    double in;
    std::int32_t out;
  } cases[] = {
      {2147483647.4, kMax},  {2147483647.5, kMax},
      {1e300, kMax},         {-2147483648.4, kMin},
      {-2147483649.0, kMin}, {-1e300, kMin},
      {HUGE_VAL, kMax},      {-HUGE_VAL, kMin},
      {std::nan(""), 0},     {-0.5, 0},
      {254.5, 254},          {255.5, 256},
  };
  for (const auto& c : cases) EXPECT_EQ(RoundToInt32(c.in), c.out) << c.in;
}

TEST(SideOfMidpoint, MidpointRoundsHalfToEvenAndCountsToTheLargerCorner) {
  const struct {
    std::int32_t reading, first, second;
    std::int16_t side;
  } cases[] = {
      // midpoint 150
      {149, 100, 200, 1},
      {150, 100, 200, 2},
      {150, 200, 100, 1},
      {149, 200, 100, 2},
      // 150.5 rounds down to 150
      {150, 100, 201, 2},
      {149, 100, 201, 1},
      {150, 201, 100, 1},
      // 151.5 rounds up to 152
      {151, 100, 203, 1},
      {152, 100, 203, 2},
      // -1.5 goes to -2
      {-2, -1, -2, 1},
      {-3, -1, -2, 2},
      {-2, -2, -1, 2},
      // equal corners: always the first corner's side
      {kMin, 7, 7, 1},
      {kMax, 7, 7, 1},
      {7, 7, 7, 1},
      // sums beyond int32 are formed exactly
      {kMax, kMax, kMax - 2, 1},
      {kMax - 2, kMax, kMax - 2, 2},
      {kMax - 1, kMax - 2, kMax, 2},
      {kMin, kMin, kMin + 2, 1},
      {kMin + 1, kMin, kMin + 2, 2},
      {-1, kMin, kMax, 1},
      {0, kMin, kMax, 2},
      {-1, kMax, kMin, 2},
      {0, kMax, kMin, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SideOfMidpoint(c.reading, c.first, c.second), c.side)
        << c.reading << " between " << c.first << " and " << c.second;
  }
}

// Makes `master` the master with the given consulted values; every other
// value, of the master and of the other devices, is a decoy.
void SetMaster(RigStore& store, std::int16_t master, std::int32_t k1Pan, std::int32_t k1Tilt,
               std::int32_t k2Tilt, std::int32_t k3Pan, std::int32_t kmPan, std::int32_t kmTilt) {
  store.MasterDevice = master;
  for (int d = 1; d <= 4; ++d) {
    for (int p = 1; p <= 5; ++p) *store.Pan(d, p) = *store.Tilt(d, p) = 9999;
  }
  *store.Pan(master, 1) = k1Pan;
  *store.Tilt(master, 1) = k1Tilt;
  *store.Tilt(master, 2) = k2Tilt;
  *store.Pan(master, 3) = k3Pan;
  *store.Pan(master, 5) = kmPan;
  *store.Tilt(master, 5) = kmTilt;
  *store.Pan(master, 2) = *store.Tilt(master, 3) = -12345;
  *store.Pan(master, 4) = *store.Tilt(master, 4) = 12345;
}

struct ZoneCase {
  std::int32_t pan, tilt;
  std::int16_t zone;
};

void ExpectZones(const RigStore& store, std::initializer_list<ZoneCase> cases) {
  for (const auto& c : cases) {
    const auto z = ClassifyMasterZone(store, c.pan, c.tilt);
    ASSERT_FALSE(z.error);
    EXPECT_EQ(z.value, c.zone) << "reading (" << c.pan << ", " << c.tilt << ")";
  }
}

TEST(ClassifyMasterZone, WorkedExample) {
  RigStore store;
  SetMaster(store, 2, 60, 40, 200, 220, 140, 120);
  ExpectZones(store, {{100, 100, 1},
                      {100, 150, 2},
                      {180, 100, 3},
                      {180, 150, 4},
                      {141, 119, 5},
                      {140, 123, 4},
                      {101, 80, 1},
                      {10, 80, 1}});
}

TEST(ClassifyMasterZone, CentreWindowIsTwoStepsEachWayAndNeedsBothAxes) {
  RigStore store;
  SetMaster(store, 2, 0, 0, 250, 250, 128, 100);
  ExpectZones(store, {{128, 100, 5},
                      {130, 98, 5},
                      {126, 102, 5},
                      {130, 102, 5},
                      {126, 98, 5},
                      {131, 100, 3},
                      {125, 100, 3},
                      {124, 100, 1},
                      {128, 97, 3},
                      {128, 103, 3},
                      // one axis near KM is a corner zone
                      {128, 0, 3},
                      {0, 100, 1}});
}

TEST(ClassifyMasterZone, CentreWinsOverTheCornerMidpoints) {
  // KM sits right on both midpoints' lower sides.
  RigStore store;
  SetMaster(store, 2, 100, 100, 200, 200, 149, 149);
  ExpectZones(store, {{151, 151, 5}, {147, 147, 5}, {152, 151, 4}});
}

TEST(ClassifyMasterZone, EqualCornersPutEveryReadingOnKOnesSide) {
  RigStore store;
  SetMaster(store, 2, 80, 90, 90, 80, 200, 200);
  ExpectZones(store, {{0, 0, 1}, {255, 255, 1}, {kMin, kMax, 1}, {200, 200, 5}});
}

TEST(ClassifyMasterZone, UncalibratedMasterTakesPartAsMinusOne) {
  RigStore store;
  SetMaster(store, 2, -1, -1, -1, -1, -1, -1);
  ExpectZones(store, {{0, 1, 5}, {1, -3, 5}, {-1, -1, 5}, {2, 0, 1}, {128, 100, 1}});
}

TEST(ClassifyMasterZone, ExtremeReadingsAndCalibrationAreDefined) {
  // Readings at the ends of the int32 range: the +-3 window is formed wide.
  RigStore store;
  SetMaster(store, 2, kMin, kMin, kMax, kMax, kMax, kMin);
  ExpectZones(store, {{kMax, kMin, 5},
                      {kMax - 2, kMin + 2, 5},
                      {kMax - 3, kMin, 3},
                      {kMax, kMin + 3, 3},
                      {kMin, kMax, 2},
                      {-1, -1, 1},
                      {0, 0, 4}});
  SetMaster(store, 2, kMax, kMax, kMax, kMax, kMin, kMin);
  ExpectZones(store, {{kMin, kMin, 5}, {kMin + 3, kMin, 1}, {kMax, kMax, 1}});
}

TEST(ClassifyMasterZone, ReadsOnlyTheMastersRow) {
  for (std::int16_t master : {1, 3, 4}) {
    RigStore store;
    SetMaster(store, master, 60, 40, 200, 220, 140, 120);
    ExpectZones(store, {{100, 100, 1}, {180, 150, 4}, {141, 119, 5}, {9999, 9999, 4}});
  }
}

TEST(ClassifyMasterZone, MasterOutsideOneToSixteenIsOutOfRange) {
  RigStore store;
  for (std::int16_t m : {0, -1, 17, 32767}) {
    store.MasterDevice = m;
    EXPECT_EQ(ClassifyMasterZone(store, 0, 0).error, make_error_code(Errc::out_of_range)) << m;
  }
}

}  // namespace
}  // namespace tb

// Devices 5 to 16 in TrailBeam.ini: after the 25 lines, in the extension
// section, written only when in use, read back exactly, and damaged lines
// costing only themselves.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "rig/settings_extension.h"
#include "rig/settings_file.h"
#include "settings_example.h"

namespace tb {
namespace {

using testing::FillWithExample;
using testing::Join;
using testing::kExampleLines;

void Calibrate(RigStore& store, int d, std::int32_t base) {
  for (int p = 1; p <= kPointCount; ++p) {
    *store.Pan(d, p) = base + p;
    *store.Tilt(d, p) = base + 10 * p;
  }
  store.IsDeviceCalibrated(static_cast<std::int16_t>(d));
}

// The example's four devices, then: 5 calibrated at 8 bit, 9 with fine
// channels and its own ranges, 16 named only.
void FillArena(RigStore& store) {
  FillWithExample(store);
  *store.Pan(3, 2) = *store.Tilt(3, 2) = Uncalibrated;  // a point of no calibration is not kept
  *store.Device(5) = {"Spot 5", 65, 66};
  Calibrate(store, 5, 100);
  *store.Device(9) = {"Bühne 9", 129, 131, 630, 265, 130, 132};
  Calibrate(store, 9, 40);
  for (int p = 1; p <= kPointCount; ++p) {
    *store.PanFine(9, p) = p;
    *store.TiltFine(9, p) = 255 - p;
  }
  store.Device(16)->Name = "Floor 16";
}

const std::vector<std::string> kArenaLines = {
    "[TrailBeam extension]",    "Device5=Spot 5,65,66",
    "Device5.K1=1,101,110",     "Device5.K2=1,102,120",
    "Device5.K3=1,103,130",     "Device5.K4=1,104,140",
    "Device5.KM=1,105,150",     "Device9=B\xFChne 9,129,131,630,265,130,132",
    "Device9.K1=1,41,50,1,254", "Device9.K2=1,42,60,2,253",
    "Device9.K3=1,43,70,3,252", "Device9.K4=1,44,80,4,251",
    "Device9.KM=1,45,90,5,250", "Device16=Floor 16,0,0",
    "Device16.K1=0,-1,-1",      "Device16.K2=0,-1,-1",
    "Device16.K3=0,-1,-1",      "Device16.K4=0,-1,-1",
    "Device16.KM=0,-1,-1",
};

void ExpectSameDevices(const RigStore& a, const RigStore& b) {
  for (int d = 0; d < kDeviceCount; ++d) {
    const DeviceRecord& x = a.DeviceTable[d];
    const DeviceRecord& y = b.DeviceTable[d];
    EXPECT_EQ(x.Name, y.Name) << d + 1;
    EXPECT_EQ(std::vector<std::int32_t>({x.PanChannel, x.TiltChannel, x.PanRange, x.TiltRange,
                                         x.PanFineChannel, x.TiltFineChannel}),
              std::vector<std::int32_t>({y.PanChannel, y.TiltChannel, y.PanRange, y.TiltRange,
                                         y.PanFineChannel, y.TiltFineChannel}))
        << d + 1;
  }
  EXPECT_EQ(a.PanCalibration, b.PanCalibration);
  EXPECT_EQ(a.TiltCalibration, b.TiltCalibration);
  EXPECT_EQ(a.PanFineCalibration, b.PanFineCalibration);
  EXPECT_EQ(a.TiltFineCalibration, b.TiltFineCalibration);
  EXPECT_EQ(a.DeviceCalibrated, b.DeviceCalibrated);
}

TEST(SaveConfig, LaterDevicesFollowThe25LinesInNumberOrderAndReadBack) {
  RigStore saved;
  FillArena(saved);
  saved.StageK1K3 = 8.0;
  std::vector<std::string> extension = kArenaLines;
  extension.insert(extension.begin() + 1, "StageK1K3=8.00");
  std::vector<std::string> described = kExampleLines;
  described[15] = "0,-1,-1";
  const std::string bytes = ConfigFileBytes(saved);
  EXPECT_EQ(bytes, Join(described) + Join(extension));

  for (const char* end : {"\r\n", "\n"}) {
    RigStore read;
    Calibrate(read, 12, 7);  // an earlier file's device 12 must not survive
    read.Device(12)->Name = "Stale";
    ReadConfigFromBytes(read, Join(described, end) + Join(extension, end));
    ExpectSameDevices(read, saved);
    EXPECT_EQ(ConfigFileBytes(read), bytes) << (end[1] == 0 ? "LF" : "CR LF");
  }

  // A reader of the 25 lines finds the four devices it always found.
  RigStore first25;
  ReadConfigFromBytes(first25, bytes.substr(0, Join(described).size()));
  EXPECT_EQ(ConfigFileBytes(first25), Join(described));
  EXPECT_EQ(first25.Device(5)->Name, "");
  EXPECT_EQ(first25.IsDeviceCalibrated(5).value, VFalse);
}

TEST(ReadConfig, ALaterDevicesDamagedLineCostsOnlyItself) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;  // after the marker
    std::string deviceName;
    std::int32_t panChannel;
    std::int32_t panK1, panFineK1;
    VBool calibrated;
  };
  const Case cases[] = {
      {"a device line without its tilt channel is not taken",
       {"Device7=Spot,10", "Device7.K1=1,5,6"},
       "",
       0,
       5,
       0,
       VTrue},
      {"a point line without a tilt value leaves the point",
       {"Device7=Spot,10,11", "Device7.K1=1,5"},
       "Spot",
       10,
       Uncalibrated,
       0,
       VFalse},
      {"a point line flagged uncalibrated is not taken",
       {"Device7=Spot,10,11", "Device7.K1=0,5,6"},
       "Spot",
       10,
       Uncalibrated,
       0,
       VFalse},
      {"fine values are read only after fine channels",
       {"Device7.K1=1,5,6,7,8", "Device7=Spot,10,11,540,270,12,13"},
       "Spot",
       10,
       5,
       0,
       VTrue},
      {"a later device line without fine channels drops the fine values",
       {"Device7=Spot,10,11,540,270,12,13", "Device7.K1=1,5,6,7,8", "Device7=Wash,20,21"},
       "Wash",
       20,
       5,
       0,
       VTrue},
      {"a name in UTF-8 after Windows-1252 lines",
       {"Device7=B\xC3\xBChne,10,11"},
       "Bühne",
       10,
       Uncalibrated,
       0,
       VFalse},
      {"a name with a letter Windows-1252 lacks is not taken",
       {"Device7=Sp\xE2\x80\x8Bot,10,11"},
       "",
       0,
       Uncalibrated,
       0,
       VFalse},
      {"keys the writer never writes are skipped",
       {"Device 7=Spot,10,11", "device7=Spot,10,11", "Device7.k1=1,5,6", "Device7.K 1=1,5,6",
        "Device+7=Spot,10,11", "Device7.=Spot,10,11"},
       "",
       0,
       Uncalibrated,
       0,
       VFalse},
  };
  for (const Case& c : cases) {
    std::vector<std::string> extension = {"[TrailBeam extension]"};
    extension.insert(extension.end(), c.lines.begin(), c.lines.end());
    RigStore store;
    ReadConfigFromBytes(store, Join(kExampleLines) + Join(extension));
    EXPECT_EQ(store.Device(7)->Name, c.deviceName) << c.name;
    EXPECT_EQ(store.Device(7)->PanChannel, c.panChannel) << c.name;
    EXPECT_EQ(*store.Pan(7, 1), c.panK1) << c.name;
    EXPECT_EQ(*store.PanFine(7, 1), c.panFineK1) << c.name;
    EXPECT_EQ(*store.Calibrated(7), c.calibrated) << c.name;
    EXPECT_EQ(store.Device(2)->Name, "Spot rechts") << c.name;
    // Whatever was read saves and reads back to the same.
    RigStore again;
    ReadConfigFromBytes(again, ConfigFileBytes(store));
    EXPECT_EQ(ConfigFileBytes(again), ConfigFileBytes(store)) << c.name;
  }
}

// The longest line the writer can make: the longest name behind the longest
// key, with the widest channels.
TEST(SettingsFile, TheLongestLaterDeviceLineReadsBack) {
  constexpr std::int32_t kWidest = std::numeric_limits<std::int32_t>::min();
  RigStore saved;
  *saved.Device(16) = {
      std::string(kMaxNameBytes, 'x'), kWidest, kWidest, 1080, 1080, kWidest, kWidest};
  ASSERT_TRUE(IsStorableName(saved.Device(16)->Name));
  RigStore read;
  ReadConfigFromBytes(read, ConfigFileBytes(saved));
  EXPECT_EQ(read.Device(16)->Name.size(), kMaxNameBytes);
  EXPECT_EQ(read.Device(16)->TiltFineChannel, kWidest);
}

}  // namespace
}  // namespace tb

// The extension section after TrailBeam.ini's 25 described lines: stage
// lengths and the height channel, written only when given, read back
// exactly, and never at the cost of the 25 lines or of each other.
#include "rig/settings_extension.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "rig/settings_file.h"
#include "settings_example.h"
#include "temp_dir.h"

namespace tb {
namespace {

using testing::FillWithExample;
using testing::Join;
using testing::kExampleLines;

struct Extension {
  double k1k3 = 0.0;
  double k1k2 = 0.0;
  std::int32_t channel = 0;
  std::int32_t rate = kDefaultFollowRate;
};

void ExpectExtension(const RigStore& store, const Extension& expected, const std::string& what) {
  EXPECT_DOUBLE_EQ(store.StageK1K3, expected.k1k3) << what;
  EXPECT_DOUBLE_EQ(store.StageK1K2, expected.k1k2) << what;
  EXPECT_EQ(store.HeightChannel, expected.channel) << what;
  EXPECT_EQ(store.FollowRate, expected.rate) << what;
}

// The 25 lines' part of a store, as the file holds it.
std::string DescribedPart(const RigStore& store) {
  RigStore copy;
  copy.DeviceTable = store.DeviceTable;
  copy.PanCalibration = store.PanCalibration;
  copy.TiltCalibration = store.TiltCalibration;
  copy.PanFineCalibration = store.PanFineCalibration;
  copy.TiltFineCalibration = store.TiltFineCalibration;
  copy.DeviceCalibrated = store.DeviceCalibrated;
  return ConfigFileBytes(copy);
}

std::vector<std::string> ExampleWith(const std::vector<std::string>& more) {
  std::vector<std::string> lines = kExampleLines;
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

TEST(SaveConfig, ExtensionIsWrittenOnlyForTheValuesGiven) {
  const std::string today = Join(kExampleLines);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    Extension values;
    std::vector<std::string> after;  // the lines after line 25
  };
  const Case cases[] = {
      {"none", {}, {}},
      {"K1-K3 only", {8.0, 0, 0}, {"[TrailBeam extension]", "StageK1K3=8.00"}},
      {"both lengths and the channel",
       {12.345, 6.5, 17},
       {"[TrailBeam extension]", "StageK1K3=12.35", "StageK1K2=6.50", "HeightChannel=17"}},
      {"channel only", {0, 0, 512}, {"[TrailBeam extension]", "HeightChannel=512"}},
      {"smallest and largest lengths",
       {0.1, 100.0, 1},
       {"[TrailBeam extension]", "StageK1K3=0.10", "StageK1K2=100.00", "HeightChannel=1"}},
      // Values no window or reader lets in are not written, so the file
      // never holds what its reader would refuse.
      {"values the reader would refuse", {0.04, 100.01, 513}, {}},
      {"negative values", {-8.0, -0.5, -3}, {}},
      {"not a number", {nan, inf, 0}, {}},
      {"the default rate is not written", {0, 0, 0, 10}, {}},
      {"rate 20", {0, 0, 0, 20}, {"[TrailBeam extension]", "FollowRate=20"}},
      {"rate 25", {0, 0, 0, 25}, {"[TrailBeam extension]", "FollowRate=25"}},
      {"rate 40 after the other values",
       {8.0, 0, 17, 40},
       {"[TrailBeam extension]", "StageK1K3=8.00", "HeightChannel=17", "FollowRate=40"}},
      {"rates that are not offered", {0, 0, 0, 30}, {}},
      {"a rate of 0", {0, 0, 0, 0}, {}},
      {"a negative rate", {0, 0, 0, -20}, {}},
  };
  for (const Case& c : cases) {
    RigStore store;
    FillWithExample(store);
    store.StageK1K3 = c.values.k1k3;
    store.StageK1K2 = c.values.k1k2;
    store.HeightChannel = c.values.channel;
    store.FollowRate = c.values.rate;
    store.FollowHeight = 1.5;  // run state: never stored
    EXPECT_EQ(ConfigFileBytes(store), today + Join(c.after)) << c.name;
  }
}

TEST(ReadConfig, ExtensionLinesAreReadAndHostileOnesCostOnlyThemselves) {
  const std::string overLong(kMaxLineBytes + 1, 'S');
  struct Case {
    const char* name;
    std::vector<std::string> after;
    Extension expected;
  };
  const Case cases[] = {
      {"no extension", {}, {}},
      {"every value",
       {"[TrailBeam extension]", "StageK1K3=8.00", "StageK1K2=6.00", "HeightChannel=17"},
       {8.0, 6.0, 17}},
      {"foreign lines before the marker are not ours",
       {"StageK1K3=3.00", "anything", "", "[TrailBeam extension]", "StageK1K2=4.00"},
       {0, 4.0, 0}},
      {"keys without the marker are foreign", {"StageK1K3=3.00", "HeightChannel=5"}, {}},
      {"blanks around keys and values, fewer decimals",
       {" [TrailBeam extension] ", " StageK1K3 = 8.5\t", "StageK1K2=7", "HeightChannel= 9 "},
       {8.5, 7.0, 9}},
      {"a later line replaces an earlier one",
       {"[TrailBeam extension]", "StageK1K3=8.00", "StageK1K3=9.25"},
       {9.25, 0, 0}},
      {"zero means not given",
       {"[TrailBeam extension]", "StageK1K3=8.00", "StageK1K3=0.00", "HeightChannel=0"},
       {0, 0, 0}},
      {"hostile values are skipped, the next good line is read",
       {"[TrailBeam extension]", "StageK1K3=abc", "StageK1K3=-1", "StageK1K3=8,00",
        "StageK1K3=0.05", "StageK1K3=100.01", "StageK1K3=1e3", "StageK1K3=8.001",
        "StageK1K3=99999999999999999999", "StageK1K3=", "StageK1K3", "=", "HeightChannel=513",
        "HeightChannel=-3", "HeightChannel=0x10", "HeightChannel=4294967313", "HeightChannel=1.5",
        "StageK1K2=5.00", "HeightChannel=12"},
       {0, 5.0, 12}},
      {"unknown keys and odd lines are skipped",
       {"[TrailBeam extension]", "FollowSmoothing=20", "Device17=Spot 17,33,34",
        "Device4=Spot 4,33,34", "Device0=Spot,1,2", "Device05.K1=1,2,3", "Device6.K6=1,2,3", "",
        ",,,", "[TrailBeam extension]", "StageK1K3=10.00"},
       {10.0, 0, 0}},
      {"an over-long line does not end the reading",
       {"[TrailBeam extension]", "StageK1K3=" + overLong, overLong, "StageK1K3=2.50"},
       {2.5, 0, 0}},
      {"a value after a name-like key with = in it",
       {"[TrailBeam extension]", "HeightChannel=7=8", "StageK1K2=3.00"},
       {0, 3.0, 0}},
      {"each offered rate",
       {"[TrailBeam extension]", "FollowRate=40", "StageK1K2=3.00"},
       {0, 3.0, 0, 40}},
      {"rate with blanks", {"[TrailBeam extension]", " FollowRate = 25 "}, {0, 0, 0, 25}},
      {"the default rate written out", {"[TrailBeam extension]", "FollowRate=10"}, {}},
      {"hostile rates are skipped, the next good one is read",
       {"[TrailBeam extension]", "FollowRate=20", "FollowRate=30", "FollowRate=0", "FollowRate=-20",
        "FollowRate=020", "FollowRate=20.0", "FollowRate=1e1", "FollowRate=4294967316",
        "FollowRate=99999999999999999999", "FollowRate=", "FollowRate", "FollowRate=25Hz",
        "FollowRate=0x19", "followrate=40"},
       {0, 0, 0, 20}},
      {"a hostile rate alone leaves the default",
       {"[TrailBeam extension]", "FollowRate=1000", "HeightChannel=5"},
       {0, 0, 5, 10}},
  };
  RigStore plain;
  ReadConfigFromBytes(plain, Join(kExampleLines));
  for (const Case& c : cases) {
    for (const char* end : {"\r\n", "\n"}) {
      const std::string what = std::string(c.name) + (end[1] == 0 ? " (LF)" : " (CR LF)");
      RigStore store;
      store.StageK1K3 = 1.0;  // an earlier file's values must not survive
      store.StageK1K2 = 2.0;
      store.HeightChannel = 3;
      store.FollowRate = 40;
      ReadConfigFromBytes(store, Join(ExampleWith(c.after), end));
      ExpectExtension(store, c.expected, what);
      EXPECT_EQ(DescribedPart(store), DescribedPart(plain)) << what;
    }
  }
}

TEST(ReadConfig, ExtensionIsReadWhereverTheReadingOfThe25LinesStopped) {
  const std::vector<std::string> extension = {"[TrailBeam extension]", "StageK1K3=8.00",
                                              "HeightChannel=20"};
  struct Case {
    const char* name;
    int line;  // 1-based line of the example replaced
    std::string text;
  };
  const std::string overLong(kMaxLineBytes + 1, 'x');
  const Case cases[] = {
      {"a name with a comma", 8, "Spot, rechts,17,18"},
      {"a point line without a flag", 10, "x,1,2"},
      {"an over-long device line", 14, overLong},
      {"an empty device line", 20, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> broken = kExampleLines;
    broken[static_cast<std::size_t>(c.line - 1)] = c.text;
    RigStore withExtension, without;
    ReadConfigFromBytes(withExtension, Join(broken) + Join(extension));
    ReadConfigFromBytes(without, Join(broken));
    ExpectExtension(withExtension, {8.0, 0, 20}, c.name);
    EXPECT_EQ(DescribedPart(withExtension), DescribedPart(without)) << c.name;
  }

  // Lines that are due as described lines are never extension lines.
  std::vector<std::string> shortFile(kExampleLines.begin(), kExampleLines.begin() + 20);
  shortFile.insert(shortFile.end(), extension.begin(), extension.end());
  RigStore store;
  store.StageK1K3 = 1.0;  // nor may an earlier file's values survive it
  store.StageK1K2 = 2.0;
  store.HeightChannel = 3;
  store.FollowRate = 25;
  ReadConfigFromBytes(store, Join(shortFile));
  ExpectExtension(store, {}, "a file that ends inside the 25 lines");
}

TEST(SettingsFile, ExtensionRoundTripsAndA25LineReaderSeesTheSameFile) {
  const Extension cases[] = {
      {8.0, 0, 0}, {0.1, 100.0, 512}, {0.15, 12.34, 1}, {33.33, 0, 0},   {0, 0.99, 0},
      {0, 0, 77},  {0, 0, 0, 20},     {0, 0, 0, 25},    {8.0, 0, 0, 40}, {0, 0, 0, 10},
  };
  for (const Extension& values : cases) {
    const std::string what = std::to_string(values.k1k3) + "/" + std::to_string(values.k1k2) + "/" +
                             std::to_string(values.channel) + "/" + std::to_string(values.rate);
    testing::TempDir dir;
    const std::string path = dir.File("TrailBeam.ini");
    RigStore saved;
    FillWithExample(saved);
    saved.StageK1K3 = values.k1k3;
    saved.StageK1K2 = values.k1k2;
    saved.HeightChannel = values.channel;
    saved.FollowRate = values.rate;
    ASSERT_FALSE(save_config(saved, path)) << what;
    RigStore read;
    read_config(read, path);
    ExpectExtension(read, values, what);
    const std::string bytes = testing::ReadBytes(path);
    const std::string today = Join(kExampleLines);
    EXPECT_EQ(bytes.substr(0, today.size()), today) << what;
    EXPECT_EQ(ExtensionLines(read), bytes.substr(today.size())) << what;
  }
}

// Four devices and nothing after line 25: read at the default rate, whatever
// the store held, and saved again byte for byte.
TEST(SettingsFile, AFileWithoutARateIsReadAtTenAndSavedUnchanged) {
  const std::vector<std::string> fourDevices = {
      "TrailBeam.ini", "Spot links,1,2", "1,60,40",           "1,60,200",     "1,220,40",
      "1,220,200",     "1,140,120",      "Spot rechts,17,18", "1,30,10",      "1,31,190",
      "1,200,20",      "1,210,180",      "1,90,70",           "Wash 3,33,35", "0,-1,-1",
      "0,-1,-1",       "0,-1,-1",        "0,-1,-1",           "0,-1,-1",      "Profil 4,40,41",
      "1,10,20",       "1,10,200",       "1,240,20",          "1,240,200",    "1,128,110"};
  for (const char* end : {"\r\n", "\n"}) {
    const char* what = end[1] == 0 ? "LF" : "CR LF";
    RigStore store;
    store.FollowRate = 40;
    ReadConfigFromBytes(store, Join(fourDevices, end));
    EXPECT_EQ(store.FollowRate, kDefaultFollowRate) << what;
    EXPECT_EQ(store.DeviceTable[3].Name, "Profil 4") << what;
    EXPECT_EQ(ConfigFileBytes(store), Join(fourDevices)) << what;
  }
}

TEST(ReadConfig, MissingFileKeepsTheExtensionValuesAsTheDeviceTable) {
  testing::TempDir dir;
  RigStore store;
  store.StageK1K3 = 8.0;
  store.HeightChannel = 4;
  store.FollowRate = 25;
  read_config(store, dir.File("absent.ini"));
  ExpectExtension(store, {8.0, 0, 4, 25}, "no file");
}

TEST(StageLength, TextsOfMetres) {
  struct Case {
    const char* text;
    bool allowComma;
    std::optional<std::int32_t> centimetres;
  };
  const Case cases[] = {
      {"8.00", false, 800},
      {"8", false, 800},
      {"8.5", false, 850},
      {".5", false, 50},
      {"8.", false, 800},
      {" 12.34 ", false, 1234},
      {"0", false, 0},
      {"8,50", true, 850},
      {"8,50", false, std::nullopt},
      {"8.50", true, 850},
      {"", false, std::nullopt},
      {".", false, std::nullopt},
      {"-1", false, std::nullopt},
      {"+1", false, std::nullopt},
      {"8.123", false, std::nullopt},
      {"1e2", false, std::nullopt},
      {"8 .5", false, std::nullopt},
      {"9999999", false, 999999900},
      {"99999999", false, std::nullopt},
      {"8.5.1", false, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseCentimetres(c.text, c.allowComma), c.centimetres)
        << '"' << c.text << "\" comma " << c.allowComma;
  }
  EXPECT_EQ(MetresText(800), "8.00");
  EXPECT_EQ(MetresText(5), "0.05");
  EXPECT_EQ(MetresText(1234), "12.34");
  EXPECT_EQ(MetresText(0), "0.00");
}

TEST(FollowRate, IntervalOfEachRate) {
  struct Case {
    std::int32_t rate;
    int intervalMs;
  };
  // Anything not offered ticks as the default does, never divides by 0.
  const Case cases[] = {{10, 100}, {20, 50},   {25, 40},  {40, 25},
                        {0, 100},  {-40, 100}, {30, 100}, {1000, 100}};
  for (const Case& c : cases) {
    EXPECT_EQ(FollowIntervalMs(c.rate), c.intervalMs) << c.rate;
    EXPECT_EQ(IsFollowRate(c.rate), c.intervalMs * c.rate == 1000) << c.rate;
  }
}

}  // namespace
}  // namespace tb

// The show box's plain parts: what in TrailBeam.ini refuses a show, which
// entry of the master list stands for the device the operator named, and
// the count of ticks in the last minute.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "../core/temp_dir.h"
#include "host/show/run_status.h"
#include "host/show/show_master.h"
#include "host/show/show_rig.h"

namespace tbhost {
namespace {

std::vector<ListedDevice> Rows(const std::vector<std::string>& names) {
  std::vector<ListedDevice> rows;
  int channel = 1;
  for (const std::string& name : names) {
    rows.push_back({name, std::to_string(channel), std::to_string(channel + 1)});
    channel += 2;
  }
  return rows;
}

TEST(ShowMaster, FindsTheEntryThePluginTakesForTheDevice) {
  struct Case {
    const char* what;
    std::vector<std::string> names;
    MasterChoice wanted;
    int device;
    int entry;
  };
  const Case cases[] = {
      {"by name", {"Spot L", "Spot R", "Wash", ""}, {0, "Wash"}, 3, 2},
      {"by number", {"Spot L", "Spot R", "Wash", ""}, {2, ""}, 2, 1},
      {"first", {"Spot L", "Spot R", "", ""}, {0, "Spot L"}, 1, 0},
      {"last of four", {"a", "b", "c", "d"}, {4, ""}, 4, 3},
      {"a name of blanks is a name", {"a", " ", "c", ""}, {0, "c"}, 3, 2},
      {"names are exact", {"Spot", "Spot ", "", ""}, {0, "Spot "}, 2, 1},
      {"umlauts", {"Gerät 1", "Gerät 2", "", ""}, {0, "Gerät 2"}, 2, 1},
      {"a digit name by name", {"2", "1", "", ""}, {0, "1"}, 2, 1},
      // Once a device after the fourth is named, every entry is its own device.
      {"behind an unnamed device, with later devices named",
       {"a", "b", "c", "", "e", "f"},
       {5, ""},
       5,
       3},
      {"a later device behind a gap, by name",
       {"", "b", "", "", "", "", "", "", "", "", "", "l"},
       {0, "l"},
       12,
       1},
  };
  for (const Case& c : cases) {
    const MasterPick pick = FindMaster(Rows(c.names), c.wanted);
    EXPECT_EQ(pick.error, "") << c.what;
    EXPECT_EQ(pick.device, c.device) << c.what;
    EXPECT_EQ(pick.entry, c.entry) << c.what;
  }
}

TEST(ShowMaster, RefusesWhatWouldPickNoneOrAnother) {
  struct Case {
    const char* what;
    std::vector<std::string> names;
    MasterChoice wanted;
    std::string error;
  };
  const Case cases[] = {
      {"no such name",
       {"Spot L", "Spot R", "", ""},
       {0, "Wash"},
       "no device named \"Wash\" in the device setup (named: \"Spot L\", \"Spot R\")"},
      {"case counts",
       {"Spot L", "Spot R", "", ""},
       {0, "spot l"},
       "no device named \"spot l\" in the device setup (named: \"Spot L\", \"Spot R\")"},
      {"no names at all",
       {"", "", "", ""},
       {0, "Spot"},
       "no device named \"Spot\" in the device setup (none has a name)"},
      {"unnamed number",
       {"Spot L", "Spot R", "", ""},
       {3, ""},
       "device 3 has no name in the device setup, so it is not in the master list (named: "
       "\"Spot L\", \"Spot R\")"},
      {"number past the rows",
       {"a", "b"},
       {4, ""},
       "device 4 has no name in the device setup, so "
       "it is not in the master list (named: \"a\", "
       "\"b\")"},
      {"a name twice",
       {"Spot", "Wash", "Spot", ""},
       {0, "Spot"},
       "2 devices are named \"Spot\" in the device setup: give the master's number (--master N)"},
      // The plug-in would take entry 3 for device 3 and follow the wrong head.
      {"behind an unnamed device",
       {"a", "b", "", "d"},
       {4, ""},
       "device 4 \"d\" is entry 3 of the master list, which the plug-in takes for device 3: "
       "name every device before it in the device setup"},
      {"behind an unnamed device, by name",
       {"", "b", "", ""},
       {0, "b"},
       "device 2 \"b\" is entry 1 of the master list, which the plug-in takes for device 1: "
       "name every device before it in the device setup"},
  };
  for (const Case& c : cases) {
    const MasterPick pick = FindMaster(Rows(c.names), c.wanted);
    EXPECT_EQ(pick.error, c.error) << c.what;
    EXPECT_EQ(pick.device, 0) << c.what;
    EXPECT_EQ(pick.entry, -1) << c.what;
  }
}

// A rig's TrailBeam.ini: each device's line and its five point lines.
constexpr const char* kCalibrated = "1,60,40\r\n1,60,200\r\n1,220,40\r\n1,220,200\r\n1,140,120\r\n";
constexpr const char* kUncalibrated = "0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n0,-1,-1\r\n";

struct IniDevice {
  std::string line;
  std::string points = kCalibrated;
};

std::string Ini(const std::array<IniDevice, 4>& devices) {
  std::string text = "TrailBeam.ini\r\n";
  for (const IniDevice& d : devices) text += d.line + "\r\n" + d.points;
  return text;
}

const std::array<IniDevice, 4> kRig = {
    {{"Truss L,1,2"}, {"Truss R,3,4"}, {"Floor,5,6"}, {",0,0", kUncalibrated}}};

std::array<IniDevice, 4> RigWith(int device, IniDevice changed) {
  std::array<IniDevice, 4> rig = kRig;
  rig[static_cast<std::size_t>(device - 1)] = std::move(changed);
  return rig;
}

TEST(ShowRig, WhatTheFileAllowsIsFoundBeforeThePluginReadsIt) {
  struct Case {
    const char* what;
    std::string bytes;
    MasterChoice master;
    std::string error;  // empty: the box goes on
  };
  // Lines 1 to 11 and the start of line 12, "1,220,40".
  std::string cut = Ini(kRig);
  std::size_t end = 0;
  for (int line = 1; line <= 11; ++line) end = cut.find("\r\n", end) + 2;
  cut = cut.substr(0, end) + "1,220,4";
  const Case cases[] = {
      {"a calibrated rig", Ini(kRig), {0, "Truss R"}, ""},
      {"by number", Ini(kRig), {3, ""}, ""},
      // Unnamed and empty, the fourth device is saved as it stands.
      {"an unused device 4", Ini(kRig), {1, ""}, ""},
      // Only the master is checked here; the plug-in tells of its slaves.
      {"a slave on channel 0", Ini(RigWith(3, {"Floor,0,6"})), {2, ""}, ""},
      {"a first device line with no name",
       Ini(RigWith(1, {",1,2"})),
       {0, "Truss R"},
       "device 1 has no name in TrailBeam.ini (line 2): the device setup would list it as "
       "\"Device1\" on channels 0/0 and save it so; name it with the interactive host"},
      {"device 2 with no name, even on 0/0",
       Ini(RigWith(2, {",0,0", kUncalibrated})),
       {1, ""},
       "device 2 has no name in TrailBeam.ini (line 8): the device setup would list it as "
       "\"Device2\" on channels 0/0 and save it so; name it with the interactive host"},
      {"device 3 with no name but channels",
       Ini(RigWith(3, {",7,8"})),
       {1, ""},
       "device 3 has no name in TrailBeam.ini (line 14): the device setup would save it on "
       "channels 0/0, without what its line holds; name it with the interactive host, or empty "
       "its line"},
      {"no such master",
       Ini(kRig),
       {0, "Wash"},
       "no device named \"Wash\" in the device setup (named: \"Truss L\", \"Truss R\", "
       "\"Floor\")"},
      // Saved before the fifth mark was taken: the flag is 0 and the
      // plug-in loads none of the three.
      {"a partly calibrated master",
       Ini(RigWith(2,
                   {"Truss R,3,4", "0,60,40\r\n0,60,200\r\n0,-1,-1\r\n0,-1,-1\r\n0,140,120\r\n"})),
       {0, "Truss R"},
       "the master \"Truss R\" (device 2) is not calibrated in TrailBeam.ini: take its five "
       "marks with the interactive host and save them with Enable TB"},
      {"a master flagged on three marks",
       Ini(RigWith(2,
                   {"Truss R,3,4", "1,60,40\r\n1,60,200\r\n0,-1,-1\r\n0,-1,-1\r\n1,140,120\r\n"})),
       {0, "Truss R"},
       "the master \"Truss R\" (device 2) lacks K3, K4 in TrailBeam.ini: take them with the "
       "interactive host and save them with Enable TB"},
      {"a master beyond the universe",
       Ini(RigWith(2, {"Truss R,513,-1"})),
       {2, ""},
       "the master \"Truss R\" (device 2) is on channels 513/-1, which the console's universe "
       "does not have (1 to 512)"},
      {"a master on channel 0",
       Ini(RigWith(1, {"Truss L,0,2"})),
       {1, ""},
       "the master \"Truss L\" (device 1) is on channels 0/2, which the console's universe does "
       "not have (1 to 512)"},
      {"the last channel is on it", Ini(RigWith(1, {"Truss L,511,512"})), {1, ""}, ""},
      {"a fine channel beyond it",
       Ini(RigWith(1, {"Truss L,1,2,540,270,513,0",
                       "1,60,40,0,0\r\n1,60,200,0,0\r\n1,220,40,0,0\r\n1,220,200,0,0\r\n"
                       "1,140,120,0,0\r\n"})),
       {1, ""},
       "the master \"Truss L\" (device 1) has fine channels 513/0, which the console's universe "
       "does not have (1 to 512, 0 for none)"},
      {"garbage",
       "\x7F"
       "ELF binary\0\x01\x02 junk",
       {1, ""},
       "TrailBeam.ini could not be read: line 1: the file ends in the middle of it"},
      {"cut off in the middle of a line",
       cut,
       {1, ""},
       "TrailBeam.ini could not be read: line 12: the file ends in the middle of it"},
      {"a name with a comma",
       Ini(RigWith(2, {"Truss, R,3,4"})),
       {1, ""},
       "TrailBeam.ini could not be read: line 8: its pan channel is no whole number"},
  };
  for (const Case& c : cases) {
    const ShowRig rig = CheckShowRig(c.bytes, c.master, "TrailBeam.ini");
    EXPECT_EQ(rig.error, c.error) << c.what;
  }
}

// A follow height the main window would not offer is refused before the
// device setup's OK could rewrite the file.
TEST(ShowRig, HeightIsRefusedWhereTheMainWindowWouldNotOfferIt) {
  const std::string stage = "[TrailBeam extension]\r\nStageK1K3=8.00\r\n";
  struct Case {
    const char* what;
    std::string bytes;
    std::optional<double> height;
    std::string error;
  };
  const Case cases[] = {
      {"no height asked, no length", Ini(kRig), std::nullopt, ""},
      {"a height with a K1-K3 length", Ini(kRig) + stage, 1.5, ""},
      {"a height without a K1-K3 length", Ini(kRig), 1.5,
       "TrailBeam.ini holds no K1-K3 length, so the box cannot follow at a height (--height): "
       "enter the length in the device setup with the interactive host"},
      {"a height where a channel sets it", Ini(kRig) + stage + "HeightChannel=17\r\n", 0.0,
       "the follow height comes from channel 17 in TrailBeam.ini; --height cannot set it"},
  };
  for (const Case& c : cases) {
    const ShowRig rig = CheckShowRig(c.bytes, {0, "Truss R"}, "TrailBeam.ini", c.height);
    EXPECT_EQ(rig.error, c.error) << c.what;
  }
}

TEST(ShowRig, ListsTheRowsTheDeviceSetupWillShowAndPicksTheMaster) {
  const ShowRig rig = CheckShowRig(Ini(kRig), {0, "Floor"}, "TrailBeam.ini");
  ASSERT_EQ(rig.error, "");
  // Every row of the device setup, the twelve after the file's four unused.
  ASSERT_EQ(rig.listed.size(), 16u);
  std::vector<std::array<std::string, 3>> want = {
      {"Truss L", "1", "2"}, {"Truss R", "3", "4"}, {"Floor", "5", "6"}};
  want.resize(16, {"", "0", "0"});
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(rig.listed[i].name, want[i][0]) << i;
    EXPECT_EQ(rig.listed[i].pan, want[i][1]) << i;
    EXPECT_EQ(rig.listed[i].tilt, want[i][2]) << i;
  }
  EXPECT_EQ(rig.pick.device, 3);
  EXPECT_EQ(rig.pick.entry, 2);

  // The device setup must list what the file holds, or the box closes it.
  EXPECT_EQ(CheckListedAsExpected(rig.listed, rig.listed), "");
  std::vector<ListedDevice> other = rig.listed;
  other[1].pan = "30";
  EXPECT_EQ(CheckListedAsExpected(other, rig.listed),
            "the device setup lists device 2 as \"Truss R\" on channels 30/4, where the file "
            "holds \"Truss R\" on 3/4");
  other.pop_back();
  EXPECT_EQ(CheckListedAsExpected(other, rig.listed), "the device setup lists 15 devices, not 16");
}

// Devices 5 on as the plug-in saves them, after the 25 lines: each device
// line and point line behind its key.
std::string Later(const std::vector<IniDevice>& devices, int first = 5) {
  static const char* const kMarks[] = {"K1", "K2", "K3", "K4", "KM"};
  std::string text = "[TrailBeam extension]\r\n";
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const std::string key = "Device" + std::to_string(first + static_cast<int>(i));
    text += key + "=" + devices[i].line + "\r\n";
    std::size_t at = 0;
    for (const char* mark : kMarks) {
      const std::size_t end = devices[i].points.find("\r\n", at);
      text += key + "." + mark + "=" + devices[i].points.substr(at, end - at) + "\r\n";
      at = end + 2;
    }
  }
  return text;
}

// Twelve devices: the described four, then eight in the extension. The box
// finds and checks the later ones as it does the first four.
TEST(ShowRig, DevicesBeyondTheFourthAreCheckedAsTheFirstFour) {
  const std::array<IniDevice, 4> first = {
      {{"Front L,1,2"}, {"Front C,3,4"}, {"Front R,5,6"}, {"Boom L1,7,8"}}};
  std::vector<IniDevice> later = {{"Boom L2,9,10"},  {"Boom R1,11,12"}, {"Boom R2,13,14"},
                                  {"Back L,15,16"},  {"Back C,17,18"},  {"Back R,19,20"},
                                  {"Floor L,21,22"}, {"Floor R,23,24"}};
  auto with = [&](std::size_t device, IniDevice changed) {
    std::vector<IniDevice> devices = later;
    devices[device - 5] = std::move(changed);
    return Ini(first) + Later(devices);
  };
  const std::string rig = Ini(first) + Later(later);
  struct Case {
    const char* what;
    std::string bytes;
    MasterChoice master;
    std::string error;
    int device = 0;  // the master found, when there is no error
    std::vector<std::string> notes = {};
  };
  const Case cases[] = {
      {"the last device by number", rig, {12, ""}, "", 12},
      {"a later device by name", rig, {0, "Back C"}, "", 9},
      {"a device the file does not hold",
       rig,
       {13, ""},
       "device 13 has no name in the device setup, so it is not in the master list (named: "
       "\"Front L\", \"Front C\", \"Front R\", \"Boom L1\", \"Boom L2\", \"Boom R1\", "
       "\"Boom R2\", \"Back L\", \"Back C\", \"Back R\", \"Floor L\", \"Floor R\")"},
      {"an unnamed later device with channels",
       with(6, {",11,12"}),
       {1, ""},
       "device 6 has no name in TrailBeam.ini (its Device6 line): the device setup would save it "
       "on channels 0/0, without what its line holds; name it with the interactive host, or "
       "empty its line"},
      {"a later master not calibrated",
       with(10, {"Back R,19,20", kUncalibrated}),
       {10, ""},
       "the master \"Back R\" (device 10) is not calibrated in TrailBeam.ini: take its five "
       "marks with the interactive host and save them with Enable TB"},
      {"a later master beyond the universe",
       with(11, {"Floor L,521,522"}),
       {0, "Floor L"},
       "the master \"Floor L\" (device 11) is on channels 521/522, which the console's universe "
       "does not have (1 to 512)"},
      // The box goes on: the other slaves follow, and the operator hears
      // which ones cannot.
      {"later slaves beyond the fixtures' universe",
       with(12, {"Floor R,600,601"}),
       {2, ""},
       "",
       2,
       {"device 12 \"Floor R\" is on channels 600/601, beyond the fixtures' universe (1 to "
        "512): it will not follow"}},
      {"a fine channel beyond it, and an uncalibrated slave told of by nobody",
       Ini(first) + Later({{"Boom L2,9,10,540,270,11,513",
                            "1,60,40,0,0\r\n1,60,200,0,0\r\n1,220,40,0,0\r\n1,220,200,0,0\r\n"
                            "1,140,120,0,0\r\n"},
                           {"Boom R1,700,701", kUncalibrated}}),
       {2, ""},
       "",
       2,
       {"device 5 \"Boom L2\" is on channels 9/10 with fine channels 11/513, beyond the "
        "fixtures' universe (1 to 512): it will not follow"}},
  };
  for (const Case& c : cases) {
    const ShowRig show = CheckShowRig(c.bytes, c.master, "TrailBeam.ini");
    EXPECT_EQ(show.error, c.error) << c.what;
    EXPECT_EQ(show.notes, c.notes) << c.what;
    if (c.error.empty()) {
      EXPECT_EQ(show.pick.device, c.device) << c.what;
      EXPECT_EQ(show.pick.entry, c.device - 1) << c.what;
      ASSERT_EQ(show.listed.size(), 16u) << c.what;
    }
  }
  const ShowRig all = CheckShowRig(rig, {2, ""}, "TrailBeam.ini");
  EXPECT_EQ(all.listed[11].name, "Floor R");
  EXPECT_EQ(all.listed[11].pan, "23");
  EXPECT_EQ(all.listed[11].tilt, "24");
  EXPECT_EQ(all.listed[12].name, "");
}

// The box follows at the file's rate; a file without one at ten a second.
TEST(ShowRig, TakesTheFollowRateFromTheFile) {
  const struct {
    std::string extension;
    int rate;
  } cases[] = {
      {"", 10},
      {"[TrailBeam extension]\r\nFollowRate=40\r\n", 40},
      {"[TrailBeam extension]\r\nFollowRate=25\r\n", 25},
      {"[TrailBeam extension]\r\nFollowRate=33\r\n", 10},
  };
  for (const auto& c : cases) {
    const ShowRig rig = CheckShowRig(Ini(kRig) + c.extension, {1, ""}, "TrailBeam.ini");
    EXPECT_EQ(rig.error, "") << c.extension;
    EXPECT_EQ(rig.rate, c.rate) << c.extension;
  }
}

TEST(ShowRig, AFileThatIsNoFileIsNotRead) {
  tb::testing::TempDir dir;
  const std::filesystem::path folder = dir.path() / "TrailBeam.ini";
  std::filesystem::create_directory(folder);
  std::string bytes = "x";
  EXPECT_EQ(ReadShowRigFile(folder, bytes), "it is a folder");
  EXPECT_EQ(bytes, "");
  const std::filesystem::path pipe = dir.path() / "pipe.ini";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
  EXPECT_EQ(ReadShowRigFile(pipe, bytes), "it is not a regular file");
  const std::filesystem::path file = dir.path() / "file.ini";
  tb::testing::WriteBytes(file.string(), Ini(kRig));
  EXPECT_EQ(ReadShowRigFile(file, bytes), "");
  EXPECT_EQ(bytes, Ini(kRig));
  // The plug-in reads to the end, so a part is not enough: a file longer
  // than any it writes (sixteen of the longest names, every line at its
  // longest) is refused, not checked in part.
  const std::filesystem::path huge = dir.path() / "huge.ini";
  tb::testing::WriteBytes(huge.string(), Ini(kRig));
  std::filesystem::resize_file(huge, std::uintmax_t{120} << 20);
  EXPECT_EQ(ReadShowRigFile(huge, bytes),
            "it holds more than 106961484 bytes, more than any TrailBeam.ini");
  EXPECT_EQ(bytes, "");
}

TEST(LastMinuteCount, CountsTheSixtySecondsUpToNow) {
  struct Case {
    const char* what;
    std::vector<std::int64_t> events;  // seconds, in order
    std::int64_t now;
    std::int64_t count;
  };
  const std::int64_t big = INT64_MAX - 5;
  const Case cases[] = {
      {"none", {}, 100, 0},
      {"ten in one second", std::vector<std::int64_t>(10, 100), 100, 10},
      {"the oldest second still counts", {41, 41, 100}, 100, 3},
      {"a second older is gone", {40, 41, 100}, 100, 2},
      // 40 and 100 share a bucket: the older count must not add to the newer.
      {"a bucket reused", {40, 40, 40, 100}, 100, 1},
      {"all gone after a quiet minute", {10, 20, 30}, 200, 0},
      {"not yet", {100, 101}, 100, 1},
      {"before the clock's zero", {-3, -2, -1, 0}, 0, 4},
      {"at the end of the clock", {big - 70, big - 59, big}, big, 2},
      {"at its start", {INT64_MIN, INT64_MIN + 1}, INT64_MIN + 59, 2},
  };
  for (const Case& c : cases) {
    LastMinuteCount count;
    for (std::int64_t second : c.events) count.Add(second);
    EXPECT_EQ(count.Count(c.now), c.count) << c.what;
  }
}

TEST(LastMinuteCount, TenTicksASecondForMinutesKeepsSixHundred) {
  LastMinuteCount count;
  for (std::int64_t second = 1000; second < 1300; ++second) {
    for (int tick = 0; tick < 10; ++tick) count.Add(second);
    if (second >= 1059) {
      EXPECT_EQ(count.Count(second), 600) << second;
    }
  }
}

}  // namespace
}  // namespace tbhost

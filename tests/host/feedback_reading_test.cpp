// What the interactive host reads for its feedback: the marks a saved
// TrailBeam.ini holds, and follow mode from the timing of the plug-in's reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/interactive/follow_watch.h"
#include "host/interactive/saved_calibration.h"

namespace tbhost {
namespace {

using Marks = std::array<bool, 5>;
constexpr Marks kAll = {true, true, true, true, true};
constexpr Marks kNone = {};

std::string Crlf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Device lines and point lines as the plug-in saves them.
std::vector<std::string> Device(const std::string& head, const std::string& flag,
                                const std::vector<std::string>& points) {
  std::vector<std::string> lines = {head};
  for (const std::string& p : points) lines.push_back(flag + "," + p);
  return lines;
}

std::string File(const std::vector<std::vector<std::string>>& devices) {
  std::vector<std::string> lines = {"TrailBeam.ini"};
  for (const auto& d : devices) lines.insert(lines.end(), d.begin(), d.end());
  return Crlf(lines);
}

const std::vector<std::string> kFive = {"60,40", "60,200", "220,40", "220,200", "140,120"};
const std::vector<std::string> kUnset = {"-1,-1", "-1,-1", "-1,-1", "-1,-1", "-1,-1"};

struct SavedCase {
  const char* what;
  std::string text;
  std::vector<SavedDevice> want;  // name, channels, taken, flagged
};

void ExpectRead(const SavedCase& c) {
  SCOPED_TRACE(c.what);
  const std::vector<SavedDevice> got = ReadSavedCalibration(c.text);
  ASSERT_EQ(got.size(), c.want.size());
  for (std::size_t d = 0; d < got.size(); ++d) {
    SCOPED_TRACE("device " + std::to_string(d + 1));
    EXPECT_EQ(got[d].name, c.want[d].name);
    EXPECT_EQ(got[d].panChannel, c.want[d].panChannel);
    EXPECT_EQ(got[d].tiltChannel, c.want[d].tiltChannel);
    EXPECT_EQ(got[d].taken, c.want[d].taken);
    EXPECT_EQ(got[d].flagged, c.want[d].flagged);
  }
}

TEST(SavedCalibration, ReadsWhatEachDeviceHasTaken) {
  const std::string full =
      File({Device("Spot links,1,2", "1", kFive),
            Device("Wash 3,33,35", "0", {"-1,-1", "96,140", "-1,-1", "-1,-1", "5,-1"}),
            Device(",0,0", "0", kUnset), Device(",0,0", "0", kUnset)});
  const SavedDevice spot{"Spot links", 1, 2, kAll, true};
  const SavedDevice wash{"Wash 3", 33, 35, {false, true, false, false, false}, false};
  const SavedDevice none{"", 0, 0, kNone, false};
  std::string lfOnly = full;
  for (std::size_t at; (at = lfOnly.find('\r')) != std::string::npos;) lfOnly.erase(at, 1);
  const SavedCase cases[] = {
      {"as saved: a complete and an incomplete device", full, {spot, wash, none, none}},
      {"line ends of another system", lfOnly, {spot, wash, none, none}},
      {"no file, or nothing in it", "", {}},
      {"only the title", "TrailBeam.ini\r\n", {}},
      {"ends inside the second device", full.substr(0, full.find("0,96,140")), {spot}},
      {"flag 1 on some marks only, the others taken as well",
       File({Device("A,5,6", "1", {"1,2", "3,4", "-1,-1", "7,8", "9,10"})}),
       {{"A", 5, 6, {true, true, false, true, true}, true}}},
      {"a comma in the name leaves no channels",
       File({Device("Spot, links,1,2", "1", kFive)}),
       {{"Spot", std::nullopt, 1, kAll, true}}},
      {"blanks around numbers, a missing tilt, a value beyond 32 bits, words",
       File({Device("B, 7 ,+8", "1", {" 1 , 2 ", "3", "99999999999,4", "x,y", "01,2,3"})}),
       {{"B", 7, 8, {true, false, false, false, true}, true}}},
      {"a flag that is no number still shows the values",
       File({Device("C,1,2", "yes", kFive)}),
       {{"C", 1, 2, kAll, false}}},
  };
  for (const SavedCase& c : cases) ExpectRead(c);
}

TEST(SavedCalibration, SurvivesAnyBytes) {
  std::string junk;
  for (int i = 0; i < 4000; ++i) junk += static_cast<char>((i * 7919) % 256);
  const auto devices = ReadSavedCalibration(junk);
  EXPECT_LE(devices.size(), 16u);
  // Junk behind the marker too, keys that nearly name a device included.
  std::string keys = File({Device("A,1,2", "1", kFive), Device("B,3,4", "1", kFive),
                           Device("C,5,6", "1", kFive), Device("D,7,8", "1", kFive)}) +
                     "[TrailBeam extension]\r\n";
  for (const char* key : {"Device", "Device5.", "Device5.K9", "Device05", "Device17", "Device4",
                          "Device99999999999999999999", "Device-5", "Device+5", "Device5.KM.K1"})
    keys += std::string(key) + "=X,1,2\r\n" + key + "=\r\n";
  EXPECT_EQ(ReadSavedCalibration(keys + junk).size(), 4u);
}

// Devices 5 to 16 are kept in the section after the 25 lines, each line
// behind its key; a head patched to one of them shows its marks as well.
TEST(SavedCalibration, ReadsTheDevicesAfterTheFourth) {
  const std::string four =
      File({Device("Front L,1,2", "1", kFive), Device("Front C,3,4", "1", kFive),
            Device(",0,0", "0", kUnset), Device(",0,0", "0", kUnset)});
  const std::string section =
      "[TrailBeam extension]\r\nStageK1K3=12.00\r\n"
      "Device5=Boom L2,9,10\r\nDevice5.K1=1,60,40\r\nDevice5.K2=1,60,200\r\n"
      "Device5.K3=1,220,40\r\nDevice5.K4=1,220,200\r\nDevice5.KM=1,140,120\r\n"
      // Stored out of order, one mark missing, one not taken.
      "Device12.KM=0,5,6\r\nDevice12=Floor R,23,24\r\nDevice12.K1=0,-1,-1\r\n"
      "Device12.K2=0,7,8\r\n"
      // Marks of a device whose own line is missing: nothing to match.
      "Device9.K1=1,1,1\r\n";
  const SavedDevice boom{"Boom L2", 9, 10, kAll, true};
  const SavedDevice floor{"Floor R", 23, 24, {false, true, false, false, true}, false};
  const SavedDevice frontL{"Front L", 1, 2, kAll, true};
  const SavedDevice frontC{"Front C", 3, 4, kAll, true};
  const SavedDevice none{"", 0, 0, kNone, false};
  const SavedCase cases[] = {
      {"four devices and two later ones",
       four + section,
       {frontL, frontC, none, none, boom, floor}},
      {"no marker: lines after the 25 that are not ours",
       four + section.substr(section.find('\n') + 1),
       {frontL, frontC, none, none}},
      {"a later line of the same key replaces an earlier one",
       four + section + "Device5=Boom L3,29,30\r\n",
       {frontL, frontC, none, none, {"Boom L3", 29, 30, kAll, true}, floor}},
  };
  for (const SavedCase& c : cases) ExpectRead(c);
}

// The plug-in's reads, as (time in ms, channel).
using Reads = std::vector<std::pair<std::int64_t, int>>;

// Follow ticks every `period` ms from `start`: pan then tilt of the master.
Reads Ticks(std::int64_t start, int count, std::int64_t period, int pan, int tilt) {
  Reads reads;
  for (int i = 0; i < count; ++i) {
    reads.push_back({start + i * period, pan});
    reads.push_back({start + i * period, tilt});
  }
  return reads;
}

FollowSeen Feed(FollowWatch& watch, const Reads& reads) {
  for (const auto& [at, channel] : reads) watch.OnRead(channel, at);
  return watch.Seen();
}

TEST(FollowWatch, SeesTicksAndTheirMasterButNotGetValue) {
  struct Case {
    const char* what;
    Reads reads;
    FollowSeen want;
  };
  Reads getValueTwice = {{0, 3}, {0, 4}, {150, 3}, {150, 4}};
  Reads switched = Ticks(0, 10, 100, 1, 2);
  for (const auto& r : Ticks(1000, 8, 100, 5, 6)) switched.push_back(r);
  Reads withGetValue = Ticks(0, 11, 100, 3, 4);
  // Get Value on a slave between ticks, and once right before a tick.
  withGetValue.insert(withGetValue.begin() + 7, {{350, 7}, {350, 8}});
  withGetValue.insert(withGetValue.begin() + 13, {{595, 7}, {595, 8}});
  const Case cases[] = {
      {"ten ticks at 100 ms", Ticks(0, 10, 100, 3, 4), {true, 3, 4, 10}},
      {"at 125 ms", Ticks(0, 10, 125, 3, 4), {true, 3, 4, 8}},
      {"two reads are no rhythm yet", Ticks(0, 2, 100, 3, 4), {}},
      {"Get Value pressed twice", getValueTwice, {}},
      {"too slow for a timer of 100 ms", Ticks(0, 10, 400, 3, 4), {}},
      {"another master picked while running", switched, {true, 5, 6, 10}},
      {"Get Value while following", withGetValue, {true, 3, 4, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FollowWatch watch;
    const FollowSeen seen = Feed(watch, c.reads);
    EXPECT_EQ(seen.on, c.want.on);
    EXPECT_EQ(seen.panChannel, c.want.panChannel);
    EXPECT_EQ(seen.tiltChannel, c.want.tiltChannel);
    EXPECT_EQ(seen.ticksPerSecond, c.want.ticksPerSecond);
  }
}

TEST(FollowWatch, GoesOffOnlyOnceTheTicksStop) {
  FollowWatch watch;
  Feed(watch, Ticks(0, 5, 100, 1, 2));
  ASSERT_TRUE(watch.Seen().on);
  EXPECT_FALSE(watch.OnQuiet(400 + FollowWatch::kQuietMs - 1));
  EXPECT_TRUE(watch.Seen().on);
  EXPECT_TRUE(watch.OnQuiet(400 + FollowWatch::kQuietMs));
  EXPECT_EQ(watch.Seen(), FollowSeen{});
  EXPECT_FALSE(watch.OnQuiet(5000));
  // Started again: on after two regular gaps, with a fresh rate.
  Feed(watch, Ticks(10000, 3, 100, 1, 2));
  EXPECT_TRUE(watch.Seen().on);
  EXPECT_EQ(watch.Seen().ticksPerSecond, 0);
}

TEST(FollowWatch, ReportsAChangeOnlyWhenWhatIsSeenChanged) {
  FollowWatch watch;
  int changes = 0;
  // Jitter of a few milliseconds around 100 ms keeps the rate at 10.
  const std::int64_t jitter[] = {0, 3, -2, 4, -3, 1, -4, 2, 0, -1, 3, -2, 1, 0, 2, -3, 4, -1};
  for (int i = 0; i < 18; ++i) {
    const std::int64_t at = i * 100 + jitter[i];
    changes += watch.OnRead(9, at) ? 1 : 0;
    changes += watch.OnRead(10, at) ? 1 : 0;
  }
  EXPECT_TRUE(watch.Seen().on);
  // On with its pan, then its tilt, then the rate of 10: nothing more.
  EXPECT_EQ(watch.Seen().ticksPerSecond, 10);
  EXPECT_EQ(changes, 3);
}

}  // namespace
}  // namespace tbhost

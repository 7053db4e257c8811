// The show box's plain parts: which entry of the master list stands for the
// device the operator named, and the count of ticks in the last minute.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/show/run_status.h"
#include "host/show/show_master.h"

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

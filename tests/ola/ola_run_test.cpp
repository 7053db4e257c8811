// The show box end to end: `trailbeam-host --run` on a module of the test's
// own, whose TrailBeam.ini holds a rig calibrated as an operator leaves it,
// against a private olad. The console's master comes in on universe 1, the
// slaves must go out on universe 2; SIGTERM must switch follow mode off with
// Stop TB and end the box with status 0. A box that cannot switch follow
// mode on must say why on stderr and end non-zero.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "host/sim/stage_rig.h"
#include "ola_testkit.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::uint32_t kIn = 1;
constexpr std::uint32_t kOut = 2;
constexpr std::size_t kMaster = 1;
// Generous for a loaded two-core machine under sanitizers.
constexpr auto kReach = 60s;
constexpr auto kHostStart = 240s;

// TrailBeam.ini as the plug-in writes it for the rig after the operator aimed
// every head in `calibrated` at the five marks (K1..K4, KM). The KM pan of
// head `implausible`, if any, is set to its K1 pan.
std::string Settings(const tbhost::StageRig& rig, const std::vector<bool>& calibrated,
                     std::optional<std::size_t> implausible = std::nullopt) {
  std::string text = "TrailBeam.ini\r\n";
  for (std::size_t h = 0; h < 4; ++h) {
    const tbhost::MovingHead& head = rig.heads.at(h);
    text += head.name + "," + std::to_string(head.panChannel) + "," +
            std::to_string(head.tiltChannel) + "\r\n";
    std::vector<tbhost::PanTilt> points;
    for (tbhost::Mark mark : tbhost::kAllMarks)
      points.push_back(tbhost::AimAt(head, rig.MarkAt(mark)).value_or(tbhost::PanTilt{-1, -1}));
    if (implausible == h) points[4].pan = points[0].pan;
    for (const tbhost::PanTilt& p : points)
      text += calibrated.at(h)
                  ? "1," + std::to_string(p.pan) + "," + std::to_string(p.tilt) + "\r\n"
                  : std::string("0,-1,-1\r\n");
  }
  return text;
}

// The text with its line `line` (1 for the first) replaced.
std::string WithLine(const std::string& text, int line, const std::string& replacement) {
  std::size_t start = 0;
  for (int i = 1; i < line; ++i) start = text.find("\r\n", start) + 2;
  const std::size_t end = text.find("\r\n", start);
  return text.substr(0, start) + replacement + text.substr(end);
}

std::string Describe(const olatest::OlaClientThread::Frame& f,
                     const std::map<std::int32_t, std::int32_t>& want) {
  std::string s;
  for (const auto& [c, v] : want)
    s += "ch" + std::to_string(c) + " " + std::to_string(f[static_cast<std::size_t>(c - 1)]) +
         " (want " + std::to_string(v) + ") ";
  return s;
}

class OlaShowBox : public ::testing::Test {
 protected:
  void SetUp() override {
    if (olatest::FindOlad().empty()) GTEST_SKIP() << "olad is not installed";
    std::string error;
    ASSERT_TRUE(olad_.Start(error)) << error;
    std::string pattern = (fs::temp_directory_path() / "tb-show-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    std::error_code ec;
    fs::copy_file(TB_PLUGIN_MODULE, folder_ / "TrailBeam.so", ec);
    ASSERT_FALSE(ec) << ec.message();
  }
  void TearDown() override {
    host_.Terminate(5s);
    std::error_code ec;
    if (!folder_.empty()) fs::remove_all(folder_, ec);
  }

  fs::path Ini() const { return folder_ / "TrailBeam.ini"; }
  void WriteIni(const std::string& bytes) const { std::ofstream(Ini(), std::ios::binary) << bytes; }
  std::string ReadIni() const {
    std::ifstream in(Ini(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  void StartBox(const std::string& master) {
    std::string error;
    ASSERT_TRUE(
        host_.Start(TRAILBEAM_HOST,
                    {"--run", "--master", master, "--plugin", (folder_ / "TrailBeam.so").string(),
                     "--ola-in", std::to_string(kIn), "--ola-out", std::to_string(kOut)},
                    error))
        << error;
  }

  // Plays the master at the floor point on the console's universe and waits
  // until the fixtures' universe carries every slave where the follow step
  // puts it.
  void PlayAndCheck(olatest::OlaClientThread& probe, tbhost::FloorPoint at, const char* what) {
    PlayAndCheck(probe, rig_, kMaster, at, what);
  }
  void PlayAndCheck(olatest::OlaClientThread& probe, const tbhost::StageRig& rig,
                    std::size_t masterHead, tbhost::FloorPoint at, const char* what) {
    const tbhost::MovingHead& master = rig.heads[masterHead];
    const auto aim = tbhost::AimAt(master, at);
    ASSERT_TRUE(aim) << what;
    const auto want = olatest::ExpectedFollow(rig, masterHead, *aim);
    ASSERT_EQ(want.size(), 2 * (rig.heads.size() - 1)) << what;
    std::vector<int> values(static_cast<std::size_t>(master.tiltChannel), 0);
    values[static_cast<std::size_t>(master.panChannel - 1)] = aim->pan;
    values[static_cast<std::size_t>(master.tiltChannel - 1)] = aim->tilt;
    std::string error;
    ASSERT_TRUE(olatest::OlaSetDmx(kIn, values, error)) << error;
    olatest::OlaClientThread::Frame last{};
    EXPECT_TRUE(probe.WaitForValues(kOut, want, kReach, &last))
        << what << ": " << Describe(last, want) << "\n"
        << host_.Output();
  }

  const tbhost::StageRig rig_ = tbhost::DefaultRig();
  olatest::Olad olad_{olatest::kDefaultRpcPort};
  olatest::HostProcess host_;
  fs::path folder_;
};

TEST_F(OlaShowBox, SlavesFollowTheConsoleUntilSigtermStopsFollowMode) {
  const std::string settings = Settings(rig_, {true, true, true, true});
  WriteIni(settings);
  const tbhost::MovingHead& master = rig_.heads[kMaster];
  StartBox(master.name);
  ASSERT_TRUE(host_.WaitForLine("status: follow on", kHostStart)) << host_.Output();
  const std::string named = "master \"" + master.name + "\" (device " +
                            std::to_string(kMaster + 1) + ", channels " +
                            std::to_string(master.panChannel) + "/" +
                            std::to_string(master.tiltChannel) + "), method linear";
  EXPECT_TRUE(host_.WaitForLine(named, 0s)) << host_.Output();
  ASSERT_TRUE(host_.WaitForLine("OLA: connected", kReach)) << host_.Output();

  olatest::OlaClientThread probe(olad_.Port());
  std::string error;
  ASSERT_TRUE(probe.Start({kOut}, error)) << error;
  using tbhost::Mark;
  const tbhost::FloorPoint k1 = rig_.MarkAt(Mark::K1);
  const tbhost::FloorPoint km = rig_.MarkAt(Mark::KM);
  const std::pair<const char*, tbhost::FloorPoint> points[] = {
      {"KM", km},
      {"K1-KM", {(k1.x + km.x) / 2, (k1.y + km.y) / 2}},
      {"K3", rig_.MarkAt(Mark::K3)},
      {"K4", rig_.MarkAt(Mark::K4)},
  };
  for (const auto& [what, at] : points) PlayAndCheck(probe, at, what);

  // Stop TB runs the plausibility check, which saves the file once more.
  std::error_code ec;
  const auto enabled = fs::last_write_time(Ini(), ec);
  ASSERT_FALSE(ec);
  EXPECT_EQ(host_.Terminate(), 0) << host_.Output();
  EXPECT_NE(fs::last_write_time(Ini(), ec), enabled) << "Stop TB was not pressed\n"
                                                     << host_.Output();
  EXPECT_TRUE(host_.WaitForLine("status: follow off", 0s)) << host_.Output();
  EXPECT_EQ(ReadIni(), settings) << "the operator's rig came out changed";
  EXPECT_FALSE(fs::exists(folder_ / "TrailBeam.ini.bak")) << "saved with the bytes it had";
  EXPECT_EQ(host_.Output().find("plug-in message"), std::string::npos) << host_.Output();
}

// The arena's twelve heads, calibrated and saved by the plug-in's own writer:
// eight of them after the 25 lines. A master among those leads, and every
// slave, the last device too, goes out on the fixtures' universe.
TEST_F(OlaShowBox, TwelveDevicesFollowAMasterBeyondTheFourth) {
  const tbhost::StageRig arena = *tbhost::RigByName("arena");
  ASSERT_EQ(arena.heads.size(), 12u);
  const std::size_t master = 10;  // device 11, in the extension section
  const std::string settings = olatest::CalibratedSettings(arena);
  ASSERT_NE(settings.find("Device12.KM=1,"), std::string::npos) << settings;
  WriteIni(settings);
  StartBox(std::to_string(master + 1));
  ASSERT_TRUE(host_.WaitForLine("status: follow on", kHostStart)) << host_.Output();
  const tbhost::MovingHead& m = arena.heads[master];
  EXPECT_TRUE(host_.WaitForLine("master \"" + m.name + "\" (device 11, channels " +
                                    std::to_string(m.panChannel) + "/" +
                                    std::to_string(m.tiltChannel) + ")",
                                0s))
      << host_.Output();
  ASSERT_TRUE(host_.WaitForLine("OLA: connected", kReach)) << host_.Output();

  olatest::OlaClientThread probe(olad_.Port());
  std::string error;
  ASSERT_TRUE(probe.Start({kOut}, error)) << error;
  using tbhost::Mark;
  for (const Mark mark : {Mark::KM, Mark::K2, Mark::K3})
    PlayAndCheck(probe, arena, master, arena.MarkAt(mark), tbhost::MarkName(mark));
  EXPECT_EQ(host_.Terminate(), 0) << host_.Output();
  EXPECT_TRUE(host_.WaitForLine("status: follow off", 0s)) << host_.Output();
  // Stop TB's check saves only what the file holds already.
  EXPECT_EQ(ReadIni(), settings) << "the operator's rig came out changed";
}

TEST_F(OlaShowBox, TellsThePluginsMessagesAndEndsNonZeroWhenFollowModeStaysOff) {
  const tbhost::MovingHead& fourth = rig_.heads[3];
  const auto k1 = tbhost::AimAt(fourth, rig_.MarkAt(tbhost::Mark::K1));
  const auto k3 = tbhost::AimAt(fourth, rig_.MarkAt(tbhost::Mark::K3));
  ASSERT_TRUE(k1 && k3);
  const std::string implausible =
      "plug-in message: Check Values for device 4:  Plausibility "
      "check failed, reason: " +
      std::string(k1->pan < k3->pan ? "1" : "2");
  const auto notCalibrated = [this](std::size_t head) {
    return "the master \"" + rig_.heads[head].name + "\" (device " + std::to_string(head + 1) +
           ") is not calibrated in ";
  };
  const std::string calibrated = Settings(rig_, {true, true, true, true});
  // Marks K1, K2 and KM of the master taken, saved before the other two.
  std::string partly = calibrated;
  for (int line : {9, 10, 13}) partly = WithLine(partly, line, "0,10,20");
  for (int line : {11, 12}) partly = WithLine(partly, line, "0,-1,-1");
  struct Case {
    const char* what;
    std::optional<std::string> settings;  // none: no TrailBeam.ini
    std::string master;
    std::string says;
    int exit;  // 0: follow mode comes on, and goes off on SIGTERM
    bool writeProtected = false;
    bool folder = false;  // a folder named TrailBeam.ini
  };
  const Case cases[] = {
      {"the master is not calibrated", Settings(rig_, {true, true, false, true}), "3",
       notCalibrated(2), 1},
      {"nothing is calibrated", Settings(rig_, {false, false, false, false}), rig_.heads[0].name,
       notCalibrated(0), 1},
      {"a partly calibrated master", partly, "2", notCalibrated(1), 1},
      {"a first device line with no name", WithLine(calibrated, 2, ",1,2"), "2",
       "device 1 has no name in ", 1},
      {"garbage",
       "\x7F"
       "ELF\x02\x01\x01 not a rig at all",
       "2", "TrailBeam.ini could not be read: line 1: the file ends in the middle of it", 1},
      {"cut off in the middle of a line", calibrated.substr(0, 100), "2",
       "TrailBeam.ini could not be read: line ", 1},
      {"a folder", std::nullopt, "2", "TrailBeam.ini could not be read: it is a folder", 1, false,
       true},
      {"a master beyond the universe", WithLine(calibrated, 8, rig_.heads[1].name + ",513,-1"), "2",
       "is on channels 513/-1, which the console's universe does not have", 1},
      {"no such device", Settings(rig_, {true, true, true, true}), "Nobody",
       "no device named \"Nobody\" in the device setup", 1},
      {"no settings file", std::nullopt, "1", "no TrailBeam.ini beside", 1},
      // OK cannot save, and the setup window stays open: the box must not hang in it.
      {"a write-protected settings file", Settings(rig_, {true, true, true, true}), "2",
       "plug-in message: TrailBeam.ini could not be saved: the file is write-protected", 1, true},
      // Told, and the switch goes on all the same, as the main window does.
      {"a slave's calibration is implausible", Settings(rig_, {true, true, true, true}, 3), "2",
       implausible, 0},
  };
  for (const Case& c : cases) {
    std::error_code ec;
    fs::remove_all(Ini(), ec);
    fs::remove(folder_ / "TrailBeam.ini.bak", ec);
    if (c.settings) WriteIni(*c.settings);
    if (c.folder) fs::create_directory(Ini());
    if (c.writeProtected) fs::permissions(Ini(), fs::perms::owner_read | fs::perms::group_read);
    const auto written = fs::last_write_time(Ini(), ec);
    StartBox(c.master);
    ASSERT_TRUE(host_.WaitForLine(c.says, kHostStart)) << c.what << "\n" << host_.Output();
    if (c.exit == 0) {
      EXPECT_TRUE(host_.WaitForLine("status: follow on", kHostStart)) << c.what << "\n"
                                                                      << host_.Output();
      EXPECT_EQ(host_.Terminate(), 0) << c.what << "\n" << host_.Output();
    } else {
      EXPECT_EQ(host_.Wait(kHostStart), c.exit) << c.what << "\n" << host_.Output();
      EXPECT_FALSE(host_.WaitForLine("status: follow on", 0s)) << c.what << "\n" << host_.Output();
    }
    EXPECT_FALSE(fs::exists(folder_ / "TrailBeam.ini.bak")) << c.what << ": nothing changed";
    if (!c.settings) {
      EXPECT_EQ(fs::exists(Ini()), c.folder) << c.what;
      EXPECT_EQ(fs::is_directory(Ini()), c.folder) << c.what;
      continue;
    }
    EXPECT_EQ(ReadIni(), *c.settings) << c.what << ": the operator's rig came out changed";
    // Refused before the device setup was confirmed: not even saved again.
    if (c.exit != 0) {
      EXPECT_EQ(fs::last_write_time(Ini(), ec), written) << c.what;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  olatest::EnterPrivateNetwork();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

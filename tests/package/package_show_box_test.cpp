// The show box as the package installs it: trailbeam-host and the module
// from the unpacked package, never the build's, against the private olad of
// the OLA tests. The module is loaded through a link in a folder of the
// box's own, as from /var/lib/trailbeam, and must save TrailBeam.ini there.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
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
constexpr auto kReach = 60s;
constexpr auto kHostStart = 240s;

// Every head of the rig aimed at the five marks, as the operator leaves it.
std::string CalibratedSettings(const tbhost::StageRig& rig) {
  std::string text = "TrailBeam.ini\r\n";
  for (const tbhost::MovingHead& head : rig.heads) {
    text += head.name + "," + std::to_string(head.panChannel) + "," +
            std::to_string(head.tiltChannel) + "\r\n";
    for (tbhost::Mark mark : tbhost::kAllMarks) {
      const auto aim = tbhost::AimAt(head, rig.MarkAt(mark));
      text += aim ? "1," + std::to_string(aim->pan) + "," + std::to_string(aim->tilt) + "\r\n"
                  : std::string("0,-1,-1\r\n");
    }
  }
  return text;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class PackagedShowBox : public ::testing::Test {
 protected:
  void SetUp() override {
    if (olatest::FindOlad().empty()) GTEST_SKIP() << "olad is not installed";
    const fs::path link = fs::path(TB_PACKAGE_ROOT) / TB_MODULE_LINK;
    std::error_code ec;
    ASSERT_EQ(fs::read_symlink(link, ec), fs::path(TB_MODULE)) << link << ": " << ec.message();
    std::string error;
    ASSERT_TRUE(olad_.Start(error)) << error;
    std::string pattern = (fs::temp_directory_path() / "tb-package-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    state_ = pattern;
    // The package's link resolved inside the throw-away root, not the system.
    fs::create_symlink(fs::path(TB_PACKAGE_ROOT) / fs::path(TB_MODULE).relative_path(),
                       state_ / "TrailBeam.so", ec);
    ASSERT_FALSE(ec) << ec.message();
  }
  void TearDown() override {
    host_.Terminate(5s);
    std::error_code ec;
    if (!state_.empty()) fs::remove_all(state_, ec);
  }

  // As root the box runs in a mount namespace of its own in which the
  // build's folder of programs and libraries is an empty file system.
  void StartBox(const std::vector<std::string>& args) {
    std::vector<std::string> argv = args;
    std::string program = TB_PACKAGED_HOST;
    if (geteuid() == 0) {
      argv.insert(argv.begin(),
                  {"--mount", "--propagation", "private", "sh", "-c",
                   "mount -t tmpfs none \"$0\" && exec \"$@\"", TB_BUILD_BIN, TB_PACKAGED_HOST});
      program = "/usr/bin/unshare";
    } else {
      std::cout << "not root: the build tree stays visible; only its run paths are checked\n";
    }
    std::string error;
    ASSERT_TRUE(host_.Start(program, argv, error)) << error;
  }

  const tbhost::StageRig rig_ = tbhost::DefaultRig();
  olatest::Olad olad_{olatest::kDefaultRpcPort};
  olatest::HostProcess host_;
  fs::path state_;
};

TEST_F(PackagedShowBox, FollowsTheConsoleAndSavesBesideTheLinkOnSigterm) {
  const std::string settings = CalibratedSettings(rig_);
  std::ofstream(state_ / "TrailBeam.ini", std::ios::binary) << settings;
  const tbhost::MovingHead& master = rig_.heads[kMaster];
  StartBox({"--run", "--plugin", (state_ / "TrailBeam.so").string(), "--master", master.name,
            "--ola-in", std::to_string(kIn), "--ola-out", std::to_string(kOut)});
  ASSERT_TRUE(host_.WaitForLine("status: follow on", kHostStart)) << host_.Output();
  ASSERT_TRUE(host_.WaitForLine("OLA: connected", kReach)) << host_.Output();

  olatest::OlaClientThread probe(olad_.Port());
  std::string error;
  ASSERT_TRUE(probe.Start({kOut}, error)) << error;
  const auto aim = tbhost::AimAt(master, rig_.MarkAt(tbhost::Mark::K3));
  ASSERT_TRUE(aim);
  std::vector<int> values(static_cast<std::size_t>(master.tiltChannel), 0);
  values[static_cast<std::size_t>(master.panChannel - 1)] = aim->pan;
  values[static_cast<std::size_t>(master.tiltChannel - 1)] = aim->tilt;
  ASSERT_TRUE(olatest::OlaSetDmx(kIn, values, error)) << error;
  EXPECT_TRUE(probe.WaitForValues(kOut, olatest::ExpectedFollow(rig_, kMaster, *aim), kReach))
      << host_.Output();

  std::error_code ec;
  const auto enabled = fs::last_write_time(state_ / "TrailBeam.ini", ec);
  ASSERT_FALSE(ec);
  EXPECT_EQ(host_.Terminate(), 0) << host_.Output();
  EXPECT_TRUE(host_.WaitForLine("status: follow off", 0s)) << host_.Output();
  EXPECT_NE(fs::last_write_time(state_ / "TrailBeam.ini", ec), enabled) << "Stop TB did not save\n"
                                                                        << host_.Output();
  EXPECT_EQ(Read(state_ / "TrailBeam.ini"), settings);
  const fs::path besideModule = fs::path(TB_PACKAGE_ROOT) /
                                fs::path(TB_MODULE).relative_path().parent_path() / "TrailBeam.ini";
  EXPECT_FALSE(fs::exists(besideModule)) << "saved beside the read-only module";
}

}  // namespace

int main(int argc, char** argv) {
  // Nothing but the binaries' own run paths finds their libraries.
  ::unsetenv("LD_LIBRARY_PATH");
  olatest::EnterPrivateNetwork();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// The reference host on OLA end to end: olad up, the host headless with the
// demo rig calibrated and follow mode on, `--ola-in 1 --ola-out 2`. The
// master is played with ola_set_dmx on universe 1; universe 2 must carry each
// slave at the values the follow step computes for that master position.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "host/sim/stage_rig.h"
#include "ola_testkit.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kIn = 1;
constexpr std::uint32_t kOut = 2;
constexpr std::size_t kMaster = 1;  // the demo's master: the rig's second head
// Generous for a loaded two-core machine under sanitizers; a passing run
// takes a few 100 ms follow ticks.
constexpr auto kReach = 60s;
constexpr auto kHostStart = 240s;

std::string Describe(const olatest::OlaClientThread::Frame& f,
                     const std::map<std::int32_t, std::int32_t>& want) {
  std::string s;
  for (const auto& [c, v] : want)
    s += "ch" + std::to_string(c) + " " + std::to_string(f[static_cast<std::size_t>(c - 1)]) +
         " (want " + std::to_string(v) + ") ";
  return s;
}

class OlaEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (olatest::FindOlad().empty()) GTEST_SKIP() << "olad is not installed";
    std::string error;
    ASSERT_TRUE(olad_.Start(error)) << error;
    std::string sockets;
    ASSERT_TRUE(olad_.OnlyLoopbackSockets(sockets)) << "olad holds non-loopback sockets:\n"
                                                    << sockets;
    ASSERT_TRUE(host_.Start(TRAILBEAM_HOST, {"--follow", "--ola-in", "1", "--ola-out", "2"}, error))
        << error;
    ASSERT_TRUE(host_.WaitForLine("follow mode on", kHostStart)) << host_.Output();
    ASSERT_TRUE(host_.WaitForLine("OLA: connected", kReach)) << host_.Output();
  }
  void TearDown() override {
    // A clean exit on SIGTERM: the bridge's thread ended, nothing leaked.
    if (host_.Running()) {
      EXPECT_EQ(host_.Terminate(), 0) << host_.Output();
    }
  }

  // Plays the master at the floor point and checks universe 2 until the
  // master and every slave carry their values.
  void PlayAndCheck(olatest::OlaClientThread& probe, tbhost::FloorPoint at, const char* what) {
    const tbhost::MovingHead& master = rig_.heads[kMaster];
    const auto aim = tbhost::AimAt(master, at);
    ASSERT_TRUE(aim) << what;
    auto want = olatest::ExpectedFollow(rig_, kMaster, *aim);
    ASSERT_EQ(want.size(), 2 * (rig_.heads.size() - 1)) << what;
    for (const auto& [channel, value] : want) {
      ASSERT_GE(value, 0) << what << ": ch" << channel;
    }
    want[master.panChannel] = aim->pan;
    want[master.tiltChannel] = aim->tilt;
    std::vector<int> values(static_cast<std::size_t>(master.tiltChannel), 0);
    values[static_cast<std::size_t>(master.panChannel - 1)] = aim->pan;
    values[static_cast<std::size_t>(master.tiltChannel - 1)] = aim->tilt;
    std::string error;
    ASSERT_TRUE(olatest::OlaSetDmx(kIn, values, error)) << error;
    olatest::OlaClientThread::Frame last{};
    const bool reached = probe.WaitForValues(kOut, want, kReach, &last);
    EXPECT_TRUE(reached) << what << ": " << Describe(last, want) << "\n" << host_.Output();
  }

  const tbhost::StageRig rig_ = tbhost::DefaultRig();
  olatest::Olad olad_{olatest::kDefaultRpcPort};
  olatest::HostProcess host_;
};

TEST_F(OlaEndToEnd, SlavesFollowTheMasterPlayedOnTheConsoleUniverse) {
  olatest::OlaClientThread probe(olad_.Port());
  std::string error;
  ASSERT_TRUE(probe.Start({kOut}, error)) << error;
  using tbhost::Mark;
  auto mid = [&](Mark a, Mark b) {
    const auto p = rig_.MarkAt(a);
    const auto q = rig_.MarkAt(b);
    return tbhost::FloorPoint{(p.x + q.x) / 2, (p.y + q.y) / 2};
  };
  // Every zone, on and between the marks.
  const std::pair<const char*, tbhost::FloorPoint> points[] = {
      {"KM", rig_.MarkAt(Mark::KM)},      {"K1", rig_.MarkAt(Mark::K1)},
      {"K1-KM", mid(Mark::K1, Mark::KM)}, {"K2-KM", mid(Mark::K2, Mark::KM)},
      {"K3", rig_.MarkAt(Mark::K3)},      {"K3-KM", mid(Mark::K3, Mark::KM)},
      {"K4-KM", mid(Mark::K4, Mark::KM)}, {"K4", rig_.MarkAt(Mark::K4)},
  };
  for (const auto& [what, at] : points) PlayAndCheck(probe, at, what);
}

TEST_F(OlaEndToEnd, HostReconnectsWhenOladIsRestartedDuringFollowMode) {
  std::string error;
  {
    olatest::OlaClientThread probe(olad_.Port());
    ASSERT_TRUE(probe.Start({kOut}, error)) << error;
    PlayAndCheck(probe, rig_.MarkAt(tbhost::Mark::K2), "before the restart");
  }
  const std::size_t mark = host_.LineCount();
  olad_.Kill();
  ASSERT_TRUE(host_.WaitForLine("connection to olad lost", kReach, mark)) << host_.Output();
  std::this_thread::sleep_for(1s);
  ASSERT_TRUE(host_.Running()) << host_.Output();
  ASSERT_TRUE(olad_.Start(error)) << error;
  ASSERT_TRUE(host_.WaitForLine("OLA: connected", kReach, mark)) << host_.Output();
  olatest::OlaClientThread probe(olad_.Port());
  ASSERT_TRUE(probe.Start({kOut}, error)) << error;
  PlayAndCheck(probe, rig_.MarkAt(tbhost::Mark::K3), "after the restart");
}

}  // namespace

int main(int argc, char** argv) {
  olatest::EnterPrivateNetwork();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

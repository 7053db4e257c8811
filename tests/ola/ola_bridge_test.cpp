// The OLA bridge: its merging, pacing and retry rules alone, its options, and
// the bridge in this process against a private olad.
#include "host/ola/ola_bridge.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "host/host_options.h"
#include "ola_testkit.h"

namespace {

using namespace std::chrono_literals;
using tbhost::InputMerger;
using tbhost::OlaBridge;
using tbhost::OutputPacer;
using Changes = std::vector<std::pair<std::int32_t, std::int32_t>>;

bool privateNetwork = false;

TEST(InputMerger, TakesOnlyWhatOlaChanged) {
  InputMerger merger;
  // The first frame is the console's state: all of it is taken.
  EXPECT_EQ(merger.Take(std::vector<std::uint8_t>{0, 7, 0}), (Changes{{1, 0}, {2, 7}, {3, 0}}));
  struct Case {
    const char* what;
    std::vector<std::uint8_t> frame;
    Changes expected;
  };
  const Case cases[] = {
      {"same frame again", {0, 7, 0}, {}},
      {"one channel moves", {0, 8, 0}, {{2, 8}}},
      {"a longer frame adds its new channels", {0, 8, 0, 0, 9}, {{4, 0}, {5, 9}}},
      {"a shorter frame leaves the rest alone", {1}, {{1, 1}}},
      {"back to an earlier value is a change", {0}, {{1, 0}}},
      {"empty frame", {}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(merger.Take(c.frame), c.expected) << c.what;

  std::vector<std::uint8_t> oversized(600, 3);
  const Changes all = merger.Take(oversized);
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all.back().first, 512) << "bytes beyond channel 512 are dropped";

  merger.Forget();
  EXPECT_EQ(merger.Take(std::vector<std::uint8_t>{3}), (Changes{{1, 3}}))
      << "after reconnecting the first frame counts whole again";
}

TEST(OutputPacer, SendsChangesAtFramePaceAndKeepsAlive) {
  using Clock = OutputPacer::Clock;
  const Clock::time_point t0{std::chrono::seconds(1000)};
  OutputPacer fresh;
  EXPECT_TRUE(fresh.Due(t0, false).sendNow) << "the first send goes out at once";

  struct Case {
    const char* what;
    Clock::duration since;  // since the last send
    bool changed;
    bool sendNow;
    Clock::duration wait;
    // While following: the next tick is due this long after now.
    std::optional<Clock::duration> tickIn = std::nullopt;
  };
  const Case cases[] = {
      {"change right after a send waits for the frame", 5ms, true, false, 18ms},
      {"change one frame later goes", 23ms, true, true, {}},
      {"change long after goes", 400ms, true, true, {}},
      {"no change: keep-alive pending", 100ms, false, false, 900ms},
      {"no change for a second: keep-alive", 1000ms, false, true, {}},
      {"clock stepped back: no burst", -50ms, true, false, 23ms},
      {"between ticks, the frame free again by the next: goes", 400ms, true, true, {}, 23ms},
      {"between ticks, the frame still taken at the next: waits for it", 400ms, true, false, 33ms,
       10ms},
      {"the frame gap runs into the next tick: waits for it", 5ms, true, false, 53ms, 30ms},
      {"the gap ends in time for the next tick: goes then", 5ms, true, false, 18ms, 41ms},
      {"the tick a little late: still waited for", 400ms, true, false, 18ms, -5ms},
      {"the tick overdue by kTickLate: goes", 400ms, true, true, {}, -23ms},
      {"no change with a tick due: keep-alive as before", 100ms, false, false, 900ms, 10ms},
  };
  for (const Case& c : cases) {
    OutputPacer pacer;
    pacer.Sent(t0);
    const Clock::time_point now = t0 + c.since;
    const auto d =
        pacer.Due(now, c.changed,
                  c.tickIn ? std::optional<Clock::time_point>(now + *c.tickIn) : std::nullopt);
    EXPECT_EQ(d.sendNow, c.sendNow) << c.what;
    if (!c.sendNow) {
      EXPECT_EQ(d.wait, c.wait) << c.what;
    }
  }
  OutputPacer pacer;
  pacer.Sent(t0);
  pacer.Reset();
  EXPECT_TRUE(pacer.Due(t0, true).sendNow) << "a new connection sends at once";
}

TEST(ReconnectBackoff, GrowsToItsCapAndResets) {
  tbhost::ReconnectBackoff backoff;
  std::vector<long long> seen;
  for (int i = 0; i < 7; ++i) seen.push_back(backoff.Next().count());
  EXPECT_EQ(seen, (std::vector<long long>{250, 500, 1000, 2000, 4000, 4000, 4000}));
  backoff.Reset();
  EXPECT_EQ(backoff.Next().count(), 250);
}

tbhost::HostOptions Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "trailbeam-host");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(args.size());
  return tbhost::ParseHostOptions(argc, argv.data());
}

TEST(HostOptions, OlaUniversesAndPort) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    std::optional<std::uint32_t> in, out;
    std::uint16_t port;
  };
  const Case cases[] = {
      {{"--ola-in", "1", "--ola-out", "2"}, true, 1u, 2u, 9010},
      {{"--ola-out", "0"}, true, std::nullopt, 0u, 9010},
      {{"--ola-in", "4294967295", "--ola-port", "19010"}, true, 4294967295u, std::nullopt, 19010},
      {{"--ola-in", "4294967296"}, false, {}, {}, 0},
      {{"--ola-in", "-1"}, false, {}, {}, 0},
      {{"--ola-in", "1x"}, false, {}, {}, 0},
      {{"--ola-in", " 1"}, false, {}, {}, 0},
      {{"--ola-in", ""}, false, {}, {}, 0},
      {{"--ola-in"}, false, {}, {}, 0},
      {{"--ola-in", "3", "--ola-out", "3"}, false, {}, {}, 0},
      {{"--ola-port", "0"}, false, {}, {}, 0},
      {{"--ola-port", "65536"}, false, {}, {}, 0},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const auto& a : c.args) line += a + " ";
    const tbhost::HostOptions o = Parse(c.args);
    EXPECT_EQ(o.error.empty(), c.ok) << line << "-> " << o.error;
    if (!c.ok || !o.error.empty()) continue;
    EXPECT_EQ(o.olaIn, c.in) << line;
    EXPECT_EQ(o.olaOut, c.out) << line;
    EXPECT_EQ(o.olaPort, c.port) << line;
  }
  const tbhost::HostOptions follow = Parse({"--follow", "-platform", "offscreen"});
  EXPECT_TRUE(follow.follow);
  EXPECT_TRUE(follow.error.empty());
}

// Waits with the GUI thread's event loop running, as the host does.
bool Eventually(const std::function<bool()>& test, std::chrono::milliseconds timeout = 30s) {
  return QTest::qWaitFor(test, static_cast<int>(timeout.count()));
}

TEST(OlaBridgeWithoutOlad, ReportsUnreachableAndKeepsTheWindowResponsive) {
  // Nothing listens on this port here.
  const std::uint16_t port = privateNetwork ? olatest::kDefaultRpcPort : 1;
  ASSERT_FALSE(olatest::PortAccepts(port));
  tbhost::Universe universe;
  QMainWindow window;
  auto bridge = std::make_unique<OlaBridge>(universe, tbhost::OlaBridgeConfig{1u, 2u, port});
  QLabel* label = tbhost::MakeOlaStatusLabel(*bridge, &window);
  window.statusBar()->addPermanentWidget(label);
  bridge->Start();
  ASSERT_TRUE(Eventually([&] { return bridge->CurrentState() == OlaBridge::State::Unreachable; }));
  EXPECT_EQ(window.findChild<QLabel*>("olaStatus"), label);
  EXPECT_TRUE(label->text().contains("olad not reachable on port " + QString::number(port)))
      << label->text().toStdString();
  // The universe stays the host's to use while olad is away.
  EXPECT_TRUE(universe.Set(10, 99));
  int turns = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++turns; });
  ticker.start(10);
  QTest::qWait(300);
  EXPECT_GT(turns, 3) << "the GUI thread's loop kept turning during connection attempts";
  bridge->Stop();
  EXPECT_EQ(bridge->CurrentState(), OlaBridge::State::Stopped);
  bridge.reset();
  EXPECT_TRUE(universe.Set(11, 1)) << "the universe outlives the bridge that listened to it";
}

class OlaBridgeWithOlad : public ::testing::Test {
 protected:
  static constexpr std::uint32_t kIn = 1;
  static constexpr std::uint32_t kOut = 2;

  void SetUp() override {
    if (olatest::FindOlad().empty()) GTEST_SKIP() << "olad is not installed";
    std::string error;
    ASSERT_TRUE(olad_.Start(error)) << error;
    std::string sockets;
    ASSERT_TRUE(olad_.OnlyLoopbackSockets(sockets)) << sockets;
    ASSERT_TRUE(probe_.Start({kOut}, error)) << error;
    bridge_ =
        std::make_unique<OlaBridge>(universe_, tbhost::OlaBridgeConfig{kIn, kOut, olad_.Port()});
    bridge_->Start();
    ASSERT_TRUE(Eventually([&] { return bridge_->CurrentState() == OlaBridge::State::Connected; }))
        << bridge_->StatusText().toStdString();
  }
  void TearDown() override {
    bridge_.reset();
    probe_.Stop();
  }

  // The host's universe as it arrives on the out universe, event loop running.
  bool OutHas(int channel, int value, olatest::OlaClientThread& probe) {
    bool seen = false;
    Eventually([&] {
      seen = probe.WaitFor(
          kOut, [&](const auto& f) { return f[static_cast<std::size_t>(channel - 1)] == value; },
          0ms);
      return seen;
    });
    return seen;
  }
  bool OutHas(int channel, int value) { return OutHas(channel, value, probe_); }

  olatest::Olad olad_{olatest::kDefaultRpcPort};
  olatest::OlaClientThread probe_{olatest::kDefaultRpcPort};
  tbhost::Universe universe_;
  std::unique_ptr<OlaBridge> bridge_;
};

TEST_F(OlaBridgeWithOlad, HostWritesGoOutAndConsoleChangesComeIn) {
  ASSERT_TRUE(universe_.Set(100, 77));
  EXPECT_TRUE(OutHas(100, 77));

  olatest::OlaClientThread::Frame frame{};
  frame[4] = 200;  // channel 5
  probe_.Send(kIn, frame, 8);
  ASSERT_TRUE(Eventually([&] { return universe_.At(5) == 200; }));
  EXPECT_TRUE(OutHas(5, 200)) << "what comes in is part of the universe that goes out";

  // The operator's fader moves after the console's: it holds until the
  // console changes that channel again.
  ASSERT_TRUE(universe_.Set(5, 10));
  frame[5] = 33;  // channel 6 only
  probe_.Send(kIn, frame, 8);
  ASSERT_TRUE(Eventually([&] { return universe_.At(6) == 33; }));
  EXPECT_EQ(universe_.At(5), 10);
  frame[4] = 201;
  probe_.Send(kIn, frame, 8);
  ASSERT_TRUE(Eventually([&] { return universe_.At(5) == 201; }));
  EXPECT_EQ(universe_.At(100), 77) << "channels beyond the console's frame stay the host's";
}

TEST_F(OlaBridgeWithOlad, BurstsAreLimitedToTheFrameRateAndIdleSendsKeepAlive) {
  ASSERT_TRUE(universe_.Set(1, 1));
  ASSERT_TRUE(OutHas(1, 1));
  // 300 changes as fast as the GUI thread can make them.
  const std::uint64_t before = probe_.FrameCount(kOut);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 300; ++i) {
    universe_.Set(1, i % 256);
    QTest::qWait(1);
  }
  universe_.Set(1, 42);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(OutHas(1, 42)) << "the last change always goes out";
  const std::uint64_t sent = probe_.FrameCount(kOut) - before;
  // The limit holds however slowly the loop ran: one send per started frame
  // period, plus the one that may still have been due.
  const auto frames = elapsed / OutputPacer::kFrame;
  EXPECT_LE(sent, static_cast<std::uint64_t>(frames) + 3)
      << "sent " << sent << " frames in " << std::chrono::duration<double>(elapsed).count() << " s";

  // Nothing changes now; olad still hears from the host.
  const std::uint64_t idle = probe_.FrameCount(kOut);
  EXPECT_TRUE(Eventually([&] { return probe_.FrameCount(kOut) >= idle + 2; }, 20s))
      << "no keep-alive sends without changes";
}

// A show at 40 ticks a second. Changes between two ticks (the console's
// values passing through) sent by themselves would take the frame just
// before the next tick and hold its slaves back; they leave with the tick's
// frame instead, and alone only when no tick comes.
TEST_F(OlaBridgeWithOlad, ChangesBetweenTicksLeaveWithTheTicksFrame) {
  using Clock = std::chrono::steady_clock;
  constexpr std::chrono::milliseconds kPeriod{40};
  // One tick: FollowTicked at its start, then its writes, in one event.
  auto tick = [&](int value) {
    bridge_->FollowTicked(kPeriod);
    universe_.Set(10, value);
  };
  auto waitUntil = [](Clock::time_point when) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
    if (ms > 0) QTest::qWait(static_cast<int>(ms));
  };
  // The frame sent on connecting is past.
  QTest::qWait(2 * static_cast<int>(OutputPacer::kFrame.count()));
  const auto tickAt = Clock::now();
  tick(1);
  ASSERT_TRUE(OutHas(10, 1));
  const std::uint64_t before = probe_.FrameCount(kOut);
  waitUntil(tickAt + 10ms);
  universe_.Set(5, 200);
  // After the frame that could have carried it alone, before the next tick
  // is overdue.
  waitUntil(tickAt + 30ms);
  const auto secondTickAt = Clock::now();
  tick(2);
  ASSERT_TRUE(OutHas(10, 2));
  if (secondTickAt - tickAt >= kPeriod + OutputPacer::kTickLate)
    GTEST_SKIP() << "the loop woke too late: the tick was overdue, and the change rightly "
                    "went out alone";
  olatest::OlaClientThread::Frame last{};
  probe_.WaitFor(
      kOut, [](const auto&) { return true; }, 0ms, &last);
  EXPECT_EQ(last[4], 200) << "the tick's frame carries the change made before it";
  EXPECT_EQ(probe_.FrameCount(kOut) - before, 1u)
      << "the change went out in a frame of its own before the tick's";

  // The console's values, and no tick comes (follow mode ended): they go out
  // all the same.
  olatest::OlaClientThread::Frame frame{};
  frame[5] = 77;  // channel 6
  probe_.Send(kIn, frame, 8);
  EXPECT_TRUE(OutHas(6, 77));
}

TEST_F(OlaBridgeWithOlad, ReconnectsWhenOladComesBack) {
  olad_.Kill();
  probe_.Stop();
  ASSERT_TRUE(Eventually([&] { return bridge_->CurrentState() == OlaBridge::State::Lost; }));
  EXPECT_TRUE(bridge_->StatusText().contains("lost")) << bridge_->StatusText().toStdString();
  // Written while olad is away: must go out once it is back.
  ASSERT_TRUE(universe_.Set(300, 5));
  QTest::qWait(600);
  std::string error;
  ASSERT_TRUE(olad_.Start(error)) << error;
  ASSERT_TRUE(Eventually([&] { return bridge_->CurrentState() == OlaBridge::State::Connected; }))
      << bridge_->StatusText().toStdString();
  olatest::OlaClientThread probe(olad_.Port());
  ASSERT_TRUE(probe.Start({kOut}, error)) << error;
  EXPECT_TRUE(OutHas(300, 5, probe));
  // And the console's side works again, from a fresh start.
  olatest::OlaClientThread::Frame frame{};
  frame[6] = 9;
  probe.Send(kIn, frame, 7);
  EXPECT_TRUE(Eventually([&] { return universe_.At(7) == 9; }));
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread exists: unshare() applies to this thread alone.
  privateNetwork = olatest::EnterPrivateNetwork();
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

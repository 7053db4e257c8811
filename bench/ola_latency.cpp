// Latency of the reference host on OLA: from the master's change on universe
// 1 (as a console sends it) to every slave's new values on universe 2 (as the
// fixtures receive them). Starts a private olad with the network-free test
// configuration and the host in --follow mode, plays the master to random
// spots on the stage and times each change. The plug-in reads the master on
// its follow timer (100 ms at the default rate), so the figures include up to
// one timer period.
//
// usage: ola_latency [--rate N] [CHANGES]
//   --rate N  the follow rate the host's demo set-up types in: 10 (default),
//             20, 25 or 40 ticks a second
//   CHANGES   master changes to time (default 300, at least 200)
// Run as root it works in a network namespace of its own; otherwise olad's
// default port 9010 must be free.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host/sim/stage_rig.h"
#include "ola_testkit.h"
#include "rig/rig_store.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kIn = 1;
constexpr std::uint32_t kOut = 2;
constexpr std::size_t kMaster = 1;  // the demo's master

int Fail(const std::string& why) {
  std::fprintf(stderr, "ola_latency: %s\n", why.c_str());
  return 1;
}

double Percentile(std::vector<double> sorted, double p) {
  // Nearest rank: the smallest value with at least p of the samples at or below it.
  const std::size_t rank =
      static_cast<std::size_t>(std::ceil(p * static_cast<double>(sorted.size())));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

// A whole number from min to max, or -1.
long Number(const char* text, long min, long max) {
  char* end = nullptr;
  const long n = std::strtol(text, &end, 10);
  return end == text || *end != '\0' || n < min || n > max ? -1 : n;
}

}  // namespace

int main(int argc, char** argv) {
  int changes = 300;
  int rate = tb::kDefaultFollowRate;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--rate") {
      const long n = i + 1 < argc ? Number(argv[++i], 1, 1000) : -1;
      if (!tb::IsFollowRate(static_cast<std::int32_t>(n)))
        return Fail("--rate needs 10, 20, 25 or 40 (follow ticks a second)");
      rate = static_cast<int>(n);
    } else {
      const long n = Number(argv[i], 200, 100000);
      if (n < 0) return Fail("CHANGES must be a number from 200 to 100000");
      changes = static_cast<int>(n);
    }
  }
  const int periodMs = tb::FollowIntervalMs(rate);
  const bool isolated = olatest::EnterPrivateNetwork();
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  olatest::Olad olad(olatest::kDefaultRpcPort);
  std::string error;
  if (!olad.Start(error)) return Fail(error);
  std::string sockets;
  if (!olad.OnlyLoopbackSockets(sockets))
    return Fail("olad holds non-loopback sockets:\n" + sockets);

  olatest::HostProcess host;
  if (!host.Start(TRAILBEAM_HOST,
                  {"--follow", "--rate", std::to_string(rate), "--ola-in", "1", "--ola-out", "2"},
                  error))
    return Fail(error);
  if (!host.WaitForLine("follow mode on", 240s) || !host.WaitForLine("OLA: connected", 60s))
    return Fail("the host did not start following:\n" + host.Output());

  olatest::OlaClientThread client(olad.Port());
  if (!client.Start({kOut}, error)) return Fail(error);

  const tbhost::StageRig rig = tbhost::DefaultRig();
  const tbhost::MovingHead& master = rig.heads[kMaster];
  const auto k1 = rig.MarkAt(tbhost::Mark::K1);
  const auto k4 = rig.MarkAt(tbhost::Mark::K4);
  std::mt19937 random(20240611);
  std::uniform_real_distribution<double> x(k1.x, k4.x);
  std::uniform_real_distribution<double> y(k1.y, k4.y);
  std::uniform_int_distribution<int> pauseMs(0, periodMs - 1);

  std::vector<double> latencies;
  std::map<std::int32_t, std::int32_t> previous;
  int timeouts = 0;
  while (static_cast<int>(latencies.size()) < changes) {
    const auto aim = tbhost::AimAt(master, {x(random), y(random)});
    if (!aim) continue;
    const auto want = olatest::ExpectedFollow(rig, kMaster, *aim);
    if (want.empty() || want == previous) continue;  // nothing for the slaves to do
    // A random pause over one timer period: changes fall at every phase of the
    // follow timer alike.
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
    olatest::OlaClientThread::Frame frame{};
    frame[static_cast<std::size_t>(master.panChannel - 1)] = static_cast<std::uint8_t>(aim->pan);
    frame[static_cast<std::size_t>(master.tiltChannel - 1)] = static_cast<std::uint8_t>(aim->tilt);
    const Clock::time_point sent = Clock::now();
    client.Send(kIn, frame, static_cast<unsigned>(master.tiltChannel));
    const bool reached = client.WaitForValues(kOut, want, 10s);
    const Clock::time_point seen = Clock::now();
    previous = want;
    if (!reached) {
      if (++timeouts > 3) return Fail("the slaves stopped following:\n" + host.Output());
      continue;
    }
    latencies.push_back(std::chrono::duration<double, std::milli>(seen - sent).count());
  }
  client.Stop();
  const int status = host.Terminate();
  olad.Stop();

  std::vector<double> sorted = latencies;
  std::sort(sorted.begin(), sorted.end());
  std::printf(
      "master change on OLA universe 1 -> all slaves' values on OLA universe 2\n"
      "(olad %s, host in --follow mode, plug-in follow timer %d ms: %d ticks a second)\n"
      "changes: %zu  median: %.1f ms  p99: %.1f ms  max: %.1f ms  min: %.1f ms\n",
      isolated ? "in a private network namespace" : "on 127.0.0.1", periodMs, rate, sorted.size(),
      Percentile(sorted, 0.5), Percentile(sorted, 0.99), sorted.back(), sorted.front());
  if (timeouts > 0) std::printf("changes that never arrived within 10 s: %d\n", timeouts);
  if (status != 0) return Fail("the host did not exit cleanly:\n" + host.Output());
  return 0;
}

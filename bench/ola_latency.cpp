// Latency of the reference host on OLA: from the master's change on universe
// 1 (as a console sends it) to every slave's new values on universe 2 (as the
// fixtures receive them). Starts a private olad with the network-free test
// configuration and the host in --follow mode (or the show box, --run, on the
// same rig calibrated), plays the master to random spots on the stage and
// times each change. The plug-in reads the master on its follow timer (100 ms
// at the default rate), so the figures include up to one timer period.
//
// usage: ola_latency [--run] [--rig NAME] [--rate N] [CHANGES]
//   --run       the show box instead of --follow
//   --rig NAME  the host's simulated rig (default: default); its leading
//               head is the master
//   --rate N    follow ticks a second: 10 (default), 20, 25 or 40
//   CHANGES     master changes to time (default 300, at least 200)
// Run as root it works in a network namespace of its own; otherwise olad's
// default port 9010 must be free.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host/sim/stage_rig.h"
#include "host_probe.h"
#include "rig/rig_store.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int Fail(const std::string& why) {
  std::fprintf(stderr, "ola_latency: %s\n", why.c_str());
  return 1;
}

struct Options {
  int changes = 300;
  hostprobe::FollowHost::Setup host;
  Options() { host.ola = true; }
};

// Empty when the arguments are fine, else why not.
std::string Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--run") == 0) {
      o.host.run = true;
    } else if (std::strcmp(argv[i], "--rate") == 0) {
      const auto n = hostprobe::ParseRate(i + 1 < argc ? argv[++i] : nullptr);
      if (!n) return hostprobe::kRateWrong;
      o.host.rate = *n;
    } else if (std::strcmp(argv[i], "--rig") == 0) {
      if (i + 1 >= argc || !tbhost::RigByName(argv[i + 1]))
        return "--rig needs the name of one of the host's rigs";
      o.host.rig = argv[++i];
    } else if (hostprobe::ParseNumber(argv[i], 0, 100000)) {
      const auto n = hostprobe::ParseNumber(argv[i], 200, 100000);
      if (!n) return "CHANGES must be a number from 200 to 100000";
      o.changes = static_cast<int>(*n);
    } else {
      return std::string("unknown argument ") + argv[i] +
             "\nusage: ola_latency [--run] [--rig NAME] [--rate N] [CHANGES]";
    }
  }
  return {};
}

// Plays the master to random spots and times each change until all slaves
// show it on the out universe. Empty on failure.
std::vector<double> Measure(hostprobe::FollowHost& host, const Options& o, int& timeouts,
                            std::string& error) {
  olatest::OlaClientThread& client = *host.Client();
  const tbhost::StageRig& rig = host.Rig();
  const auto masterIndex = static_cast<std::size_t>(rig.master);
  const tbhost::MovingHead& master = rig.heads[masterIndex];
  const auto k1 = rig.MarkAt(tbhost::Mark::K1);
  const auto k4 = rig.MarkAt(tbhost::Mark::K4);
  std::mt19937 random(20240611);
  std::uniform_real_distribution<double> x(k1.x, k4.x);
  std::uniform_real_distribution<double> y(k1.y, k4.y);
  std::uniform_int_distribution<int> pauseMs(0, tb::FollowIntervalMs(o.host.rate) - 1);

  std::vector<double> latencies;
  std::map<std::int32_t, std::int32_t> previous;
  while (static_cast<int>(latencies.size()) < o.changes && !hostprobe::StopRequested()) {
    const auto aim = tbhost::AimAt(master, {x(random), y(random)});
    if (!aim) continue;
    const auto want = olatest::ExpectedFollow(rig, masterIndex, *aim);
    if (want.empty() || want == previous) continue;  // nothing for the slaves to do
    // A random pause over one timer period: changes fall at every phase of the
    // follow timer alike.
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
    olatest::OlaClientThread::Frame frame{};
    frame[static_cast<std::size_t>(master.panChannel - 1)] = static_cast<std::uint8_t>(aim->pan);
    frame[static_cast<std::size_t>(master.tiltChannel - 1)] = static_cast<std::uint8_t>(aim->tilt);
    const Clock::time_point sent = Clock::now();
    client.Send(hostprobe::FollowHost::kIn, frame, static_cast<unsigned>(master.tiltChannel));
    const bool reached = client.WaitForValues(hostprobe::FollowHost::kOut, want, 10s);
    const Clock::time_point seen = Clock::now();
    previous = want;
    if (!reached) {
      if (++timeouts > 3) {
        error = "the slaves stopped following:\n" + host.Output();
        return {};
      }
      continue;
    }
    latencies.push_back(std::chrono::duration<double, std::milli>(seen - sent).count());
  }
  return latencies;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (const std::string why = Parse(argc, argv, o); !why.empty()) return Fail(why);
  const bool isolated = hostprobe::FollowHost::PrepareProcess(true);
  hostprobe::FollowHost host;
  std::string error;
  if (!host.Start(o.host, error)) return Fail(error);
  int timeouts = 0;
  std::vector<double> sorted = Measure(host, o, timeouts, error);
  const int status = host.Stop();
  if (sorted.empty()) return Fail(error.empty() ? "stopped before the first change" : error);

  std::sort(sorted.begin(), sorted.end());
  std::printf(
      "master change on OLA universe 1 -> all slaves' values on OLA universe 2\n"
      "(olad %s, host %s on rig \"%s\" (%zu heads), plug-in follow timer %d ms: %d ticks a "
      "second)\n"
      "changes: %zu  median: %.1f ms  p99: %.1f ms  max: %.1f ms  min: %.1f ms\n",
      isolated ? "in a private network namespace" : "on 127.0.0.1",
      o.host.run ? "--run (show box)" : "in --follow mode", host.Rig().name.c_str(),
      host.Rig().heads.size(), tb::FollowIntervalMs(o.host.rate), o.host.rate, sorted.size(),
      hostprobe::Percentile(sorted, 0.5), hostprobe::Percentile(sorted, 0.99), sorted.back(),
      sorted.front());
  if (timeouts > 0) std::printf("changes that never arrived within 10 s: %d\n", timeouts);
  if (status != 0) return Fail("the host did not exit cleanly:\n" + host.Output());
  return 0;
}

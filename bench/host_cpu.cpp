// CPU cost of the reference host in follow mode: the CPU time of all its
// threads over a measuring window, as a share of one core, and how often its
// threads were switched in. Headless unless DISPLAY is set (run it under
// xvfb-run for the figure with a display).
//
// usage: host_cpu [--seconds N] [--ola] [--run] [--rate N] [--rig NAME] [--host PATH]
//   --seconds N  length of the measuring window (default 60)
//   --ola        follow on OLA with the master moving (default: no OLA, the
//                master at rest)
//   --host PATH  another build's trailbeam-host, to compare with
//   --run        the show box (--run, on OLA) on a calibrated demo rig instead
//                of --follow; the master moves with --ola
//   --rate N     follow ticks a second: 10 (default), 20, 25 or 40
//   --rig NAME   the host's simulated rig (default: default)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "host_probe.h"

namespace {

using namespace std::chrono_literals;

int Fail(const std::string& why) {
  std::fprintf(stderr, "host_cpu: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  long seconds = 60;
  bool ola = false;
  std::string program;
  bool run = false;
  int rate = 10;
  std::string rig = "default";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      const auto n = hostprobe::ParseNumber(argv[++i], 5, 24 * 3600);
      if (!n) return Fail("--seconds takes a number from 5 to 86400");
      seconds = *n;
    } else if (std::strcmp(argv[i], "--ola") == 0) {
      ola = true;
    } else if (std::strcmp(argv[i], "--run") == 0) {
      run = true;
    } else if (std::strcmp(argv[i], "--rate") == 0) {
      const auto n = hostprobe::ParseRate(i + 1 < argc ? argv[++i] : nullptr);
      if (!n) return Fail(hostprobe::kRateWrong);
      rate = *n;
    } else if (std::strcmp(argv[i], "--rig") == 0 && i + 1 < argc) {
      rig = argv[++i];
    } else if (std::strcmp(argv[i], "--host") == 0 && i + 1 < argc) {
      program = argv[++i];
    } else {
      return Fail(std::string("unknown argument ") + argv[i] +
                  "\nusage: host_cpu [--seconds N] [--ola] [--run] [--rate N] [--rig NAME] "
                  "[--host PATH]");
    }
  }
  hostprobe::FollowHost::PrepareProcess(ola || run);
  hostprobe::FollowHost host;
  std::string error;
  if (!host.Start({.ola = ola || run,
                   .readLog = {},
                   .program = program,
                   .run = run,
                   .rate = rate,
                   .rig = rig},
                  error))
    return Fail(error);
  if (ola && !host.MoveMaster(error)) return Fail(error);
  // The windows' first paints and the first ticks are not the steady state.
  if (!hostprobe::SleepUntil(std::chrono::steady_clock::now() + 5s)) return Fail("stopped");

  const std::string loadBefore = hostprobe::LoadText();
  const hostprobe::ThreadUsage before = hostprobe::ReadThreadUsage(host.Pid());
  const auto t0 = std::chrono::steady_clock::now();
  hostprobe::SleepUntil(t0 + std::chrono::seconds(seconds));
  const hostprobe::ThreadUsage after = hostprobe::ReadThreadUsage(host.Pid());
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const std::string loadAfter = hostprobe::LoadText();
  if (before.empty() || after.empty()) return Fail("the host is gone:\n" + host.Output());
  const hostprobe::Usage used = hostprobe::UsedBetween(before, after);
  const int status = host.Stop();

  const char* display = std::getenv("DISPLAY");
  const bool shown = display != nullptr && *display != '\0';
  std::printf(
      "%s %s%s%s, rig \"%s\", %d ticks a second, %s\n"
      "%s before, %s at the end\n"
      "CPU over %.0f s: %.2f%% of one core; %.1f thread switches per second\n",
      program.empty() ? "trailbeam-host" : program.c_str(), run ? "--run" : "--follow",
      ola || run ? " --ola-in 1 --ola-out 2" : "", ola ? " (master moving)" : " (master at rest)",
      rig.c_str(), rate,
      shown ? (std::string("display ") + display).c_str() : "headless (offscreen)",
      loadBefore.c_str(), loadAfter.c_str(), wall,
      static_cast<double>(used.cpuNs) / (wall * 1e9) * 100,
      static_cast<double>(used.switches) / wall);
  if (status != 0) return Fail("the host did not exit cleanly:\n" + host.Output());
  return 0;
}

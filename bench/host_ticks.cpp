// Timing of the plug-in's follow ticks in the reference host: the host logs
// the time of every channel read (TRAILBEAM_READ_LOG); a tick is a burst of
// reads, timed by its first. Each tick's lateness is measured against
// start + n x the timer's period (100 ms at the default rate). The timer never fires before it is
// due, so the start is the phase that puts the earliest tick on time; the drift is how far the last
// tenth of the run lies behind the first tenth. Optionally with every core kept busy by other
// processes, and the host raised as a service manager would.
//
// usage: host_ticks [--ticks N] [--rate N] [--busy] [--nice N | --fifo P] [--ola]
//   --ticks N  ticks to measure (default 3000, i.e. five minutes at 10 a second)
//   --rate N   follow ticks a second: 10 (default), 20, 25 or 40
//   --busy     one busy loop per core in processes of their own
//   --nice N   the host's threads at nice N (-20..19)
//   --fifo P   the host's threads at SCHED_FIFO priority P (1..99)
//   --ola      follow on OLA with the master moving (default: no OLA, the
//              master at rest)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "host_probe.h"

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kWarmUp = 30;  // ticks left out while the host settles

int Fail(const std::string& why) {
  std::fprintf(stderr, "host_ticks: %s\n", why.c_str());
  return 1;
}

// The time (ms on the steady clock) of every tick's first read; reads more
// than burstGapMs apart belong to different ticks.
std::vector<double> TickStarts(const std::string& log, double burstGapMs) {
  std::vector<double> starts;
  std::ifstream in(log);
  long long ns = 0;
  int channel = 0;
  double previous = -1e18;
  while (in >> ns >> channel) {
    const double ms = static_cast<double>(ns) / 1e6;
    if (ms - previous > burstGapMs) starts.push_back(ms);
    previous = ms;
  }
  return starts;
}

struct Options {
  long ticks = 3000;
  bool busy = false;
  int nice = 0;
  int fifo = 0;
  bool ola = false;
  int rate = 10;
};

bool Parse(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "--ticks") {
      const auto n = hostprobe::ParseNumber(value, 50, 1000000);
      if (!n) return error = "--ticks takes a number from 50 to 1000000", false;
      options.ticks = *n;
      ++i;
    } else if (arg == "--nice") {
      const auto n = hostprobe::ParseNumber(value, -20, 19);
      if (!n) return error = "--nice takes a number from -20 to 19", false;
      options.nice = static_cast<int>(*n);
      ++i;
    } else if (arg == "--fifo") {
      const auto n = hostprobe::ParseNumber(value, 1, 99);
      if (!n) return error = "--fifo takes a number from 1 to 99", false;
      options.fifo = static_cast<int>(*n);
      ++i;
    } else if (arg == "--rate") {
      const auto n = hostprobe::ParseRate(value);
      if (!n) return error = hostprobe::kRateWrong, false;
      options.rate = *n;
      ++i;
    } else if (arg == "--busy") {
      options.busy = true;
    } else if (arg == "--ola") {
      options.ola = true;
    } else {
      return error = "unknown argument " + arg +
                     "\nusage: host_ticks [--ticks N] [--rate N] [--busy] [--nice N | --fifo P] "
                     "[--ola]",
             false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!Parse(argc, argv, options, error)) return Fail(error);
  hostprobe::FollowHost::PrepareProcess(options.ola);

  char folder[] = "/tmp/host_ticks-XXXXXX";
  if (mkdtemp(folder) == nullptr) return Fail("no temporary folder");
  const std::string log = std::string(folder) + "/reads";
  struct Cleanup {
    std::string folder, log;
    ~Cleanup() {
      std::remove(log.c_str());
      rmdir(folder.c_str());
    }
  } cleanup{folder, log};

  hostprobe::FollowHost host;
  if (!host.Start(
          {.ola = options.ola, .readLog = log, .program = {}, .run = false, .rate = options.rate},
          error))
    return Fail(error);
  const double periodMs = 1000.0 / options.rate;
  const double burstGapMs = periodMs / 2;
  if ((options.nice != 0 || options.fifo > 0) &&
      !hostprobe::SetPriority(host.Pid(), options.nice, options.fifo, error))
    return Fail(error);
  if (options.ola && !host.MoveMaster(error)) return Fail(error);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const std::string loadBefore = hostprobe::LoadText();
  std::unique_ptr<hostprobe::BusyCores> busy;
  if (options.busy) busy = std::make_unique<hostprobe::BusyCores>(cores);

  const std::size_t wanted = kWarmUp + static_cast<std::size_t>(options.ticks);
  std::vector<double> starts;
  const auto deadline =
      std::chrono::steady_clock::now() +
      std::chrono::milliseconds(
          static_cast<long long>(wanted) * static_cast<long long>(2 * periodMs) + 60000);
  while ((starts = TickStarts(log, burstGapMs)).size() < wanted) {
    if (std::chrono::steady_clock::now() > deadline)
      return Fail("too few ticks (" + std::to_string(starts.size()) + "):\n" + host.Output());
    if (!hostprobe::SleepUntil(std::chrono::steady_clock::now() + 1s)) return Fail("stopped");
  }
  const std::string loadAfter = hostprobe::LoadText();
  busy.reset();
  const int status = host.Stop();

  // Tick n is due at start + n x the period. A tick the timer skipped, or a
  // schedule it restarted after falling a whole period behind, shows as
  // lateness that stays: as drift.
  const double first = starts[kWarmUp];
  std::vector<double> late;
  for (std::size_t i = kWarmUp; i < wanted; ++i)
    late.push_back(starts[i] - (first + static_cast<double>(i - kWarmUp) * periodMs));
  const double phase = *std::min_element(late.begin(), late.end());
  for (double& l : late) l -= phase;
  const std::size_t tenth = std::max<std::size_t>(1, late.size() / 10);
  const double head = std::accumulate(late.begin(), late.begin() + tenth, 0.0) / tenth;
  const double tail = std::accumulate(late.end() - tenth, late.end(), 0.0) / tenth;
  std::vector<double> sorted = late;
  std::sort(sorted.begin(), sorted.end());

  std::string priority = "normal priority";
  if (options.fifo > 0) priority = "SCHED_FIFO " + std::to_string(options.fifo);
  if (options.nice != 0) priority = "nice " + std::to_string(options.nice);
  std::printf(
      "trailbeam-host --follow%s, %s, %s\n"
      "%s before, %s at the end\n"
      "ticks: %zu over %.1f s  lateness against start + n x %.0f ms (ms):\n"
      "  p50 %.3f  p99 %.3f  max %.3f\n"
      "  drift (mean of the last tenth - mean of the first tenth): %+.3f ms\n",
      options.ola ? " --ola-in 1 --ola-out 2 (master moving)" : " (master at rest)",
      priority.c_str(),
      options.busy ? ("every core busy (" + std::to_string(cores) + " spinning processes)").c_str()
                   : "no load added",
      loadBefore.c_str(), loadAfter.c_str(), late.size(), (starts[wanted - 1] - first) / 1000,
      periodMs, hostprobe::Percentile(sorted, 0.5), hostprobe::Percentile(sorted, 0.99),
      sorted.back(), tail - head);
  if (status != 0) return Fail("the host did not exit cleanly:\n" + host.Output());
  return 0;
}

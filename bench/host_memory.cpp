// Resident size of the reference host in follow mode over a long run: the
// host follows on OLA (a private olad) while the master travels over the
// stage, 10 follow ticks a second. Prints the size once a minute and, at the
// end, the growth from the first minute's reading to the last.
//
// usage: host_memory [--minutes N]   (default 60)
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "host_probe.h"

namespace {

using namespace std::chrono_literals;

int Fail(const std::string& why) {
  std::fprintf(stderr, "host_memory: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  long minutes = 60;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--minutes") == 0 && i + 1 < argc) {
      const auto n = hostprobe::ParseNumber(argv[++i], 1, 24 * 60);
      if (!n) return Fail("--minutes takes a number from 1 to 1440");
      minutes = *n;
    } else {
      return Fail(std::string("unknown argument ") + argv[i] +
                  "\nusage: host_memory [--minutes N]");
    }
  }
  hostprobe::FollowHost::PrepareProcess(true);
  hostprobe::FollowHost host;
  std::string error;
  if (!host.Start({.ola = true, .readLog = {}, .program = {}, .run = false}, error) ||
      !host.MoveMaster(error))
    return Fail(error);

  std::printf("trailbeam-host --follow --ola-in 1 --ola-out 2, master moving, %ld min (%s)\n",
              minutes, hostprobe::LoadText().c_str());
  const auto start = std::chrono::steady_clock::now();
  auto read = [&](const char* when) {
    const auto memory = hostprobe::ReadMemory(host.Pid());
    if (!memory) return memory;
    const double at =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-12s %7.1f min  resident %6ld kB  anonymous %6ld kB  slave frames %llu\n", when,
                at / 60, memory->residentKb, memory->anonymousKb,
                static_cast<unsigned long long>(host.OutputFrames()));
    std::fflush(stdout);
    return memory;
  };
  const auto first = read("after start");
  if (!first) return Fail("the host is gone:\n" + host.Output());
  // The first minute settles the heap (fonts, the first paints, OLA's
  // buffers); growth is counted from there.
  auto baseline = first;
  auto peak = first->residentKb;
  auto last = first;
  long ran = 0;
  for (long m = 1; m <= minutes; ++m) {
    if (!hostprobe::SleepUntil(start + std::chrono::minutes(m))) break;
    ran = m;
    last = read("running");
    if (!last) return Fail("the host is gone:\n" + host.Output());
    if (m == 1) baseline = last;
    peak = std::max(peak, last->residentKb);
  }
  const int status = host.Stop();
  std::printf(
      "resident after start %ld kB, after 1 min %ld kB, after %ld min %ld kB (peak %ld kB)%s\n"
      "growth from minute 1 to the end: resident %+ld kB, anonymous %+ld kB (%s)\n",
      first->residentKb, baseline->residentKb, ran, last->residentKb, peak,
      ran < minutes ? ", stopped early" : "", last->residentKb - baseline->residentKb,
      last->anonymousKb - baseline->anonymousKb, hostprobe::LoadText().c_str());
  if (status != 0) return Fail("the host did not exit cleanly:\n" + host.Output());
  return 0;
}

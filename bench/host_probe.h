// What the host's measuring programs share: the host in --follow mode as a
// child process (with a private olad and a moving master when asked), other
// processes that keep every core busy, and readings of a process's CPU time
// and resident size from /proc.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ola_testkit.h"

namespace hostprobe {

// Ctrl-C or SIGTERM end a measurement early but cleanly: the host and olad
// are stopped and the figures so far printed.
void StopOnSignals();
bool StopRequested();
// Sleeps until `until` or a stop request; false on a stop request.
bool SleepUntil(std::chrono::steady_clock::time_point until);

// A whole number from `text` within [min, max]; nothing when it is not one.
std::optional<long> ParseNumber(const char* text, long min, long max);

// A follow rate the device setup offers (10, 20, 25 or 40); nothing for
// anything else.
std::optional<int> ParseRate(const char* text);
inline constexpr const char* kRateWrong = "--rate takes 10, 20, 25 or 40 (follow ticks a second)";

// Nearest rank over sorted samples: the smallest value with at least p of
// them at or below it.
double Percentile(const std::vector<double>& sorted, double p);

// What the threads of a process used: CPU time in nanoseconds, and how
// often they were switched in (voluntary and forced switches).
struct Usage {
  std::int64_t cpuNs = 0;
  std::int64_t switches = 0;
};
using ThreadUsage = std::map<pid_t, Usage>;
// Every thread the process has now; empty when it is gone.
ThreadUsage ReadThreadUsage(pid_t pid);
// Used between two readings: by the threads in `after`, counted from
// `before` where they were there already. Qt ends idle pool threads, so a
// thread's last moments before it ended are not counted.
Usage UsedBetween(const ThreadUsage& before, const ThreadUsage& after);

struct Memory {
  long residentKb = 0;   // VmRSS
  long anonymousKb = 0;  // RssAnon: the heap and stacks, where a leak grows
};
std::optional<Memory> ReadMemory(pid_t pid);

// Gives every thread of `pid` a nice value, or SCHED_FIFO at `fifo` (> 0),
// as a service manager would at start. False when the system refused.
bool SetPriority(pid_t pid, int nice, int fifo, std::string& error);

std::string LoadText();  // "load average 0.12 0.30 0.41" from /proc/loadavg

// One busy loop per core, each in a process of its own at normal priority.
class BusyCores {
 public:
  explicit BusyCores(unsigned count);
  ~BusyCores();
  BusyCores(const BusyCores&) = delete;
  BusyCores& operator=(const BusyCores&) = delete;
  unsigned Count() const { return static_cast<unsigned>(pids_.size()); }

 private:
  std::vector<pid_t> pids_;
};

// trailbeam-host --follow on a simulated rig, or --run on the same rig. With OLA, a private olad
// (in a network namespace of its own when run as root) carries the master in on
// universe 1 and the slaves out on universe 2.
class FollowHost {
 public:
  struct Setup {
    bool ola = false;
    std::string readLog;  // TRAILBEAM_READ_LOG for the host; empty: none
    std::string program;  // another build's trailbeam-host; empty: this build's
    // The show box (--run, always on OLA) instead of --follow, on a copy of
    // the module whose TrailBeam.ini holds the demo rig, calibrated.
    bool run = false;
    // Follow ticks a second: typed into the device setup by --follow, stored
    // in the show box's TrailBeam.ini.
    int rate = 10;
    // The host's simulated rig (--rig); its leading head is the master.
    std::string rig = "default";
  };
  // Call first thing in main, before any thread starts: the private network
  // namespace can only be entered then. True when olad will live in one.
  static bool PrepareProcess(bool ola);
  FollowHost() = default;
  ~FollowHost();
  FollowHost(const FollowHost&) = delete;
  FollowHost& operator=(const FollowHost&) = delete;

  bool Start(const Setup& setup, std::string& error);
  pid_t Pid() const { return host_.Pid(); }
  std::string Output() { return host_.Output(); }
  // SIGTERM; the host's exit status.
  int Stop();
  // Plays the master along a figure over the stage marks, 25 frames a
  // second, until Stop (OLA only).
  bool MoveMaster(std::string& error);
  // Frames olad has carried out on the slaves' universe so far (OLA only).
  std::uint64_t OutputFrames();
  // The console's side of olad: universe 1 in, universe 2 watched (OLA
  // only, after Start).
  olatest::OlaClientThread* Client() { return client_.get(); }
  const tbhost::StageRig& Rig() const { return rig_; }
  static constexpr std::uint32_t kIn = 1;
  static constexpr std::uint32_t kOut = 2;

 private:
  void Play();

  bool WriteCalibratedModule(int rate, std::string& error);

  tbhost::StageRig rig_;
  std::string folder_;  // the show box's module and TrailBeam.ini
  std::unique_ptr<olatest::Olad> olad_;
  std::unique_ptr<olatest::OlaClientThread> client_;
  olatest::HostProcess host_;
  std::atomic<bool> moving_{false};
  std::thread mover_;
};

}  // namespace hostprobe

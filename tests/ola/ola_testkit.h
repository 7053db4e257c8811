// What the OLA tests and the latency measurement share: a private olad with
// the network-free configuration, a client that watches and plays universes,
// and the reference host as a child process.
#pragma once

#include <sys/types.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/sim/stage_rig.h"

namespace olatest {

using namespace std::chrono_literals;

// The port ola_set_dmx talks to; it has no option for another one.
inline constexpr std::uint16_t kDefaultRpcPort = 9010;

// Moves this process (before any thread starts) into a network namespace of
// its own with only the loopback interface up: olad, the host and the OLA
// command-line tools started from here can reach nothing but each other, and
// olad's default port cannot collide with an operator's olad. Needs root;
// false (nothing changed) otherwise.
bool EnterPrivateNetwork();

std::string FindOlad();  // empty when olad is not installed

// Whether something accepts TCP connections on 127.0.0.1:port.
bool PortAccepts(std::uint16_t port);

// olad in the foreground as a child, on a fresh copy of the committed
// configuration. As root it runs as the system user "olad" (it refuses root).
class Olad {
 public:
  explicit Olad(std::uint16_t port) : port_(port) {}
  ~Olad();
  Olad(const Olad&) = delete;
  Olad& operator=(const Olad&) = delete;

  // Starts and waits until the RPC port accepts connections.
  bool Start(std::string& error);
  // SIGTERM, then SIGKILL if it lingers; waits for the process.
  void Stop();
  // SIGKILL: olad vanishing without a goodbye.
  void Kill();
  bool Running() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  std::uint16_t Port() const { return port_; }
  // Every inet socket olad holds is bound to a loopback address and, if
  // connected, connected to one. `detail` lists the offenders.
  bool OnlyLoopbackSockets(std::string& detail) const;
  std::string Log() const;

 private:
  std::uint16_t port_;
  pid_t pid_ = -1;
  std::string folder_;
};

// An OLA client on a thread of its own: registers for universes, keeps the
// latest frame of each, and sends frames.
class OlaClientThread {
 public:
  using Frame = std::array<std::uint8_t, 512>;
  using Clock = std::chrono::steady_clock;

  explicit OlaClientThread(std::uint16_t port) : port_(port) {}
  ~OlaClientThread();

  // Connects and registers for `watch` (may be empty). False when olad does
  // not answer.
  bool Start(const std::vector<std::uint32_t>& watch, std::string& error);
  void Stop();

  // Waits until `test` holds for the latest frame of `universe` (called
  // under a lock on every new frame). False on timeout; `last` gets the
  // latest frame either way.
  bool WaitFor(std::uint32_t universe, const std::function<bool(const Frame&)>& test,
               std::chrono::milliseconds timeout, Frame* last = nullptr);
  // Waits until `universe` carries every channel -> value of `want`.
  bool WaitForValues(std::uint32_t universe, const std::map<std::int32_t, std::int32_t>& want,
                     std::chrono::milliseconds timeout, Frame* last = nullptr);
  // Frames received for `universe` so far.
  std::uint64_t FrameCount(std::uint32_t universe);
  // Queues a frame for sending to `universe` (the first `length` channels).
  void Send(std::uint32_t universe, const Frame& frame, unsigned length = 512);

 private:
  struct Impl;
  std::uint16_t port_;
  std::shared_ptr<Impl> impl_;
  std::thread thread_;
};

// The reference host as a child process; its stdout and stderr are kept
// line by line.
class HostProcess {
 public:
  ~HostProcess();
  bool Start(const std::string& program, const std::vector<std::string>& args, std::string& error);
  // Waits for an output line containing `text` after the first `from` lines.
  bool WaitForLine(const std::string& text, std::chrono::milliseconds timeout,
                   std::size_t from = 0);
  std::size_t LineCount();
  std::string Output();
  bool Running();
  pid_t Pid() const { return pid_; }
  // SIGTERM and wait; the exit status (-1 when it had to be killed).
  int Terminate(std::chrono::milliseconds grace = 20s);
  // Waits for it to end by itself; the exit status (-1 when it had to be
  // killed at the end of `timeout`).
  int Wait(std::chrono::milliseconds timeout);

 private:
  void Reader(int fd);
  pid_t pid_ = -1;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
  std::vector<std::thread> readers_;
};

// Plays `values` from channel 1 on `universe` with ola_set_dmx, which talks
// to olad on kDefaultRpcPort. Only call it while a test's olad runs there:
// the tool starts an olad of its own when it finds none.
bool OlaSetDmx(std::uint32_t universe, const std::vector<int>& values, std::string& error);

// What the follow step writes to every slave (channel -> value) for the
// master head `master` at `aim`, with the calibration the demo takes over:
// each head aimed at each mark. Computed by the core's own follow step.
std::map<std::int32_t, std::int32_t> ExpectedFollow(const tbhost::StageRig& rig, std::size_t master,
                                                    tbhost::PanTilt aim);

// TrailBeam.ini as the plug-in's own writer saves the rig with every head a
// device (head n device n + 1) and calibrated on the five marks as the demo
// takes them.
std::string CalibratedSettings(const tbhost::StageRig& rig);

}  // namespace olatest

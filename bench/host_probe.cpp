#include "host_probe.h"

#include <dirent.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

#include "host/sim/stage_rig.h"
#include "rig/rig_store.h"
#include "rig/settings_file.h"

namespace hostprobe {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kIn = FollowHost::kIn;
constexpr std::uint32_t kOut = FollowHost::kOut;

std::vector<pid_t> Threads(pid_t pid) {
  std::vector<pid_t> tids;
  const std::string folder = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return tids;
  while (const dirent* entry = readdir(dir))
    if (entry->d_name[0] != '.') tids.push_back(static_cast<pid_t>(std::atol(entry->d_name)));
  closedir(dir);
  return tids;
}

volatile std::sig_atomic_t stopRequested = 0;
void OnStopSignal(int) { stopRequested = 1; }

}  // namespace

void StopOnSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() { return stopRequested != 0; }

bool SleepUntil(std::chrono::steady_clock::time_point until) {
  while (!StopRequested()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= until) return true;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(until - now, 200ms));
  }
  return false;
}

std::optional<long> ParseNumber(const char* text, long min, long max) {
  if (text == nullptr) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || n < min || n > max) return std::nullopt;
  return n;
}

std::optional<int> ParseRate(const char* text) {
  const auto n = ParseNumber(text, 1, 1000);
  if (!n || !tb::IsFollowRate(static_cast<std::int32_t>(*n))) return std::nullopt;
  return static_cast<int>(*n);
}

double Percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(sorted.size())));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

ThreadUsage ReadThreadUsage(pid_t pid) {
  ThreadUsage usage;
  for (pid_t tid : Threads(pid)) {
    const std::string task = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid);
    Usage& u = usage[tid];
    std::ifstream schedstat(task + "/schedstat");
    schedstat >> u.cpuNs;  // the first field: the time the thread ran
    std::ifstream status(task + "/status");
    std::string line;
    while (std::getline(status, line)) {
      std::istringstream words(line);
      std::string key;
      std::int64_t n = 0;
      if ((words >> key >> n) &&
          (key == "voluntary_ctxt_switches:" || key == "nonvoluntary_ctxt_switches:"))
        u.switches += n;
    }
  }
  return usage;
}

Usage UsedBetween(const ThreadUsage& before, const ThreadUsage& after) {
  Usage used;
  for (const auto& [tid, now] : after) {
    const auto then = before.find(tid);
    const Usage start = then == before.end() ? Usage{} : then->second;
    used.cpuNs += std::max<std::int64_t>(now.cpuNs - start.cpuNs, 0);
    used.switches += std::max<std::int64_t>(now.switches - start.switches, 0);
  }
  return used;
}

std::optional<Memory> ReadMemory(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  if (!in) return std::nullopt;
  Memory memory;
  bool seen = false;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string key;
    long kb = 0;
    if (!(words >> key >> kb)) continue;
    if (key == "VmRSS:") {
      memory.residentKb = kb;
      seen = true;
    } else if (key == "RssAnon:") {
      memory.anonymousKb = kb;
    }
  }
  if (!seen) return std::nullopt;
  return memory;
}

bool SetPriority(pid_t pid, int nice, int fifo, std::string& error) {
  for (pid_t tid : Threads(pid)) {
    if (fifo > 0) {
      sched_param param{};
      param.sched_priority = fifo;
      if (sched_setscheduler(tid, SCHED_FIFO, &param) != 0) {
        error = std::string("SCHED_FIFO refused: ") + std::strerror(errno);
        return false;
      }
    } else if (nice != 0 && setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) != 0) {
      error = std::string("nice refused: ") + std::strerror(errno);
      return false;
    }
  }
  return true;
}

std::string LoadText() {
  std::ifstream in("/proc/loadavg");
  double a = 0, b = 0, c = 0;
  in >> a >> b >> c;
  char text[64];
  std::snprintf(text, sizeof text, "load average %.2f %.2f %.2f", a, b, c);
  return text;
}

BusyCores::BusyCores(unsigned count) {
  for (unsigned i = 0; i < count; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      volatile std::uint64_t spin = 0;
      while (true) spin = spin + 1;
    }
    if (pid > 0) pids_.push_back(pid);
  }
}

BusyCores::~BusyCores() {
  for (pid_t pid : pids_) kill(pid, SIGKILL);
  for (pid_t pid : pids_) waitpid(pid, nullptr, 0);
}

bool FollowHost::PrepareProcess(bool ola) {
  StopOnSignals();
  const bool isolated = ola && olatest::EnterPrivateNetwork();
  const char* display = std::getenv("DISPLAY");
  if ((display == nullptr || *display == '\0') && std::getenv("QT_QPA_PLATFORM") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  return isolated;
}

// TrailBeam.ini as the plug-in writes it once the operator has aimed every
// head of the rig at the five marks: written by the plug-in's own writer.
bool FollowHost::WriteCalibratedModule(int rate, std::string& error) {
  if (rig_.heads.size() > static_cast<std::size_t>(tb::kDeviceCount))
    return error = "the rig \"" + rig_.name + "\" has " + std::to_string(rig_.heads.size()) +
                   " heads; the plug-in stores " + std::to_string(tb::kDeviceCount),
           false;
  std::string pattern = "/tmp/host_probe-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return error = "no temporary folder", false;
  folder_ = pattern;
  const std::filesystem::path module =
      std::filesystem::path(TRAILBEAM_HOST).parent_path() / "TrailBeam.so";
  std::error_code ec;
  std::filesystem::copy_file(module, folder_ + "/TrailBeam.so", ec);
  if (ec) return error = "could not copy " + module.string() + ": " + ec.message(), false;
  tb::RigStore store;
  for (std::size_t h = 0; h < rig_.heads.size(); ++h) {
    const tbhost::MovingHead& head = rig_.heads[h];
    store.DeviceTable[h] = {head.name, head.panChannel, head.tiltChannel};
    for (tbhost::Mark mark : tbhost::kAllMarks) {
      const auto aim = tbhost::AimAt(head, rig_.MarkAt(mark));
      if (!aim) return error = head.name + " cannot reach a mark", false;
      store.PanCalibration[h][static_cast<std::size_t>(mark)] = aim->pan;
      store.TiltCalibration[h][static_cast<std::size_t>(mark)] = aim->tilt;
    }
    store.DeviceCalibrated[h] = tb::VTrue;
  }
  store.FollowRate = rate;
  std::ofstream(folder_ + "/TrailBeam.ini", std::ios::binary) << tb::ConfigFileBytes(store);
  return true;
}

bool FollowHost::Start(const Setup& setup, std::string& error) {
  const auto rig = tbhost::RigByName(setup.rig);
  if (!rig) return error = "no rig \"" + setup.rig + "\"", false;
  rig_ = *rig;
  std::vector<std::string> args = {"--follow"};
  // Left out at the default, so that an earlier build without them can be
  // compared.
  if (setup.rate != tb::kDefaultFollowRate)
    args.insert(args.end(), {"--rate", std::to_string(setup.rate)});
  if (setup.rig != tbhost::kRigNames.front()) args.insert(args.end(), {"--rig", setup.rig});
  if (setup.run) {
    if (!setup.ola) return error = "the show box runs on OLA only", false;
    if (!WriteCalibratedModule(setup.rate, error)) return false;
    args = {"--run", "--master", std::to_string(rig_.master + 1), "--plugin",
            folder_ + "/TrailBeam.so"};
  }
  if (setup.ola) {
    olad_ = std::make_unique<olatest::Olad>(olatest::kDefaultRpcPort);
    if (!olad_->Start(error)) return false;
    std::string sockets;
    if (!olad_->OnlyLoopbackSockets(sockets)) {
      error = "olad holds non-loopback sockets:\n" + sockets;
      return false;
    }
    args.insert(args.end(), {"--ola-in", std::to_string(kIn), "--ola-out", std::to_string(kOut)});
  }
  if (setup.readLog.empty())
    unsetenv("TRAILBEAM_READ_LOG");
  else
    setenv("TRAILBEAM_READ_LOG", setup.readLog.c_str(), 1);
  if (!host_.Start(setup.program.empty() ? TRAILBEAM_HOST : setup.program, args, error))
    return false;
  if (!host_.WaitForLine(setup.run ? "status: follow on" : "follow mode on", 240s) ||
      (setup.ola && !host_.WaitForLine("OLA: connected", 60s))) {
    error = "the host did not start following:\n" + host_.Output();
    return false;
  }
  if (setup.ola) {
    client_ = std::make_unique<olatest::OlaClientThread>(olad_->Port());
    if (!client_->Start({kOut}, error)) return false;
  }
  return true;
}

bool FollowHost::MoveMaster(std::string& error) {
  if (!client_) {
    error = "the master moves only through OLA";
    return false;
  }
  moving_ = true;
  mover_ = std::thread([this] { Play(); });
  return true;
}

void FollowHost::Play() {
  const tbhost::StageRig& rig = rig_;
  const tbhost::MovingHead& master = rig.heads[static_cast<std::size_t>(rig.master)];
  const tbhost::FloorPoint km = rig.MarkAt(tbhost::Mark::KM);
  const tbhost::FloorPoint k1 = rig.MarkAt(tbhost::Mark::K1);
  const tbhost::FloorPoint k4 = rig.MarkAt(tbhost::Mark::K4);
  const auto start = std::chrono::steady_clock::now();
  auto next = start;
  while (moving_) {
    // A 1:2 figure over the marks, once every 20 s.
    const double t = std::chrono::duration<double>(next - start).count();
    const double turn = 2 * std::numbers::pi * t / 20.0;
    const tbhost::FloorPoint at{km.x + (k4.x - k1.x) / 2 * std::sin(turn),
                                km.y + (k4.y - k1.y) / 2 * std::sin(2 * turn)};
    if (const auto aim = tbhost::AimAt(master, at)) {
      olatest::OlaClientThread::Frame frame{};
      frame[static_cast<std::size_t>(master.panChannel - 1)] = static_cast<std::uint8_t>(aim->pan);
      frame[static_cast<std::size_t>(master.tiltChannel - 1)] =
          static_cast<std::uint8_t>(aim->tilt);
      client_->Send(kIn, frame, static_cast<unsigned>(master.tiltChannel));
    }
    next += 40ms;
    std::this_thread::sleep_until(next);
  }
}

std::uint64_t FollowHost::OutputFrames() { return client_ ? client_->FrameCount(kOut) : 0; }

FollowHost::~FollowHost() {
  moving_ = false;
  if (mover_.joinable()) mover_.join();
  host_.Terminate();
  if (!folder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
}

int FollowHost::Stop() {
  moving_ = false;
  if (mover_.joinable()) mover_.join();
  if (client_) client_->Stop();
  const int status = host_.Terminate();
  if (olad_) olad_->Stop();
  return status;
}

}  // namespace hostprobe

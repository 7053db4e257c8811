#include "ola_testkit.h"

#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <ola/Callback.h>
#include <ola/DmxBuffer.h>
#include <ola/client/ClientArgs.h>
#include <ola/client/ClientTypes.h>
#include <ola/client/OlaClient.h>
#include <ola/io/SelectServer.h>
#include <ola/network/IPV4Address.h>
#include <ola/network/SocketAddress.h>
#include <ola/network/TCPSocket.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "follow/follow.h"
#include "rig/rig_store.h"
#include "rig/settings_file.h"

namespace fs = std::filesystem;

namespace olatest {
namespace {

// Reaps `pid` within `timeout`; true when it ended (status in `status`).
bool WaitExit(pid_t pid, std::chrono::milliseconds timeout, int& status) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (true) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(20ms);
  }
}

std::vector<char*> Pointers(const std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (const std::string& s : strings) result.push_back(const_cast<char*>(s.c_str()));
  result.push_back(nullptr);
  return result;
}

[[noreturn]] void ExecOrDie(const std::vector<std::string>& argv) {
  std::vector<char*> args = Pointers(argv);
  execv(args[0], args.data());
  _exit(127);
}

std::string Which(const char* name) {
  for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin", "/usr/sbin"}) {
    const fs::path p = fs::path(dir) / name;
    if (access(p.c_str(), X_OK) == 0) return p.string();
  }
  return {};
}

// One inet socket of a process, as /proc/PID/net/<table> prints it.
struct SocketRow {
  std::string table, local, remote, state;
};

// The inet sockets `pid` holds (matched by inode from its descriptors); false
// when its descriptors cannot be listed (it ended).
bool OwnSockets(pid_t pid, std::vector<SocketRow>& rows, std::string& error) {
  std::set<std::string> inodes;
  std::error_code ec;
  const fs::path proc = fs::path("/proc") / std::to_string(pid);
  for (const auto& entry : fs::directory_iterator(proc / "fd", ec)) {
    // A descriptor closed since the listing is simply gone, not an error.
    std::error_code gone;
    const std::string target = fs::read_symlink(entry.path(), gone).string();
    if (target.rfind("socket:[", 0) == 0) inodes.insert(target.substr(8, target.size() - 9));
  }
  if (ec) {
    error = "cannot list olad's descriptors: " + ec.message();
    return false;
  }
  for (const char* table : {"tcp", "tcp6", "udp", "udp6", "raw", "raw6"}) {
    std::ifstream in(proc / "net" / table);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state, queues, timer, retrans, uid, timeout, inode;
      fields >> slot >> local >> remote >> state >> queues >> timer >> retrans >> uid >> timeout >>
          inode;
      if (inodes.count(inode) != 0) rows.push_back({table, local, remote, state});
    }
  }
  // Raw frames on any interface; the inode is the last field.
  std::ifstream packet(proc / "net" / "packet");
  std::string line;
  std::getline(packet, line);
  while (std::getline(packet, line)) {
    std::istringstream fields(line);
    std::string field, last;
    while (fields >> field) last = field;
    if (inodes.count(last) != 0) rows.push_back({"packet", "", "", ""});
  }
  return true;
}

// Whether `pid` itself listens on TCP `port`: without a network of its own a
// test can find the port taken by another olad that won the race for it.
bool ListensOn(pid_t pid, std::uint16_t port) {
  std::vector<SocketRow> rows;
  std::string error;
  if (!OwnSockets(pid, rows, error)) return false;
  char wanted[8];
  std::snprintf(wanted, sizeof wanted, ":%04X", port);
  for (const SocketRow& row : rows) {
    const std::size_t colon = row.local.rfind(':');
    if (row.table.rfind("tcp", 0) == 0 && row.state == "0A" && colon != std::string::npos &&
        row.local.substr(colon) == wanted)
      return true;
  }
  return false;
}

}  // namespace

bool EnterPrivateNetwork() {
  if (geteuid() != 0) return false;
  if (unshare(CLONE_NEWNET) != 0) return false;
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return false;
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
  up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  close(fd);
  return up;
}

std::string FindOlad() { return Which("olad"); }

bool PortAccepts(std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

Olad::~Olad() {
  Stop();
  if (!folder_.empty()) {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
}

bool Olad::Start(std::string& error) {
  const std::string olad = FindOlad();
  if (olad.empty()) {
    error = "olad is not installed";
    return false;
  }
  if (PortAccepts(port_)) {
    error = "something already listens on 127.0.0.1:" + std::to_string(port_) +
            "; the tests leave an operator's olad alone";
    return false;
  }
  if (folder_.empty()) {
    std::string pattern = (fs::temp_directory_path() / "tb-olad-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      error = "no scratch folder";
      return false;
    }
    folder_ = pattern;
  }
  const fs::path config = fs::path(folder_) / "config";
  std::error_code ec;
  fs::remove_all(config, ec);
  fs::create_directories(config, ec);
  for (const auto& entry : fs::directory_iterator(TB_OLAD_CONFIG, ec))
    if (entry.path().extension() == ".conf")
      fs::copy_file(entry.path(), config / entry.path().filename(), ec);
  if (ec) {
    error = "could not copy the olad configuration: " + ec.message();
    return false;
  }
  const bool root = geteuid() == 0;
  std::vector<std::string> argv;
  if (root) {
    const passwd* user = getpwnam("olad");
    if (user == nullptr) {
      error = "running as root, but there is no user \"olad\" to run olad as";
      return false;
    }
    const std::string setpriv = Which("setpriv");
    if (setpriv.empty()) {
      error = "setpriv is missing";
      return false;
    }
    // olad rewrites its configuration files, and refuses to run as root.
    chmod(folder_.c_str(), 0755);
    chown(config.c_str(), user->pw_uid, user->pw_gid);
    for (const auto& entry : fs::directory_iterator(config, ec))
      chown(entry.path().c_str(), user->pw_uid, user->pw_gid);
    // Allowed to look into any folder, so that it reaches its configuration
    // in the build tree even where the clone lies in a folder only root
    // may enter (a mktemp -d folder, /root); it writes only its own files.
    argv = {setpriv,
            "--reuid=olad",
            "--regid=" + std::to_string(user->pw_gid),
            "--clear-groups",
            "--inh-caps=+dac_read_search",
            "--ambient-caps=+dac_read_search",
            "--"};
  }
  for (const std::string& a :
       {olad, std::string("--no-http"), std::string("--no-register-with-dns-sd"), std::string("-c"),
        config.string(), std::string("-r"), std::to_string(port_), std::string("-l"),
        std::string("3")})
    argv.push_back(a);

  const std::string log = (fs::path(folder_) / "olad.log").string();
  const pid_t pid = fork();
  if (pid < 0) {
    error = "fork failed";
    return false;
  }
  if (pid == 0) {
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    const int in = open("/dev/null", O_RDONLY);
    if (in >= 0) dup2(in, 0);
    ExecOrDie(argv);
  }
  pid_ = pid;
  const auto end = std::chrono::steady_clock::now() + 30s;
  while (!ListensOn(pid_, port_)) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      error = "olad ended at start:\n" + Log();
      return false;
    }
    if (std::chrono::steady_clock::now() >= end) {
      error = "olad does not accept connections:\n" + Log();
      Stop();
      return false;
    }
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

void Olad::Stop() {
  if (pid_ <= 0) return;
  int status = 0;
  kill(pid_, SIGTERM);
  if (!WaitExit(pid_, 15s, status)) {
    kill(pid_, SIGKILL);
    WaitExit(pid_, 15s, status);
  }
  pid_ = -1;
}

void Olad::Kill() {
  if (pid_ <= 0) return;
  int status = 0;
  kill(pid_, SIGKILL);
  WaitExit(pid_, 15s, status);
  pid_ = -1;
}

std::string Olad::Log() const {
  std::ifstream in(fs::path(folder_) / "olad.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Olad::OnlyLoopbackSockets(std::string& detail) const {
  detail.clear();
  if (pid_ <= 0) {
    detail = "olad is not running";
    return false;
  }
  std::vector<SocketRow> rows;
  if (!OwnSockets(pid_, rows, detail)) return false;
  // Addresses as /proc prints them: 32-bit words in host order (x86: the
  // octets reversed within each word).
  auto loopbackOrAny = [](const std::string& hex) {
    const std::string address = hex.substr(0, hex.find(':'));
    if (address.find_first_not_of('0') == std::string::npos) return true;  // unbound / any peer
    if (address.size() == 8) return address.substr(6, 2) == "7F";
    if (address.size() == 32)
      return address == "00000000000000000000000001000000" ||
             (address.substr(0, 24) == "0000000000000000FFFF0000" && address.substr(30, 2) == "7F");
    return false;
  };
  bool clean = true;
  for (const SocketRow& row : rows) {
    // A listening or unconnected socket bound to the wildcard address would
    // also be reachable from outside.
    const bool localOk =
        row.table != "packet" && loopbackOrAny(row.local) &&
        row.local.substr(0, row.local.find(':')).find_first_not_of('0') != std::string::npos;
    if (!localOk || !loopbackOrAny(row.remote)) {
      clean = false;
      detail += row.table + " " + row.local + " -> " + row.remote + "\n";
    }
  }
  return clean;
}

// ---------------------------------------------------------------------------

struct OlaClientThread::Impl {
  std::mutex mutex;
  std::condition_variable changed;
  std::map<std::uint32_t, Frame> frames;
  std::map<std::uint32_t, std::uint64_t> counts;
  std::vector<std::pair<std::uint32_t, ola::DmxBuffer>> outbox;
  ola::io::SelectServer ss;
  ola::client::OlaClient* client = nullptr;  // loop thread only
  int fd = -1;
  bool ready = false;
  bool failed = false;
  bool closed = false;

  void Received(const ola::client::DMXMetadata& meta, const ola::DmxBuffer& data) {
    std::lock_guard lock(mutex);
    Frame& f = frames[meta.universe];
    f.fill(0);
    unsigned length = static_cast<unsigned>(f.size());
    data.Get(f.data(), &length);
    ++counts[meta.universe];
    changed.notify_all();
  }
  void Flush() {
    std::vector<std::pair<std::uint32_t, ola::DmxBuffer>> sends;
    {
      std::lock_guard lock(mutex);
      sends.swap(outbox);
    }
    if (client == nullptr) return;
    for (const auto& [universe, buffer] : sends)
      client->SendDMX(universe, buffer, ola::client::SendDMXArgs());
  }
  void Closed() {
    {
      std::lock_guard lock(mutex);
      closed = true;
    }
    ss.Terminate();
  }
  // Closing through the socket lets the client library free its close
  // handler; the timeout ends the loop should the close go unnoticed.
  void End() {
    if (fd < 0) return;  // the loop is over (or never ran)
    shutdown(fd, SHUT_RDWR);
    ss.RegisterSingleTimeout(2000, ola::NewSingleCallback(this, &Impl::Terminate));
  }
  void Terminate() { ss.Terminate(); }
};

OlaClientThread::~OlaClientThread() { Stop(); }

bool OlaClientThread::Start(const std::vector<std::uint32_t>& watch, std::string& error) {
  impl_ = std::make_shared<Impl>();
  thread_ = std::thread([impl = impl_, port = port_, watch] {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    std::unique_ptr<ola::network::TCPSocket> socket(ola::network::TCPSocket::Connect(
        ola::network::IPV4SocketAddress(ola::network::IPV4Address::Loopback(), port)));
    std::unique_ptr<ola::client::OlaClient> client;
    if (socket) {
      socket->SetNoDelay();
      client = std::make_unique<ola::client::OlaClient>(socket.get());
      impl->ss.AddReadDescriptor(socket.get());
    }
    if (!client || !client->Setup()) {
      std::lock_guard lock(impl->mutex);
      impl->failed = true;
      impl->changed.notify_all();
      if (socket) impl->ss.RemoveReadDescriptor(socket.get());
      return;
    }
    client->SetCloseHandler(ola::NewSingleCallback(impl.get(), &Impl::Closed));
    client->SetDMXCallback(ola::NewCallback(impl.get(), &Impl::Received));
    for (std::uint32_t u : watch) client->RegisterUniverse(u, ola::client::REGISTER, nullptr);
    impl->client = client.get();
    impl->fd = ola::io::ToFD(socket->ReadDescriptor());
    {
      std::lock_guard lock(impl->mutex);
      impl->ready = true;
      impl->changed.notify_all();
    }
    impl->ss.Run();
    impl->fd = -1;
    impl->client = nullptr;
    impl->ss.RemoveReadDescriptor(socket.get());
    client->Stop();
  });
  std::unique_lock lock(impl_->mutex);
  if (!impl_->changed.wait_for(lock, 20s, [this] { return impl_->ready || impl_->failed; }) ||
      impl_->failed) {
    error = "no OLA client connection on port " + std::to_string(port_);
    lock.unlock();
    Stop();
    return false;
  }
  return true;
}

void OlaClientThread::Stop() {
  if (!impl_) return;
  impl_->ss.Execute(ola::NewSingleCallback(impl_.get(), &Impl::End));
  if (thread_.joinable()) thread_.join();
  impl_.reset();
}

bool OlaClientThread::WaitFor(std::uint32_t universe, const std::function<bool(const Frame&)>& test,
                              std::chrono::milliseconds timeout, Frame* last) {
  std::unique_lock lock(impl_->mutex);
  const bool ok = impl_->changed.wait_for(lock, timeout, [&] {
    auto it = impl_->frames.find(universe);
    return it != impl_->frames.end() && test(it->second);
  });
  if (last != nullptr) {
    auto it = impl_->frames.find(universe);
    if (it != impl_->frames.end())
      *last = it->second;
    else
      last->fill(0);
  }
  return ok;
}

bool OlaClientThread::WaitForValues(std::uint32_t universe,
                                    const std::map<std::int32_t, std::int32_t>& want,
                                    std::chrono::milliseconds timeout, Frame* last) {
  return WaitFor(
      universe,
      [&](const Frame& f) {
        for (const auto& [channel, value] : want)
          if (channel < 1 || channel > 512 || f[static_cast<std::size_t>(channel - 1)] != value)
            return false;
        return true;
      },
      timeout, last);
}

std::uint64_t OlaClientThread::FrameCount(std::uint32_t universe) {
  std::lock_guard lock(impl_->mutex);
  return impl_->counts[universe];
}

void OlaClientThread::Send(std::uint32_t universe, const Frame& frame, unsigned length) {
  {
    std::lock_guard lock(impl_->mutex);
    ola::DmxBuffer buffer;
    buffer.Set(frame.data(), std::min<unsigned>(length, static_cast<unsigned>(frame.size())));
    impl_->outbox.emplace_back(universe, buffer);
  }
  impl_->ss.Execute(ola::NewSingleCallback(impl_.get(), &Impl::Flush));
}

// ---------------------------------------------------------------------------

HostProcess::~HostProcess() { Terminate(5s); }

bool HostProcess::Start(const std::string& program, const std::vector<std::string>& args,
                        std::string& error) {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    error = "pipe failed";
    return false;
  }
  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), args.begin(), args.end());
  const pid_t pid = fork();
  if (pid < 0) {
    error = "fork failed";
    return false;
  }
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    ExecOrDie(argv);
  }
  close(out[1]);
  close(err[1]);
  pid_ = pid;
  readers_.emplace_back([this, fd = out[0]] { Reader(fd); });
  readers_.emplace_back([this, fd = err[0]] { Reader(fd); });
  return true;
}

void HostProcess::Reader(int fd) {
  std::string partial;
  char chunk[4096];
  while (true) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    partial.append(chunk, static_cast<std::size_t>(n));
    std::size_t at;
    while ((at = partial.find('\n')) != std::string::npos) {
      std::lock_guard lock(mutex_);
      lines_.push_back(partial.substr(0, at));
      partial.erase(0, at + 1);
      changed_.notify_all();
    }
  }
  std::lock_guard lock(mutex_);
  if (!partial.empty()) lines_.push_back(partial);
  changed_.notify_all();
  close(fd);
}

bool HostProcess::WaitForLine(const std::string& text, std::chrono::milliseconds timeout,
                              std::size_t from) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    for (std::size_t i = from; i < lines_.size(); ++i)
      if (lines_[i].find(text) != std::string::npos) return true;
    return false;
  });
}

std::size_t HostProcess::LineCount() {
  std::lock_guard lock(mutex_);
  return lines_.size();
}

std::string HostProcess::Output() {
  std::lock_guard lock(mutex_);
  std::string all;
  for (const std::string& l : lines_) all += l + "\n";
  return all;
}

bool HostProcess::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  return waitpid(pid_, &status, WNOHANG) == 0;
}

int HostProcess::Terminate(std::chrono::milliseconds grace) {
  if (pid_ > 0) kill(pid_, SIGTERM);
  return Wait(grace);
}

int HostProcess::Wait(std::chrono::milliseconds timeout) {
  int result = -1;
  if (pid_ > 0) {
    int status = 0;
    if (WaitExit(pid_, timeout, status)) {
      result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    } else {
      kill(pid_, SIGKILL);
      WaitExit(pid_, 15s, status);
    }
    pid_ = -1;
  }
  for (std::thread& t : readers_)
    if (t.joinable()) t.join();
  readers_.clear();
  return result;
}

bool OlaSetDmx(std::uint32_t universe, const std::vector<int>& values, std::string& error) {
  const std::string tool = Which("ola_set_dmx");
  if (tool.empty()) {
    error = "ola_set_dmx is not installed";
    return false;
  }
  std::string list;
  for (int v : values) list += (list.empty() ? "" : ",") + std::to_string(v);
  // Finding no olad, the OLA client library starts one from PATH, with the
  // user's own configuration and every network plug-in on. A PATH that leads
  // nowhere keeps it from doing so: the tool fails instead.
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, "PATH=", 5) != 0) environment.emplace_back(*e);
  environment.emplace_back("PATH=/nonexistent");
  const std::vector<std::string> argv = {tool, "-u", std::to_string(universe), "-d", list};
  std::vector<char*> args = Pointers(argv);
  std::vector<char*> envp = Pointers(environment);
  const pid_t pid = fork();
  if (pid < 0) {
    error = "fork failed";
    return false;
  }
  if (pid == 0) {
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  if (!WaitExit(pid, 30s, status)) {
    kill(pid, SIGKILL);
    WaitExit(pid, 5s, status);
    error = "ola_set_dmx hangs";
    return false;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    error = "ola_set_dmx failed";
    return false;
  }
  return true;
}

namespace {

// Serves the master's channels and keeps the writes.
class RecordingHost : public tb::HostChannels {
 public:
  std::map<std::int32_t, std::int32_t> channels;
  std::error_code ReadChannel(std::int32_t channel, std::int32_t& value) override {
    value = channels[channel];
    return {};
  }
  std::error_code WriteChannel(std::int32_t channel, std::int32_t value) override {
    channels[channel] = value;
    return {};
  }
};

// Every head of the rig a device, calibrated as the demo takes it over.
void PutRig(tb::RigStore& store, const tbhost::StageRig& rig) {
  for (std::size_t h = 0; h < rig.heads.size() && h < tb::kDeviceCount; ++h) {
    const tbhost::MovingHead& head = rig.heads[h];
    store.DeviceTable[h] = {head.name, head.panChannel, head.tiltChannel};
    for (tbhost::Mark mark : tbhost::kAllMarks) {
      const auto cal = tbhost::AimAt(head, rig.MarkAt(mark));
      store.PanCalibration[h][static_cast<int>(mark)] = cal ? cal->pan : tb::Uncalibrated;
      store.TiltCalibration[h][static_cast<int>(mark)] = cal ? cal->tilt : tb::Uncalibrated;
    }
  }
}

}  // namespace

std::string CalibratedSettings(const tbhost::StageRig& rig) {
  tb::RigStore store;
  PutRig(store, rig);
  for (std::int16_t d = 1; d <= tb::kDeviceCount; ++d) (void)store.IsDeviceCalibrated(d);
  return tb::ConfigFileBytes(store);
}

std::map<std::int32_t, std::int32_t> ExpectedFollow(const tbhost::StageRig& rig, std::size_t master,
                                                    tbhost::PanTilt aim) {
  tb::RigStore store;
  PutRig(store, rig);
  store.MasterDevice = static_cast<std::int16_t>(master + 1);
  auto host = std::make_unique<RecordingHost>();
  RecordingHost* recorder = host.get();
  const tbhost::MovingHead& m = rig.heads[master];
  recorder->channels[m.panChannel] = aim.pan;
  recorder->channels[m.tiltChannel] = aim.tilt;
  store.SetHostHelper(std::move(host));
  std::map<std::int32_t, std::int32_t> slaves;
  if (tb::FollowTick(store)) return slaves;
  for (std::size_t h = 0; h < rig.heads.size(); ++h) {
    if (h == master) continue;
    for (std::int32_t c : {rig.heads[h].panChannel, rig.heads[h].tiltChannel})
      slaves[c] = recorder->channels.count(c) != 0 ? recorder->channels[c] : -1;
  }
  return slaves;
}

}  // namespace olatest

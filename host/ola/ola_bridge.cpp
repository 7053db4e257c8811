#include "host/ola/ola_bridge.h"

#include <ola/Callback.h>
#include <ola/DmxBuffer.h>
#include <ola/client/ClientArgs.h>
#include <ola/client/ClientTypes.h>
#include <ola/client/OlaClient.h>
#include <ola/client/Result.h>
#include <ola/io/SelectServer.h>
#include <ola/network/IPV4Address.h>
#include <ola/network/SocketAddress.h>
#include <ola/network/TCPSocket.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <QLabel>
#include <QMetaObject>
#include <algorithm>

namespace tbhost {

std::vector<std::pair<std::int32_t, std::int32_t>> InputMerger::Take(
    std::span<const std::uint8_t> frame) {
  std::vector<std::pair<std::int32_t, std::int32_t>> changes;
  const std::size_t n = std::min(frame.size(), seen_.size());
  for (std::size_t i = 0; i < n; ++i) {
    const std::int16_t value = frame[i];
    if (seen_[i] == value) continue;
    seen_[i] = value;
    changes.emplace_back(static_cast<std::int32_t>(i + 1), value);
  }
  return changes;
}

OutputPacer::Decision OutputPacer::Due(Clock::time_point now, bool changed,
                                       std::optional<Clock::time_point> nextTick) const {
  if (!last_) return {true, {}};
  // A clock that went backwards counts as "just sent": never a burst.
  const Clock::duration since = std::max(now - *last_, Clock::duration::zero());
  const Clock::duration gap = changed ? Clock::duration(kFrame) : Clock::duration(kKeepAlive);
  Clock::duration wait = std::max(gap - since, Clock::duration::zero());
  // A tick kTickLate overdue is waited for no longer: follow mode may have
  // ended.
  if (changed && nextTick && now < *nextTick + kTickLate && now + wait + kFrame > *nextTick)
    wait = std::max(wait, *nextTick + kTickLate - now);
  if (wait == Clock::duration::zero()) return {true, {}};
  return {false, wait};
}

std::chrono::milliseconds ReconnectBackoff::Next() {
  const std::chrono::milliseconds pause = next_;
  next_ = std::min(next_ * 2, kMax);
  return pause;
}

// One connection to olad, living on the client thread for as long as the
// connection does.
class OlaSession {
 public:
  OlaSession(OlaBridge& bridge, ola::io::SelectServer& ss, ola::network::TCPSocket& socket)
      : bridge_(bridge), ss_(ss), socket_(socket), client_(&socket) {}

  ~OlaSession() {
    if (timer_ != ola::thread::INVALID_TIMEOUT) ss_.RemoveTimeout(timer_);
    if (hangupTimer_ != ola::thread::INVALID_TIMEOUT) ss_.RemoveTimeout(hangupTimer_);
    client_.Stop();
  }

  // Ends the connection once olad has answered every request, and the way
  // olad going away does: the client library frees a request's state and
  // its close handler only when the reply or the close reaches it. Should
  // olad not answer, the loop ends after a grace period all the same.
  void Hangup() {
    if (hangingUp_) return;
    hangingUp_ = true;
    if (timer_ != ola::thread::INVALID_TIMEOUT) ss_.RemoveTimeout(timer_);
    timer_ = ola::thread::INVALID_TIMEOUT;
    hangupTimer_ =
        ss_.RegisterSingleTimeout(2000, ola::NewSingleCallback(this, &OlaSession::HangupTimedOut));
    if (pending_ == 0) ShutDownSocket();
  }

  bool Start() {
    if (!client_.Setup()) return false;
    client_.SetCloseHandler(ola::NewSingleCallback(this, &OlaSession::Closed));
    if (bridge_.config_.inUniverse) {
      client_.SetDMXCallback(ola::NewCallback(this, &OlaSession::Received));
      ++pending_;
      client_.RegisterUniverse(*bridge_.config_.inUniverse, ola::client::REGISTER,
                               ola::NewSingleCallback(this, &OlaSession::Registered));
    }
    return true;
  }

  // Sends the universe if it is due, and arms the timer for the next time it
  // will be: a pending change, or the keep-alive.
  void Pump() {
    if (!bridge_.config_.outUniverse || hangingUp_) return;
    const auto now = OutputPacer::Clock::now();
    bool changed = false;
    std::optional<OutputPacer::Clock::time_point> nextTick;
    {
      std::lock_guard lock(bridge_.mutex_);
      changed = bridge_.outChanged_;
      if (!bridge_.tickFrame_) nextTick = bridge_.nextTick_;
    }
    OutputPacer::Decision due = pacer_.Due(now, changed, nextTick);
    if (due.sendNow) {
      {
        std::lock_guard lock(bridge_.mutex_);
        buffer_.Set(bridge_.outFrame_.data(), static_cast<unsigned>(bridge_.outFrame_.size()));
        bridge_.outChanged_ = false;
        bridge_.tickFrame_ = false;
      }
      ++pending_;
      client_.SendDMX(*bridge_.config_.outUniverse, buffer_,
                      ola::client::SendDMXArgs(ola::NewSingleCallback(this, &OlaSession::Sent)));
      pacer_.Sent(now);
      due = pacer_.Due(now, false);
    }
    if (timer_ != ola::thread::INVALID_TIMEOUT) ss_.RemoveTimeout(timer_);
    // Rounded up, so that the timer never fires a hair before it is due.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(due.wait).count();
    timer_ = ss_.RegisterSingleTimeout(static_cast<unsigned>(std::max<long long>(ms, 1)),
                                       ola::NewSingleCallback(this, &OlaSession::TimerFired));
  }

 private:
  void TimerFired() {
    timer_ = ola::thread::INVALID_TIMEOUT;
    Pump();
  }

  void Closed() { ss_.Terminate(); }
  void HangupTimedOut() {
    hangupTimer_ = ola::thread::INVALID_TIMEOUT;
    ShutDownSocket();
    ss_.Terminate();
  }
  void ShutDownSocket() { ::shutdown(ola::io::ToFD(socket_.ReadDescriptor()), SHUT_RDWR); }
  void Replied() {
    --pending_;
    if (hangingUp_ && pending_ == 0) ShutDownSocket();
  }

  void Registered(const ola::client::Result& result) {
    Replied();
    if (result.Success())
      Answered();
    else
      bridge_.Post(OlaBridge::State::Connected,
                   QString("OLA: connected, but universe %1 refused: %2")
                       .arg(*bridge_.config_.inUniverse)
                       .arg(QString::fromStdString(result.Error())));
  }

  void Sent(const ola::client::Result& result) {
    Replied();
    if (result.Success()) {
      Answered();
    } else if (!sendFailed_) {
      sendFailed_ = true;
      bridge_.Post(OlaBridge::State::Connected,
                   QString("OLA: connected, but sending to universe %1 fails: %2")
                       .arg(*bridge_.config_.outUniverse)
                       .arg(QString::fromStdString(result.Error())));
    }
  }

  // The first reply proves that olad (not just anything on its port) is there.
  void Answered() {
    if (answered_) return;
    answered_ = true;
    bridge_.Post(OlaBridge::State::Connected,
                 "OLA: connected (" + DescribeOlaConfig(bridge_.config_) + ")");
  }

  void Received(const ola::client::DMXMetadata& meta, const ola::DmxBuffer& data) {
    if (!bridge_.config_.inUniverse || meta.universe != *bridge_.config_.inUniverse) return;
    bool queue = false;
    {
      std::lock_guard lock(bridge_.mutex_);
      bridge_.inFrame_.resize(std::min<std::size_t>(data.Size(), Universe::kChannels));
      if (!bridge_.inFrame_.empty()) {
        unsigned length = static_cast<unsigned>(bridge_.inFrame_.size());
        data.Get(bridge_.inFrame_.data(), &length);
        bridge_.inFrame_.resize(length);
      }
      // Frames that arrive faster than the GUI takes them are folded: only
      // the latest one matters.
      queue = !bridge_.inQueued_;
      bridge_.inQueued_ = true;
    }
    if (queue)
      QMetaObject::invokeMethod(
          &bridge_, [b = &bridge_] { b->ApplyInput(); }, Qt::QueuedConnection);
  }

  OlaBridge& bridge_;
  ola::io::SelectServer& ss_;
  ola::network::TCPSocket& socket_;
  ola::client::OlaClient client_;
  ola::DmxBuffer buffer_;
  OutputPacer pacer_;
  ola::thread::timeout_id timer_ = ola::thread::INVALID_TIMEOUT;
  ola::thread::timeout_id hangupTimer_ = ola::thread::INVALID_TIMEOUT;
  int pending_ = 0;  // requests olad has not answered yet
  bool hangingUp_ = false;
  bool answered_ = false;
  bool sendFailed_ = false;
};

OlaBridge::OlaBridge(Universe& universe, OlaBridgeConfig config, QObject* parent)
    : QObject(parent),
      universe_(universe),
      config_(config),
      alive_(std::make_shared<std::atomic<bool>>(true)) {
  for (std::int32_t c = 1; c <= Universe::kChannels; ++c)
    outFrame_[static_cast<std::size_t>(c - 1)] = static_cast<std::uint8_t>(universe.At(c));
  // The universe keeps its listeners for its whole life, which may be
  // longer than the bridge's.
  universe_.AddListener([this, alive = alive_](std::int32_t channel, std::int32_t value) {
    if (alive->load()) OnUniverseWrite(channel, value);
  });
}

OlaBridge::~OlaBridge() {
  Stop();
  alive_->store(false);
}

void OlaBridge::Start() {
  if (thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = false;
  }
  SetState(State::Connecting, QString("OLA: connecting to olad on port %1").arg(config_.port));
  thread_ = std::thread([this] { Run(); });
}

void OlaBridge::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    // Queued rather than Terminate(): the loop may not have entered Run()
    // yet, and a queued call is run as soon as it does.
    if (live_ != nullptr) live_->Execute(ola::NewSingleCallback(this, &OlaBridge::EndLoop));
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (state_ != State::Stopped) SetState(State::Stopped, "OLA: stopped");
}

void OlaBridge::OnUniverseWrite(std::int32_t channel, std::int32_t value) {
  if (!Universe::ValidChannel(channel) || !Universe::ValidValue(value)) return;
  std::lock_guard lock(mutex_);
  std::uint8_t& slot = outFrame_[static_cast<std::size_t>(channel - 1)];
  if (slot == value) return;
  slot = static_cast<std::uint8_t>(value);
  outChanged_ = true;
  // The client thread is woken once the current event is handled: a follow
  // tick writes all its slaves in one go, and they should leave in one frame
  // rather than the first write alone now and the rest a frame later.
  if (!flushQueued_) {
    flushQueued_ = true;
    QMetaObject::invokeMethod(this, &OlaBridge::WakeOutput, Qt::QueuedConnection);
  }
}

void OlaBridge::WakeOutput() {
  flushQueued_ = false;
  std::lock_guard lock(mutex_);
  WakeClientThread();
}

void OlaBridge::WakeClientThread() {
  if (live_ != nullptr && !outWakeQueued_) {
    outWakeQueued_ = true;
    live_->Execute(ola::NewSingleCallback(this, &OlaBridge::OutputWake));
  }
}

void OlaBridge::FollowTicked(std::chrono::milliseconds period) {
  {
    std::lock_guard lock(mutex_);
    nextTick_ = std::chrono::steady_clock::now() + period;
  }
  // Queued before the tick writes anything, so it runs before their
  // WakeOutput: the frame goes out as the tick's.
  if (!tickQueued_) {
    tickQueued_ = true;
    QMetaObject::invokeMethod(this, &OlaBridge::TickRan, Qt::QueuedConnection);
  }
}

void OlaBridge::TickRan() {
  tickQueued_ = false;
  std::lock_guard lock(mutex_);
  if (!outChanged_) return;
  tickFrame_ = true;
  WakeClientThread();
}

void OlaBridge::ApplyInput() {
  std::vector<std::uint8_t> frame;
  {
    std::lock_guard lock(mutex_);
    frame.swap(inFrame_);
    inQueued_ = false;
  }
  for (const auto& [channel, value] : merger_.Take(frame)) universe_.Set(channel, value);
}

void OlaBridge::SetState(State state, const QString& text) {
  // A new connection knows nothing of OLA's values yet.
  if (state == State::Connecting || state == State::Lost || state == State::Unreachable)
    merger_.Forget();
  if (state == state_ && text == status_) return;
  state_ = state;
  status_ = text;
  emit stateChanged(state, text);
}

void OlaBridge::Post(State state, const QString& text) {
  QMetaObject::invokeMethod(
      this, [this, state, text] { SetState(state, text); }, Qt::QueuedConnection);
}

bool OlaBridge::WaitBeforeRetry(std::chrono::milliseconds pause) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, pause, [this] { return stopping_; });
  return !stopping_;
}

void OlaBridge::OutputWake() {
  {
    std::lock_guard lock(mutex_);
    outWakeQueued_ = false;
  }
  if (session_ != nullptr) session_->Pump();
}

void OlaBridge::EndLoop() {
  if (session_ != nullptr)
    session_->Hangup();
  else if (loop_ != nullptr)
    loop_->Terminate();
}

void OlaBridge::Run() {
  // A write to a socket olad has just closed must fail with EPIPE rather
  // than end the whole host. Blocking the signal in this thread, the only one
  // that writes to olad, leaves the rest of the process as it was.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

  const ola::network::IPV4SocketAddress address(ola::network::IPV4Address::Loopback(),
                                                config_.port);
  ReconnectBackoff backoff;
  bool lost = false;
  while (true) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) break;
    }
    bool connected = false;
    {
      ola::io::SelectServer ss;
      std::unique_ptr<ola::network::TCPSocket> socket(ola::network::TCPSocket::Connect(address));
      if (socket) {
        socket->SetNoDelay();
        ss.AddReadDescriptor(socket.get());
        {
          OlaSession session(*this, ss, *socket);
          if (session.Start()) {
            connected = true;
            backoff.Reset();
            bool run = false;
            {
              std::lock_guard lock(mutex_);
              if (!stopping_) {
                live_ = &ss;
                loop_ = &ss;
                session_ = &session;
                outChanged_ = true;  // the whole universe goes out first
                run = true;
              }
            }
            if (run) {
              session.Pump();
              ss.Run();
            }
            std::lock_guard lock(mutex_);
            live_ = nullptr;
            loop_ = nullptr;
            session_ = nullptr;
            outWakeQueued_ = false;
          }
        }
        ss.RemoveReadDescriptor(socket.get());
        socket->Close();
      }
    }
    lost = lost || connected;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) break;
    }
    const std::chrono::milliseconds pause = backoff.Next();
    const QString retry = QString::number(static_cast<double>(pause.count()) / 1000.0, 'g', 3);
    if (connected)
      Post(State::Lost, QString("OLA: connection to olad lost, reconnecting in %1 s").arg(retry));
    else
      Post(lost ? State::Lost : State::Unreachable,
           QString("OLA: olad not reachable on port %1, retrying in %2 s")
               .arg(config_.port)
               .arg(retry));
    if (!WaitBeforeRetry(pause)) break;
  }
}

QString DescribeOlaConfig(const OlaBridgeConfig& config) {
  QStringList parts;
  if (config.inUniverse) parts << QString("in %1").arg(*config.inUniverse);
  if (config.outUniverse) parts << QString("out %1").arg(*config.outUniverse);
  parts << QString("olad on port %1").arg(config.port);
  return parts.join(", ");
}

QLabel* MakeOlaStatusLabel(OlaBridge& bridge, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName("olaStatus");
  auto show = [label](OlaBridge::State state, const QString& text) {
    const char* colour = "#b00020";  // unreachable, lost
    if (state == OlaBridge::State::Connected) colour = "#1b7f2a";
    if (state == OlaBridge::State::Connecting || state == OlaBridge::State::Stopped)
      colour = "#8a6d00";
    label->setStyleSheet(QString("QLabel { color: %1; font-weight: bold; }").arg(colour));
    label->setText(text);
  };
  show(bridge.CurrentState(), bridge.StatusText());
  QObject::connect(&bridge, &OlaBridge::stateChanged, label, show);
  return label;
}

}  // namespace tbhost

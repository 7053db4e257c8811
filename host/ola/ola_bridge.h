// The reference host on real DMX: a bridge between the host's universe and
// the Open Lighting Architecture daemon (olad). Channel values of one OLA
// universe come in (a console plays the master through it), the host's
// universe goes out on another (the slaves reach the fixtures through
// whatever olad has patched there: Art-Net, sACN, a USB interface).
//
// The OLA client runs in a thread of its own with its own event loop, so that
// a missing, slow or vanishing olad never blocks the GUI thread. Values cross
// to the GUI thread as queued calls; the universe is only ever touched there.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "host/sim/universe.h"

class QLabel;
class QWidget;

namespace ola::io {
class SelectServer;
}

namespace tbhost {

inline constexpr std::uint16_t kOlaDefaultPort = 9010;

struct OlaBridgeConfig {
  std::optional<std::uint32_t> inUniverse;   // OLA universe the host listens to
  std::optional<std::uint32_t> outUniverse;  // OLA universe the host sends to
  std::uint16_t port = kOlaDefaultPort;      // olad's RPC port on 127.0.0.1
};

// Incoming frames against the host's own faders: the latest change wins,
// channel by channel. A channel is taken from OLA when its OLA value differs
// from the one OLA delivered before, so a console that holds still leaves the
// operator's faders alone. After (re)connecting nothing is known of OLA's
// values yet, and the whole first frame is taken: it is the console's state.
class InputMerger {
 public:
  // The channels (1-based) whose value changed, with the new value. Bytes
  // beyond 512 are ignored.
  std::vector<std::pair<std::int32_t, std::int32_t>> Take(std::span<const std::uint8_t> frame);
  void Forget() { seen_.fill(kUnknown); }

 private:
  static constexpr std::int16_t kUnknown = -1;
  std::array<std::int16_t, Universe::kChannels> seen_ = MakeUnknown();
  static std::array<std::int16_t, Universe::kChannels> MakeUnknown() {
    std::array<std::int16_t, Universe::kChannels> a{};
    a.fill(kUnknown);
    return a;
  }
};

// When the outgoing universe is due: at once after a change, but no sooner
// than one DMX frame (22.7 ms at the full 44 Hz refresh, rounded up) after
// the previous send, and at least once a second even without a change, so
// that receivers which time a source out keep the fixtures where they are.
//
// While the plug-in follows, a change made between two of its ticks (the
// console's values passing through) must not take the frame just before
// the next tick: the tick's slaves would then wait up to a frame. Given
// `nextTick`, such a change goes at once only if the frame is free again
// by then; otherwise it leaves with the tick's frame, or kTickLate after
// the tick was due should none come.
class OutputPacer {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kFrame{23};
  static constexpr std::chrono::milliseconds kKeepAlive{1000};
  static constexpr std::chrono::milliseconds kTickLate{23};

  struct Decision {
    bool sendNow = false;
    Clock::duration wait{};  // when not now: how long until it is due
  };
  Decision Due(Clock::time_point now, bool changed,
               std::optional<Clock::time_point> nextTick = std::nullopt) const;
  void Sent(Clock::time_point now) { last_ = now; }
  // After reconnecting, the first send goes out at once.
  void Reset() { last_.reset(); }

 private:
  std::optional<Clock::time_point> last_;
};

// Pause before the next connection attempt: short at first so that a
// restarted olad is found quickly, growing so that an absent one costs
// nothing, capped so that it is found within a few seconds once it is back.
class ReconnectBackoff {
 public:
  static constexpr std::chrono::milliseconds kFirst{250};
  static constexpr std::chrono::milliseconds kMax{4000};
  std::chrono::milliseconds Next();
  void Reset() { next_ = kFirst; }

 private:
  std::chrono::milliseconds next_ = kFirst;
};

class OlaBridge : public QObject {
  Q_OBJECT

 public:
  enum class State { Stopped, Connecting, Connected, Unreachable, Lost };
  Q_ENUM(State)

  // Listens to `universe` from now on; Start() begins connecting.
  OlaBridge(Universe& universe, OlaBridgeConfig config, QObject* parent = nullptr);
  ~OlaBridge() override;
  OlaBridge(const OlaBridge&) = delete;
  OlaBridge& operator=(const OlaBridge&) = delete;

  void Start();
  // Ends the client thread; waits for it, which takes at most one loop turn.
  void Stop();

  // A follow tick begins now (GUI thread) and the next is due one `period`
  // later. What the tick writes, and whatever came in since the last frame,
  // leaves in one frame as soon as the tick has run.
  void FollowTicked(std::chrono::milliseconds period);

  State CurrentState() const { return state_; }
  QString StatusText() const { return status_; }
  const OlaBridgeConfig& Config() const { return config_; }

 signals:
  // Always on the GUI thread. `text` is the operator's one-line summary.
  void stateChanged(tbhost::OlaBridge::State state, const QString& text);

 private:
  // GUI thread.
  void OnUniverseWrite(std::int32_t channel, std::int32_t value);
  void ApplyInput();
  void SetState(State state, const QString& text);
  void WakeOutput();
  void TickRan();
  void WakeClientThread();  // with mutex_ held

  // Client thread.
  void Run();
  void Post(State state, const QString& text);
  bool WaitBeforeRetry(std::chrono::milliseconds pause);
  void OutputWake();  // queued into the loop by OnUniverseWrite
  void EndLoop();     // queued into the loop by Stop

  Universe& universe_;
  const OlaBridgeConfig config_;
  InputMerger merger_;  // GUI thread only
  State state_ = State::Stopped;
  QString status_;
  bool flushQueued_ = false;  // a WakeOutput is on its way
  bool tickQueued_ = false;   // a TickRan is on its way

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  ola::io::SelectServer* live_ = nullptr;  // the client thread's loop while connected
  ola::io::SelectServer* loop_ = nullptr;  // the same, for the client thread alone
  class OlaSession* session_ = nullptr;    // client thread only
  std::array<std::uint8_t, Universe::kChannels> outFrame_{};
  bool outChanged_ = true;
  bool outWakeQueued_ = false;
  bool tickFrame_ = false;  // what is pending is a follow tick's frame
  std::optional<std::chrono::steady_clock::time_point> nextTick_;
  std::vector<std::uint8_t> inFrame_;  // latest incoming frame not yet applied
  bool inQueued_ = false;
  std::shared_ptr<std::atomic<bool>> alive_;  // guards listener calls after destruction
  std::thread thread_;

  friend class OlaSession;
};

// The window's indicator: "OLA: ..." in the status bar, coloured by state.
// objectName "olaStatus".
QLabel* MakeOlaStatusLabel(OlaBridge& bridge, QWidget* parent);

// The options' part of the start message, e.g. "in 1, out 2, olad on port 9010".
QString DescribeOlaConfig(const OlaBridgeConfig& config);

}  // namespace tbhost

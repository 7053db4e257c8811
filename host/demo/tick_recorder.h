// The follow ticks as the host sees them: a tick reads the master's pan,
// then its tilt (then its fine channels), then writes the slaves, so the
// next pan read closes the previous tick. Each closed tick keeps the master's reading and where
// every head stood after the tick's writes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/session/channel_helper.h"
#include "host/sim/follow_stats.h"
#include "host/sim/universe.h"

namespace tbhost {

class TickRecorder {
 public:
  // `masterCalibration` (by Mark) places each tick in its zone; `counts`
  // tells how many writes a tick made. All references must outlive the
  // recorder.
  TickRecorder(const StageRig& rig, std::size_t master,
               const std::array<PanTilt, 5>& masterCalibration, const Universe& universe,
               const HostCallCounts& counts, std::vector<TickSample>& into);

  // Every successful ReadChannel of the plug-in, in order.
  void OnRead(std::int32_t channel, std::int32_t value);
  // Closes the tick still open after follow mode stopped.
  void Finish() { CloseTick(); }

 private:
  void CloseTick();

  const StageRig& rig_;
  const MovingHead& master_;
  const std::array<PanTilt, 5>& masterCalibration_;
  const Universe& universe_;
  const HostCallCounts& counts_;
  std::int64_t writesBefore_ = 0;
  std::vector<TickSample>& samples_;
  TickSample current_;
  bool pending_ = false;
};

}  // namespace tbhost

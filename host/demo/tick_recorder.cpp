#include "host/demo/tick_recorder.h"

#include "host/sim/head_channels.h"

namespace tbhost {

TickRecorder::TickRecorder(const StageRig& rig, std::size_t master,
                           const std::array<PanTilt, 5>& masterCalibration,
                           const Universe& universe, const HostCallCounts& counts,
                           std::vector<TickSample>& into)
    : rig_(rig),
      master_(rig.heads.at(master)),
      masterCalibration_(masterCalibration),
      universe_(universe),
      counts_(counts),
      samples_(into) {}

void TickRecorder::OnRead(std::int32_t channel, std::int32_t value) {
  if (channel == master_.panChannel) {
    CloseTick();
    current_ = {};
    current_.master = {value, -1};
    writesBefore_ = counts_.writes;
    pending_ = true;
  } else if (channel == master_.tiltChannel && pending_) {
    current_.master.tilt = value;
  } else if (channel == master_.panFineChannel && pending_) {
    current_.master.pan = current_.master.pan * 256 + value;
  } else if (channel == master_.tiltFineChannel && pending_ && current_.master.tilt >= 0) {
    current_.master.tilt = current_.master.tilt * 256 + value;
  }
}

void TickRecorder::CloseTick() {
  if (!pending_) return;
  pending_ = false;
  current_.writes = static_cast<int>(counts_.writes - writesBefore_);
  current_.zone = ZoneOf(current_.master, masterCalibration_, master_.panFineChannel ? 256 : 1,
                         master_.tiltFineChannel ? 256 : 1);
  current_.heads.clear();
  for (const MovingHead& head : rig_.heads) current_.heads.push_back(AimOf(universe_, head));
  samples_.push_back(current_);
}

}  // namespace tbhost

#include "host/sim/head_channels.h"

namespace tbhost {
namespace {

int AxisValue(const Universe& universe, int channel, int fineChannel) {
  if (!Universe::ValidChannel(channel)) return 0;
  const int coarse = universe.At(channel);
  if (fineChannel == 0) return coarse;
  return coarse * 256 + (Universe::ValidChannel(fineChannel) ? universe.At(fineChannel) : 0);
}

}  // namespace

PanTilt AimOf(const Universe& universe, const MovingHead& head) {
  return {AxisValue(universe, head.panChannel, head.panFineChannel),
          AxisValue(universe, head.tiltChannel, head.tiltFineChannel)};
}

bool SetAxis(Universe& universe, const MovingHead& head, bool pan, int value) {
  const int channel = pan ? head.panChannel : head.tiltChannel;
  const int fine = pan ? head.panFineChannel : head.tiltFineChannel;
  const int top = pan ? PanTop(head) : TiltTop(head);
  if (value < 0 || value > top) return false;
  if (fine == 0) return universe.Set(channel, value);
  return universe.Set(channel, value / 256) && universe.Set(fine, value % 256);
}

bool SetAim(Universe& universe, const MovingHead& head, PanTilt aim) {
  const bool pan = SetAxis(universe, head, true, aim.pan);
  const bool tilt = SetAxis(universe, head, false, aim.tilt);
  return pan && tilt;
}

bool IsHeadChannel(const MovingHead& head, int channel) {
  return channel != 0 && (channel == head.panChannel || channel == head.tiltChannel ||
                          channel == head.panFineChannel || channel == head.tiltFineChannel);
}

}  // namespace tbhost

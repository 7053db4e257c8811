#include "follow/resolution.h"

#include <algorithm>
#include <limits>

namespace tb {

AxisScale ScaleOf(std::int32_t fineChannel) {
  if (fineChannel == 0) return {};
  return {kWideTop, kFineSteps};
}

std::int32_t Join16(std::int32_t coarse, std::int32_t fine) {
  const std::int64_t wide = std::int64_t{coarse} * kFineSteps + std::clamp(fine, 0, kFineSteps - 1);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      wide, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int32_t Coarse16(std::int32_t value) {
  // Floor division: -1 is coarse -1, fine 255.
  return value >= 0 ? value / kFineSteps : -((-(value + 1)) / kFineSteps) - 1;
}

std::int32_t Fine16(std::int32_t value) {
  return static_cast<std::int32_t>(std::int64_t{value} -
                                   std::int64_t{Coarse16(value)} * kFineSteps);
}

OwnCalibration CalibrationOf(const RigStore& store, int device) {
  OwnCalibration own;
  const DeviceRecord* record = store.Device(device);
  if (record == nullptr) return own;
  own.panScale = ScaleOf(record->PanFineChannel);
  own.tiltScale = ScaleOf(record->TiltFineChannel);
  const int d = device - 1;
  for (int p = 0; p < kPointCount; ++p) {
    own.pan[p] = own.panScale.fine()
                     ? Join16(store.PanCalibration[d][p], store.PanFineCalibration[d][p])
                     : store.PanCalibration[d][p];
    own.tilt[p] = own.tiltScale.fine()
                      ? Join16(store.TiltCalibration[d][p], store.TiltFineCalibration[d][p])
                      : store.TiltCalibration[d][p];
  }
  return own;
}

}  // namespace tb

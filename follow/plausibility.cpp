// The check run before follow mode is switched: on each axis KM must lie
// strictly between the two corners that zone classification divides by.
#include <cstdint>
#include <string>

#include "follow/follow.h"
#include "rig/settings_file.h"

namespace tb {

namespace {

// The reason number when KM does not lie strictly between the corners,
// 0 when it does. Equal corners leave no room and fail with the second.
std::int16_t AxisTest(std::int32_t first, std::int32_t second, std::int32_t centre,
                      std::int16_t reasonAscending, std::int16_t reasonOther) {
  if (first < second) return first < centre && centre < second ? 0 : reasonAscending;
  return second < centre && centre < first ? 0 : reasonOther;
}

}  // namespace

PlausibilityResult TestCalibrationPlausibility(RigStore& store) {
  PlausibilityResult result;
  for (std::int16_t d = 1; d <= kDeviceCount; ++d) {
    if (!store.IsDeviceCalibrated(d).value) continue;
    const auto& pan = store.PanCalibration[d - 1];
    const auto& tilt = store.TiltCalibration[d - 1];
    const std::int16_t reasons[] = {
        AxisTest(pan[0], pan[2], pan[kPointKM - 1], 1, 2),
        AxisTest(tilt[0], tilt[1], tilt[kPointKM - 1], 3, 4),
    };
    for (std::int16_t reason : reasons) {
      if (reason == 0) continue;
      result.passed = false;
      result.PlausibilityReason = reason;
      result.device = d;
    }
  }
  return result;
}

std::string PlausibilityMessage(std::int16_t device, std::int16_t reason) {
  return "Check Values for device " + std::to_string(device) +
         ":  Plausibility check failed, reason: " + std::to_string(reason);
}

std::error_code CheckCalibrationPlausibility(RigStore& store, const std::string& settingsPath,
                                             MessageSink& messages) {
  const PlausibilityResult result = TestCalibrationPlausibility(store);
  if (!result.passed) {
    messages.Show(PlausibilityMessage(result.device, result.PlausibilityReason));
    return {};
  }
  return save_config(store, settingsPath);
}

}  // namespace tb

// Enable TB and Stop TB save the calibration when it is good for the method
// chosen. The plausibility check asks for heads in front of the stage; the
// other two methods exist for rigs that fail it, so they ask only what they
// need themselves.
#include "follow/calibration_checks.h"
#include "follow/follow_methods.h"
#include "rig/settings_file.h"

namespace tb {

namespace {

std::error_code CheckDistance(RigStore& store, const std::string& settingsPath,
                              MessageSink& messages) {
  const std::vector<std::int16_t> devices = CheckDistanceTriangles(store);
  for (std::int16_t d : devices) messages.Show(DistanceFindingMessage(d));
  if (!devices.empty()) return {};
  return save_config(store, settingsPath);
}

std::error_code CheckTrigonometric(RigStore& store, const std::string& settingsPath,
                                   MessageSink& messages) {
  const std::vector<RangeFinding> findings = CheckFollowRanges(store);
  for (const RangeFinding& finding : findings) messages.Show(RangeFindingMessage(finding));
  if (!FollowsTrigonometrically(findings)) return {};
  return save_config(store, settingsPath);
}

}  // namespace

std::error_code CheckCalibrationForMethod(RigStore& store, const std::string& settingsPath,
                                          MessageSink& messages) {
  switch (store.FollowMethod) {
    case kFollowDistance:
      return CheckDistance(store, settingsPath, messages);
    case kFollowTrigonometric:
      return CheckTrigonometric(store, settingsPath, messages);
    default:
      return CheckCalibrationPlausibility(store, settingsPath, messages);
  }
}

}  // namespace tb

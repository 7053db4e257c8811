// What Enable TB and Stop TB check before they switch: the calibration, as
// the method chosen needs it, and the channels every followed head uses.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "follow/follow.h"
#include "rig/rig_store.h"

namespace tb {

// Every calibrated device, in order, whose KM does not lie inside its four
// corners in its own (pan, tilt) plane: one of the triangles (KM, K1, K2),
// (KM, K2, K4), (KM, K4, K3), (KM, K3, K1) is flat, or they do not all turn
// the same way (folded). The distance step cannot place a reading there.
// Refreshes DeviceCalibrated.
std::vector<std::int16_t> CheckDistanceTriangles(RigStore& store);

std::string DistanceFindingMessage(std::int16_t device);

// The check of the method chosen, which saves the settings file when it
// passes and otherwise shows what fails, one message each: linear, the
// plausibility check as it always was; distance, CheckDistanceTriangles;
// trigonometric, the range check, whose range messages are warnings (the
// file is saved all the same) while a device without a map stops the save.
// Returns the save's error, if the save failed.
std::error_code CheckCalibrationForMethod(RigStore& store, const std::string& settingsPath,
                                          MessageSink& messages);

// What is wrong with the channels of the calibrated devices: a pan or tilt
// channel below 1, a fine channel set below 1, a channel two of them share
// (or one uses twice). Empty when nothing is; otherwise one message naming
// all of it. Refreshes DeviceCalibrated.
std::string CheckFollowChannels(RigStore& store);

}  // namespace tb

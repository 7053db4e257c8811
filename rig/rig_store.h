// The rig store: the plug-in's one body of shared data (devices,
// calibration, run state, the host's helper). One store per loaded
// component; the windows, the follow engine and the settings file work on
// it directly. Devices are numbered 1 to 16 and calibration points 1 to 5
// (K1..K4, KM); 0 means "no device".
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "rig/errors.h"
#include "rig/host_channels.h"

namespace tb {

// 16-bit booleans as the host boundary has them: true -1, false 0, any
// non-zero value reads as true.
using VBool = std::int16_t;
inline constexpr VBool VTrue = -1;
inline constexpr VBool VFalse = 0;

inline constexpr int kDeviceCount = 16;
// The devices every reader of TrailBeam.ini knows, in its 25 lines; the
// rest are stored after them.
inline constexpr int kDescribedDevices = 4;
inline constexpr int kPointCount = 5;
inline constexpr int kPointKM = 5;
inline constexpr std::int32_t Uncalibrated = -1;

// A head's pan and tilt range in whole degrees: what its DMX 0..255 spans.
// Only the trigonometric follow method uses them.
inline constexpr std::int32_t kDefaultPanRange = 540;
inline constexpr std::int32_t kDefaultTiltRange = 270;
inline constexpr std::int32_t kMinRange = 1;
inline constexpr std::int32_t kMaxRange = 1080;

struct DeviceRecord {
  std::string Name;  // UTF-8; empty marks an unused slot
  std::int32_t PanChannel = 0;
  std::int32_t TiltChannel = 0;
  std::int32_t PanRange = kDefaultPanRange;
  std::int32_t TiltRange = kDefaultTiltRange;
  // Channels of the 16-bit fine bytes; 0: the axis has none.
  std::int32_t PanFineChannel = 0;
  std::int32_t TiltFineChannel = 0;
};

// Whether the device has a fine channel on either axis. Such a device
// stores the fine values of its points and is saved with both fine fields.
inline bool HasFineChannels(const DeviceRecord& device) {
  return device.PanFineChannel != 0 || device.TiltFineChannel != 0;
}

// The follow methods of the main window's option buttons.
inline constexpr std::int16_t kFollowLinear = 1;
inline constexpr std::int16_t kFollowDistance = 2;
inline constexpr std::int16_t kFollowTrigonometric = 3;

// How often a second the follow timer ticks. Only these rates are offered:
// each gives a whole number of milliseconds between ticks.
inline constexpr std::int32_t kDefaultFollowRate = 10;
inline constexpr std::array<std::int32_t, 4> kFollowRates = {10, 20, 25, 40};

inline bool IsFollowRate(std::int32_t rate) {
  for (std::int32_t offered : kFollowRates)
    if (rate == offered) return true;
  return false;
}

// The timer's interval for a rate; any other value ticks at the default.
inline int FollowIntervalMs(std::int32_t rate) {
  return 1000 / (IsFollowRate(rate) ? rate : kDefaultFollowRate);
}

// A result or an error, for the few operations that have both.
template <class T>
struct Checked {
  T value{};
  std::error_code error;
  explicit operator bool() const { return !error; }
};

class RigStore {
 public:
  // Devices 1 to 4 start with every value 0 (and so count as calibrated),
  // as they always have; the later ones start Uncalibrated, so that a
  // slot nobody filled in is never followed.
  RigStore();
  RigStore(const RigStore&) = delete;
  RigStore& operator=(const RigStore&) = delete;

  static bool ValidDevice(int device) { return device >= 1 && device <= kDeviceCount; }
  static bool ValidPoint(int point) { return point >= 1 && point <= kPointCount; }

  // Checked access by device 1..16 and point 1..5: null when out of range.
  DeviceRecord* Device(int device);
  const DeviceRecord* Device(int device) const;
  std::int32_t* Pan(int device, int point);
  const std::int32_t* Pan(int device, int point) const;
  std::int32_t* Tilt(int device, int point);
  const std::int32_t* Tilt(int device, int point) const;
  std::int32_t* PanFine(int device, int point);
  const std::int32_t* PanFine(int device, int point) const;
  std::int32_t* TiltFine(int device, int point);
  const std::int32_t* TiltFine(int device, int point) const;
  VBool* Calibrated(int device);
  const VBool* Calibrated(int device) const;

  // FollowMethod 1, SelectedDevice 0; nothing else changes.
  void InitRunState();

  // Whether every point of the device has a pan and a tilt value; records
  // the answer in DeviceCalibrated. Below 1: false, nothing recorded.
  // Above 16: Errc::out_of_range, nothing changed.
  Checked<VBool> IsDeviceCalibrated(std::int16_t device);

  // Sets every point Uncalibrated, every fine value 0 and every
  // DeviceCalibrated flag false.
  void ResetCalibration();

  // Replaces the host helper; the previous one is released.
  void SetHostHelper(std::unique_ptr<HostChannels> helper) { HostHelper = std::move(helper); }

  // Index 0 is device 1 / point 1; prefer the checked accessors above.
  std::array<DeviceRecord, kDeviceCount> DeviceTable{};
  std::array<std::array<std::int32_t, kPointCount>, kDeviceCount> PanCalibration{};
  std::array<std::array<std::int32_t, kPointCount>, kDeviceCount> TiltCalibration{};
  // The fine bytes taken with each point's pan and tilt; 0 where the
  // device has no fine channel. A point is calibrated by its coarse values
  // alone.
  std::array<std::array<std::int32_t, kPointCount>, kDeviceCount> PanFineCalibration{};
  std::array<std::array<std::int32_t, kPointCount>, kDeviceCount> TiltFineCalibration{};
  std::array<VBool, kDeviceCount> DeviceCalibrated{};
  std::int16_t SelectedDevice = 0;
  std::int16_t MasterDevice = 0;
  std::int16_t FollowMethod = 0;  // kFollowLinear, kFollowDistance, kFollowTrigonometric

  // The stage's lengths measured on the floor, in metres; 0: not given.
  // With K1-K3 the five marks make a metric stage and the trigonometric
  // method can follow at a height. Stored with the devices.
  double StageK1K3 = 0.0;
  double StageK1K2 = 0.0;
  // A channel whose value 0..255 sets the follow height in centimetres
  // while it is set; 0: none. Stored.
  std::int32_t HeightChannel = 0;
  // Follow ticks a second, one of kFollowRates. Stored; a follow already
  // running keeps its rate until it is enabled again.
  std::int32_t FollowRate = kDefaultFollowRate;
  // Run state, never stored: the height in metres above the floor at which
  // the trigonometric method follows (0: the floor).
  double FollowHeight = 0.0;
  std::unique_ptr<HostChannels> HostHelper;
};

// The component's one store, created on first use and kept until the
// module is unloaded.
RigStore& Rig();

}  // namespace tb

#include "rig/rig_store.h"

namespace tb {

namespace {

class CoreCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "trailbeam"; }
  std::string message(int code) const override {
    switch (static_cast<Errc>(code)) {
      case Errc::ok:
        return "no error";
      case Errc::out_of_range:
        return "Subscript out of range";
      case Errc::no_host_helper:
        return "the host has not handed over its helper object yet";
      case Errc::read_only_file:
        return "the file is write-protected";
      case Errc::not_regular_file:
        return "it is not a regular file";
      case Errc::backup_read_only:
        return "its backup beside it (.bak) is write-protected";
      case Errc::backup_not_regular:
        return "its backup's place beside it (.bak) holds no regular file";
    }
    return "unknown error";
  }
};

}  // namespace

const std::error_category& core_category() noexcept {
  static const CoreCategory category;
  return category;
}

DeviceRecord* RigStore::Device(int device) {
  return ValidDevice(device) ? &DeviceTable[device - 1] : nullptr;
}
const DeviceRecord* RigStore::Device(int device) const {
  return ValidDevice(device) ? &DeviceTable[device - 1] : nullptr;
}
std::int32_t* RigStore::Pan(int device, int point) {
  return ValidDevice(device) && ValidPoint(point) ? &PanCalibration[device - 1][point - 1]
                                                  : nullptr;
}
const std::int32_t* RigStore::Pan(int device, int point) const {
  return ValidDevice(device) && ValidPoint(point) ? &PanCalibration[device - 1][point - 1]
                                                  : nullptr;
}
std::int32_t* RigStore::Tilt(int device, int point) {
  return ValidDevice(device) && ValidPoint(point) ? &TiltCalibration[device - 1][point - 1]
                                                  : nullptr;
}
const std::int32_t* RigStore::Tilt(int device, int point) const {
  return ValidDevice(device) && ValidPoint(point) ? &TiltCalibration[device - 1][point - 1]
                                                  : nullptr;
}
std::int32_t* RigStore::PanFine(int device, int point) {
  return ValidDevice(device) && ValidPoint(point) ? &PanFineCalibration[device - 1][point - 1]
                                                  : nullptr;
}
const std::int32_t* RigStore::PanFine(int device, int point) const {
  return ValidDevice(device) && ValidPoint(point) ? &PanFineCalibration[device - 1][point - 1]
                                                  : nullptr;
}
std::int32_t* RigStore::TiltFine(int device, int point) {
  return ValidDevice(device) && ValidPoint(point) ? &TiltFineCalibration[device - 1][point - 1]
                                                  : nullptr;
}
const std::int32_t* RigStore::TiltFine(int device, int point) const {
  return ValidDevice(device) && ValidPoint(point) ? &TiltFineCalibration[device - 1][point - 1]
                                                  : nullptr;
}
VBool* RigStore::Calibrated(int device) {
  return ValidDevice(device) ? &DeviceCalibrated[device - 1] : nullptr;
}
const VBool* RigStore::Calibrated(int device) const {
  return ValidDevice(device) ? &DeviceCalibrated[device - 1] : nullptr;
}

void RigStore::InitRunState() {
  FollowMethod = 1;
  SelectedDevice = 0;
}

Checked<VBool> RigStore::IsDeviceCalibrated(std::int16_t device) {
  if (device < 1) return {VFalse, {}};
  if (device > kDeviceCount) return {VFalse, make_error_code(Errc::out_of_range)};
  const int d = device - 1;
  DeviceCalibrated[d] = VTrue;
  for (int p = 0; p < kPointCount; ++p) {
    if (PanCalibration[d][p] == Uncalibrated || TiltCalibration[d][p] == Uncalibrated) {
      DeviceCalibrated[d] = VFalse;
      return {VFalse, {}};
    }
  }
  return {VTrue, {}};
}

RigStore::RigStore() {
  for (int d = kDescribedDevices; d < kDeviceCount; ++d) {
    PanCalibration[d].fill(Uncalibrated);
    TiltCalibration[d].fill(Uncalibrated);
  }
}

void RigStore::ResetCalibration() {
  for (int d = 0; d < kDeviceCount; ++d) {
    PanCalibration[d].fill(Uncalibrated);
    TiltCalibration[d].fill(Uncalibrated);
    PanFineCalibration[d].fill(0);
    TiltFineCalibration[d].fill(0);
    DeviceCalibrated[d] = VFalse;
  }
}

RigStore& Rig() {
  static RigStore store;
  return store;
}

}  // namespace tb

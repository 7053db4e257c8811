// Feeds arbitrary bytes to the settings reader. Besides crashes and
// undefined behaviour it checks these properties of every input:
//  - a device not marked calibrated after reading has no point loaded;
//  - fine values are loaded only for a device with a fine channel;
//  - every pan and tilt range read lies in 1..1080;
//  - the extension's values read are "not given" or values it would write;
//  - whatever was read saves to 25 CR LF lines, followed by the extension
//    section only when it has values, and reads back to the same store,
//    byte for byte on a second save.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "rig/settings_extension.h"
#include "rig/settings_file.h"

namespace {

// Names, channels and ranges that the reader may or may not reach.
void Prime(tb::RigStore& store) {
  for (int d = 1; d <= tb::kDeviceCount; ++d) {
    *store.Device(d) = {
        "Before " + std::to_string(d), 100 + d, -d, 360 + d, 180 + d, 200 + d, -200 - d};
  }
  store.FollowRate = 25;  // an earlier file's rate
}

bool IsRange(std::int32_t range) { return range >= tb::kMinRange && range <= tb::kMaxRange; }

bool SameStore(const tb::RigStore& a, const tb::RigStore& b) {
  for (int d = 0; d < tb::kDeviceCount; ++d) {
    const auto& x = a.DeviceTable[d];
    const auto& y = b.DeviceTable[d];
    if (x.Name != y.Name || x.PanChannel != y.PanChannel || x.TiltChannel != y.TiltChannel ||
        x.PanRange != y.PanRange || x.TiltRange != y.TiltRange ||
        x.PanFineChannel != y.PanFineChannel || x.TiltFineChannel != y.TiltFineChannel) {
      return false;
    }
  }
  return a.StageK1K3 == b.StageK1K3 && a.StageK1K2 == b.StageK1K2 &&
         a.HeightChannel == b.HeightChannel && a.FollowRate == b.FollowRate &&
         a.PanCalibration == b.PanCalibration && a.TiltCalibration == b.TiltCalibration &&
         a.PanFineCalibration == b.PanFineCalibration &&
         a.TiltFineCalibration == b.TiltFineCalibration && a.DeviceCalibrated == b.DeviceCalibrated;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "settings_reader_fuzz: %s\n", what);
  std::abort();
}

bool IsStoredLength(double metres) { return metres == 0.0 || tb::StageCentimetres(metres); }

std::size_t CountLines(std::string_view bytes) {
  std::size_t lines = 0;
  for (std::size_t pos = 0; (pos = bytes.find("\r\n", pos)) != std::string_view::npos; pos += 2)
    ++lines;
  return lines;
}

// Devices past the described lines are written when anything of them is set.
bool LaterDeviceInUse(const tb::RigStore& store) {
  for (int d = tb::kDescribedDevices; d < tb::kDeviceCount; ++d) {
    const auto& device = store.DeviceTable[d];
    if (!device.Name.empty() || device.PanChannel != 0 || device.TiltChannel != 0 ||
        device.PanRange != tb::kDefaultPanRange || device.TiltRange != tb::kDefaultTiltRange ||
        tb::HasFineChannels(device) || store.DeviceCalibrated[d] != tb::VFalse)
      return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  tb::RigStore first;
  Prime(first);
  tb::ReadConfigFromBytes(first, input);

  for (int d = 0; d < tb::kDeviceCount; ++d) {
    const bool fine = tb::HasFineChannels(first.DeviceTable[d]);
    for (int p = 0; p < tb::kPointCount && !fine; ++p) {
      if (first.PanFineCalibration[d][p] != 0 || first.TiltFineCalibration[d][p] != 0)
        Fail("fine value loaded for a device without fine channels");
    }
    if (first.DeviceCalibrated[d] != tb::VFalse) continue;
    for (int p = 0; p < tb::kPointCount; ++p) {
      if (first.PanCalibration[d][p] != tb::Uncalibrated ||
          first.TiltCalibration[d][p] != tb::Uncalibrated) {
        Fail("point loaded for a device not marked calibrated");
      }
    }
  }
  for (const auto& device : first.DeviceTable) {
    if (!tb::IsStorableName(device.Name)) Fail("a name read cannot be stored");
    if (!IsRange(device.PanRange) || !IsRange(device.TiltRange))
      Fail("a range read is not 1..1080");
  }

  if (!IsStoredLength(first.StageK1K3) || !IsStoredLength(first.StageK1K2) ||
      first.HeightChannel < 0 || first.HeightChannel > tb::kMaxHeightChannel ||
      !tb::IsFollowRate(first.FollowRate)) {
    Fail("an extension value read would not be written");
  }

  const std::string saved = tb::ConfigFileBytes(first);
  const std::string extension = tb::ExtensionLines(first);
  if (saved.size() < extension.size() + 2 ||
      saved.compare(saved.size() - extension.size(), extension.size(), extension) != 0) {
    Fail("saved file does not end in its extension section");
  }
  const std::string_view described(saved.data(), saved.size() - extension.size());
  if (CountLines(described) != 25 || described.substr(described.size() - 2) != "\r\n") {
    Fail("saved file does not begin with 25 CR LF lines");
  }
  const bool given = first.StageK1K3 != 0.0 || first.StageK1K2 != 0.0 || first.HeightChannel != 0 ||
                     first.FollowRate != tb::kDefaultFollowRate || LaterDeviceInUse(first);
  if (given == extension.empty()) Fail("extension section written without values or lost");

  tb::RigStore second;
  Prime(second);
  tb::ReadConfigFromBytes(second, saved);
  if (!SameStore(first, second)) Fail("save then read changed the store");
  if (tb::ConfigFileBytes(second) != saved) Fail("second save differs");
  return 0;
}

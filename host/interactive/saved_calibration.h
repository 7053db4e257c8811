// Which marks each device has taken, as the plug-in's last save left them in
// TrailBeam.ini. The host reads the file only to show it; a file that is
// short, broken or not one of ours gives what could be read, never a fault.
// Plain C++, no Qt.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tbhost {

struct SavedDevice {
  std::string name;  // as the file holds it (the plug-in writes Windows-1252)
  std::optional<int> panChannel;
  std::optional<int> tiltChannel;
  // By mark K1..K4, KM: both values were taken (neither is -1 nor missing).
  std::array<bool, 5> taken{};
  // The file's calibrated flag: the plug-in loads the marks only when set,
  // so marks taken without it are lost when the device setup opens next.
  bool flagged = false;

  bool Named() const { return !name.empty(); }
  int TakenCount() const;
};

// The four devices of the file's 25 lines, or fewer when it ends early,
// then those of devices 5 to 16 its extension section holds; a device whose
// lines are missing is not listed.
std::vector<SavedDevice> ReadSavedCalibration(std::string_view text);

}  // namespace tbhost

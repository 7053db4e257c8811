#include "host/show/show_rig.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

#include "rig/settings_file.h"

namespace tbhost {
namespace {

namespace fs = std::filesystem;

// The reader takes every line after the 25 as well, so the box must see all
// of it. The longest file TrailBeam writes: the title, four devices in the
// described lines, the extension's marker, four values and twelve devices,
// each line at most as long as the reader takes. A file beyond that is
// refused rather than checked in part.
constexpr std::size_t kLongestFileLines = 1 + tb::kDeviceCount * (1 + tb::kPointCount) + 1 + 4;
constexpr std::size_t kMostBytesRead = kLongestFileLines * (tb::kMaxLineBytes + 2);

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Where the operator finds the device in the file: a line of the 25, or
// for a later device its key in the extension.
std::string DeviceLine(int device) {
  if (device > tb::kDescribedDevices) return "its Device" + std::to_string(device) + " line";
  return "line " + std::to_string(2 + (device - 1) * (1 + tb::kPointCount));
}

std::string Channels(std::int32_t pan, std::int32_t tilt) {
  return std::to_string(pan) + "/" + std::to_string(tilt);
}

bool AsTheSetupSavesAnUnnamedDevice(const tb::DeviceRecord& device) {
  const tb::DeviceRecord blank;
  return device.PanChannel == blank.PanChannel && device.TiltChannel == blank.TiltChannel &&
         device.PanRange == blank.PanRange && device.TiltRange == blank.TiltRange &&
         device.PanFineChannel == blank.PanFineChannel &&
         device.TiltFineChannel == blank.TiltFineChannel;
}

// Confirming the setup saves an unnamed device 1 or 2 under the name the
// list shows for it, and every unnamed device on channels 0/0 without
// ranges or fine channels: either would rewrite what the operator wrote.
std::string UnnamedDeviceProblem(const tb::RigStore& rig, const std::string& file) {
  for (int d = 1; d <= tb::kDeviceCount; ++d) {
    const tb::DeviceRecord& device = *rig.Device(d);
    if (!device.Name.empty()) continue;
    const std::string where =
        "device " + std::to_string(d) + " has no name in " + file + " (" + DeviceLine(d) + ")";
    if (d <= 2)
      return where + ": the device setup would list it as \"Device" + std::to_string(d) +
             "\" on channels 0/0 and save it so; name it with the interactive host";
    if (!AsTheSetupSavesAnUnnamedDevice(device))
      return where + ": the device setup would save it on channels 0/0, without what its line " +
             "holds; name it with the interactive host, or empty its line";
  }
  return {};
}

std::vector<ListedDevice> ListedAsTheSetupShows(const tb::RigStore& rig) {
  std::vector<ListedDevice> rows;
  for (const tb::DeviceRecord& device : rig.DeviceTable) {
    if (device.Name.empty())
      rows.push_back({"", "0", "0"});
    else
      rows.push_back(
          {device.Name, std::to_string(device.PanChannel), std::to_string(device.TiltChannel)});
  }
  return rows;
}

bool OnTheUniverse(std::int32_t channel) { return channel >= 1 && channel <= kUniverseChannels; }
bool FineOnTheUniverse(std::int32_t channel) { return channel == 0 || OnTheUniverse(channel); }

std::string MasterProblem(const tb::RigStore& rig, int d, const std::string& file) {
  const tb::DeviceRecord& master = *rig.Device(d);
  const std::string who =
      "the master " + Quoted(master.Name) + " (device " + std::to_string(d) + ")";
  if (!OnTheUniverse(master.PanChannel) || !OnTheUniverse(master.TiltChannel))
    return who + " is on channels " + Channels(master.PanChannel, master.TiltChannel) +
           ", which the console's universe does not have (1 to 512)";
  if (!FineOnTheUniverse(master.PanFineChannel) || !FineOnTheUniverse(master.TiltFineChannel))
    return who + " has fine channels " + Channels(master.PanFineChannel, master.TiltFineChannel) +
           ", which the console's universe does not have (1 to 512, 0 for none)";
  static const char* const kMarks[] = {"K1", "K2", "K3", "K4", "KM"};
  std::string missing;
  for (int p = 1; p <= tb::kPointCount; ++p)
    if (*rig.Pan(d, p) == tb::Uncalibrated || *rig.Tilt(d, p) == tb::Uncalibrated)
      missing += (missing.empty() ? "" : ", ") + std::string(kMarks[p - 1]);
  if (missing == "K1, K2, K3, K4, KM")
    return who + " is not calibrated in " + file +
           ": take its five marks with the interactive host and save them with Enable TB";
  if (!missing.empty())
    return who + " lacks " + missing + " in " + file +
           ": take them with the interactive host and save them with Enable TB";
  return {};
}

bool AboveTheUniverse(std::int32_t channel) { return channel > kUniverseChannels; }

// Slaves the fixtures' universe cannot reach: the plug-in's writes to them
// fail on every tick. Channels below 1 the plug-in tells itself at Enable TB.
std::vector<std::string> UnreachableSlaves(const tb::RigStore& rig, int master) {
  std::vector<std::string> notes;
  for (int d = 1; d <= tb::kDeviceCount; ++d) {
    const tb::DeviceRecord& device = *rig.Device(d);
    if (d == master || device.Name.empty() || *rig.Calibrated(d) == tb::VFalse) continue;
    const std::int32_t channels[] = {device.PanChannel, device.TiltChannel, device.PanFineChannel,
                                     device.TiltFineChannel};
    if (std::none_of(std::begin(channels), std::end(channels), AboveTheUniverse)) continue;
    std::string text = "device " + std::to_string(d) + " " + Quoted(device.Name) +
                       " is on channels " + Channels(device.PanChannel, device.TiltChannel);
    if (tb::HasFineChannels(device))
      text += " with fine channels " + Channels(device.PanFineChannel, device.TiltFineChannel);
    notes.push_back(text + ", beyond the fixtures' universe (1 to 512): it will not follow");
  }
  return notes;
}

}  // namespace

std::string ReadShowRigFile(const fs::path& path, std::string& bytes) {
  bytes.clear();
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (fs::is_directory(status)) return "it is a folder";
  if (!fs::is_regular_file(status)) return "it is not a regular file";
  std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rb"),
                                                          &std::fclose);
  if (!file) return std::strerror(errno);
  char buffer[64 * 1024];
  while (bytes.size() <= kMostBytesRead) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
    bytes.append(buffer, n);
    if (n < sizeof buffer) break;
  }
  if (std::ferror(file.get())) {
    bytes.clear();
    return std::strerror(errno);
  }
  if (bytes.size() > kMostBytesRead) {
    bytes.clear();
    return "it holds more than " + std::to_string(kMostBytesRead) +
           " bytes, more than any TrailBeam.ini";
  }
  return {};
}

// The main window offers the height box only with a K1-K3 length and no
// height channel; found here, before the device setup's OK saves the file.
std::string HeightProblem(const tb::RigStore& rig, const std::string& file) {
  if (rig.StageK1K3 <= 0.0)
    return file + " holds no K1-K3 length, so the box cannot follow at a height (--height): " +
           "enter the length in the device setup with the interactive host";
  if (rig.HeightChannel != 0)
    return "the follow height comes from channel " + std::to_string(rig.HeightChannel) + " in " +
           file + "; --height cannot set it";
  return {};
}

ShowRig CheckShowRig(std::string_view bytes, const MasterChoice& wanted, const std::string& file,
                     std::optional<double> height) {
  ShowRig show;
  tb::RigStore rig;
  if (const auto stop = tb::ReadConfigReport(rig, bytes)) {
    show.error =
        file + " could not be read: line " + std::to_string(stop->line) + ": " + stop->reason;
    return show;
  }
  show.error = UnnamedDeviceProblem(rig, file);
  if (!show.error.empty()) return show;
  show.listed = ListedAsTheSetupShows(rig);
  show.rate = rig.FollowRate;
  show.pick = FindMaster(show.listed, wanted);
  show.error = show.pick.error;
  if (show.error.empty()) show.error = MasterProblem(rig, show.pick.device, file);
  if (show.error.empty() && height) show.error = HeightProblem(rig, file);
  if (show.error.empty()) show.notes = UnreachableSlaves(rig, show.pick.device);
  return show;
}

std::string CheckListedAsExpected(const std::vector<ListedDevice>& shown,
                                  const std::vector<ListedDevice>& expected) {
  if (shown.size() != expected.size())
    return "the device setup lists " + std::to_string(shown.size()) + " devices, not " +
           std::to_string(expected.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const ListedDevice& s = shown[i];
    const ListedDevice& e = expected[i];
    if (s.name != e.name || s.pan != e.pan || s.tilt != e.tilt)
      return "the device setup lists device " + std::to_string(i + 1) + " as " + Quoted(s.name) +
             " on channels " + s.pan + "/" + s.tilt + ", where the file holds " + Quoted(e.name) +
             " on " + e.pan + "/" + e.tilt;
  }
  return {};
}

}  // namespace tbhost

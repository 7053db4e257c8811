// One device as TrailBeam.ini holds it: a device line
//   Name,PanChannel,TiltChannel[,PanRange,TiltRange[,PanFineChannel,TiltFineChannel]]
// and five point lines (K1..K4, KM)
//   flag,Pan,Tilt[,PanFine,TiltFine]
// The file's first four devices are its described lines; later ones sit in
// its extension section, each line behind a key (settings_extension.h).
// Devices and points are indices here (0 is device 1 / point K1).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "rig/rig_store.h"

namespace tb {

// Each appends one line with its CR LF. The name goes out in Windows-1252.
void AppendDeviceLine(std::string& out, const DeviceRecord& device);
// The flag is the device's calibrated state, the same on all five lines.
void AppendPointLine(std::string& out, const RigStore& store, int d, int p);

// Each takes what it reads as it reads it and returns why it stopped, in
// the operator's words, or nothing when the line was taken whole. A name
// is read as UTF-8 where `utf8`, else as Windows-1252.
std::optional<std::string> TakeDeviceLine(DeviceRecord& device, std::string_view line, bool utf8);
std::optional<std::string> TakePointLine(RigStore& store, int d, int p, std::string_view line);

}  // namespace tb

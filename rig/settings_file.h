// TrailBeam.ini: devices and calibration between runs. 25 lines, CR LF,
// Windows-1252, comma-separated fields (see the file's layout in
// settings_file.cpp), and after them, when the rig has values they cannot
// hold, the extension section (settings_extension.h). The core takes the file's path; the shell
// finds it next to the plug-in's module file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "rig/rig_store.h"

namespace tb {

inline constexpr const char* kSettingsFileName = "TrailBeam.ini";
// The previous generation, kept beside the file at each save that changes
// it, for the operator to go back to. Nothing reads it.
inline constexpr const char* kBackupSuffix = ".bak";

// The longest name in Windows-1252 bytes, and the longest line the reader
// takes (a bound against damaged files): room for the longest name, the key
// of a later device's line ("Device16=") and the six numbers of its device
// line, so that every storable name reads back.
inline constexpr std::size_t kMaxNameBytes = (std::size_t{1} << 20) - 32;
inline constexpr std::size_t kMaxLineBytes = kMaxNameBytes + 96;

// Writes the whole file anew from the store, atomically: either the old
// file stays complete or the new one is there. A write-protected file is
// never replaced (Errc::read_only_file). The file it replaces is kept as
// path + kBackupSuffix (see ReplaceFileAtomically). Other failures carry
// the system's errno. The store is not changed.
std::error_code save_config(const RigStore& store, const std::string& path);

// Resets the calibration (every point Uncalibrated, every flag false), then
// loads what the file holds, stopping silently at the first fault.
// DeviceTable keeps what the file did not reach. Never fails.
void read_config(RigStore& store, const std::string& path);

// The same reading over the file's bytes, for callers that already hold
// them (and for fuzzing without touching the disk).
void ReadConfigFromBytes(RigStore& store, std::string_view bytes);

// Where a reading ended before all 25 lines were taken, and why: `line`
// is the line (1 to 25) that could not be taken, `reason` says what is
// wrong with it in the operator's words. A last line without its line end
// counts as cut off, though what it held was taken.
struct ConfigReadStop {
  int line = 0;
  std::string reason;
};

// Reads like ReadConfigFromBytes and tells where the reading ended early;
// nothing when the whole file was taken.
std::optional<ConfigReadStop> ReadConfigReport(RigStore& store, std::string_view bytes);

// The exact bytes that save_config writes for the store.
std::string ConfigFileBytes(const RigStore& store);

// Test seam: runs after the temporary file is complete and synced, just
// before it replaces the settings file. A non-empty result ends the save
// there with that error, as if the system had failed at that point.
using SaveInterruption = std::error_code (*)(const std::string& tempPath);
std::error_code save_config(const RigStore& store, const std::string& path,
                            SaveInterruption interruption);

// Whether the text (UTF-8) can be stored as a device name: representable in
// Windows-1252, free of commas, CR and LF, at most kMaxNameBytes long, and
// not such that its Windows-1252 bytes would read back as UTF-8.
bool IsStorableName(const std::string& utf8);

}  // namespace tb

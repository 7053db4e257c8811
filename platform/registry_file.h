// The class registry file: reading, writing and the path rules.
//
// File format (UTF-8 text, one entry per line, fields separated by one TAB):
//
//   # comment
//   class   {CLSID}  /absolute/module/path  ProgID-or-empty
//   progid  ProgID   {CLSID}
//   typelib {LIBID}  major.minor  Name  /absolute/module/path
//
// GUIDs are in registry form, versions decimal. Blank and comment lines are
// ignored and not kept (the file gets a fresh header on every write). A
// line that cannot be understood - garbled, a field count that does not
// fit, a relative module path - is skipped on lookup but kept verbatim when
// the file is rewritten, so that a tool of a later version or a hand edit
// loses nothing. Field values can hold neither TAB nor line breaks;
// registration refuses such values. The first valid entry for a key wins
// on lookup; writers never produce duplicates.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "orvn/com.h"

namespace orvn::rt {

struct ClassEntry {
  CLSID clsid{};
  std::string modulePath;
  std::string progId;  // may be empty
};

struct ProgIdEntry {
  std::string progId;
  CLSID clsid{};
};

struct TypeLibEntry {
  GUID libId{};
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::string name;
  std::string modulePath;
};

struct RegistryData {
  std::vector<ClassEntry> classes;
  std::vector<ProgIdEntry> progIds;
  std::vector<TypeLibEntry> typeLibs;
  std::vector<std::string> otherLines;  // not understood; written back unchanged
};

// A larger file is refused rather than read; no real registry comes near.
inline constexpr std::size_t kMaxRegistryFileSize = 16u << 20;

RegistryData ParseRegistry(std::string_view text);
std::string FormatRegistry(const RegistryData& data);

// True if the value can be stored in a field (no TAB, CR, LF or NUL).
bool IsStorableField(std::string_view value);

// $ORVNCOM_REGISTRY, else $XDG_CONFIG_HOME/orvncom/registry, else
// $HOME/.config/orvncom/registry (HOME from the password database when
// unset). Empty or relative XDG_CONFIG_HOME is ignored, as the XDG rules
// say. Empty when no home folder can be found at all.
std::string RegistryPath();

// Reads the file. A missing file is an empty registry. Returns 0 or an
// errno value (EFBIG for a file over kMaxRegistryFileSize).
int LoadRegistryFile(const std::string& path, RegistryData& data);

// Reads, changes and rewrites the file under an exclusive lock, so that two
// registering processes cannot lose each other's entries. The new file is
// written next to the old one, synced and renamed over it; a file that
// could not be read is never overwritten. Missing folders are created
// (mode 0700). Returns 0 or an errno value.
int UpdateRegistryFile(const std::string& path, const std::function<void(RegistryData&)>& change);

}  // namespace orvn::rt

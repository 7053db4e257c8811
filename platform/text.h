// Text helpers shared by the runtime library and its tools: GUIDs in
// registry form and UTF-16 to UTF-8 conversion.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "orvn/com.h"

namespace orvn::rt {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
std::string FormatGuid(const GUID& guid);
// The same into a buffer, null-terminated; allocates nothing.
void FormatGuid(const GUID& guid, char (&out)[39]);

// Accepts exactly the registry form (38 chars, braces, either case of hex);
// anything else gives nullopt.
std::optional<GUID> ParseGuid(std::string_view text);

// Null-terminated UTF-16 to UTF-8. nullopt for an unpaired surrogate.
std::optional<std::string> Utf8FromUtf16(const char16_t* text);

}  // namespace orvn::rt

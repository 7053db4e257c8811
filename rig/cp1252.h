// Names in TrailBeam.ini are Windows-1252, the code page of the Windows
// component that shares the files; the store holds them as UTF-8. Also how
// the reader tells a file that an editor saved in UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

std::string Cp1252ToUtf8(std::string_view bytes);

// The Windows-1252 byte of a code point, if it has one.
std::optional<unsigned char> ToCp1252(char32_t cp);

// Decodes one UTF-8 sequence at `pos`. Returns nullopt for a malformed,
// overlong or surrogate sequence; `pos` then moves past one byte only.
std::optional<char32_t> NextCodePoint(std::string_view s, std::size_t& pos);

// A character that Windows-1252 cannot hold is written as one '?', as the
// Windows component's own conversion does; a malformed UTF-8 byte likewise.
std::string Utf8ToCp1252(std::string_view utf8);

// An editor that saved the file in UTF-8 left a byte-order mark, or at
// least multi-byte sequences and nothing that is not UTF-8. Windows-1252
// text of real names practically never passes for UTF-8: a letter with an
// accent there is a lone byte above 0x7F.
bool ReadsAsUtf8(const std::vector<std::string>& lines);

}  // namespace tb

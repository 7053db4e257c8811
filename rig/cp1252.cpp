#include "rig/cp1252.h"

#include <array>

namespace tb {

namespace {

// 0x80..0x9F. The five bytes that Windows-1252 leaves undefined map to the
// C1 controls of the same number, as Windows itself does, so that every
// byte reads and writes back unchanged.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    AppendUtf8(out, b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : char32_t{b});
  }
  return out;
}

std::optional<unsigned char> ToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
    if (kCp1252High[i] == cp) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

std::optional<char32_t> NextCodePoint(std::string_view s, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(s[pos]);
  int length = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return std::nullopt;
  }
  if (s.size() - pos < static_cast<std::size_t>(length)) {
    ++pos;
    return std::nullopt;
  }
  for (int i = 1; i < length; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + i]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return std::nullopt;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return std::nullopt;
  }
  pos += length;
  return cp;
}

// The setup window refuses such names (IsStorableName), so this only
// guards against callers that skipped that test.
std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const auto cp = NextCodePoint(utf8, pos);
    const auto byte = cp ? ToCp1252(*cp) : std::nullopt;
    out += byte ? static_cast<char>(*byte) : '?';
  }
  return out;
}

bool ReadsAsUtf8(const std::vector<std::string>& lines) {
  if (lines.empty()) return false;
  if (std::string_view(lines.front()).starts_with(kUtf8Bom)) return true;
  bool multiByte = false;
  for (const std::string& line : lines) {
    for (std::size_t pos = 0; pos < line.size();) {
      const std::size_t start = pos;
      if (!NextCodePoint(line, pos)) return false;
      multiByte = multiByte || pos - start > 1;
    }
  }
  return multiByte;
}

}  // namespace tb

#include "platform/text.h"

#include <cstdint>

namespace orvn::rt {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads `digits` hex digits at text[pos]; false on any non-hex char.
bool GetHex(std::string_view text, std::size_t pos, int digits, std::uint64_t& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    const int v = HexValue(text[pos + static_cast<std::size_t>(i)]);
    if (v < 0) return false;
    value = (value << 4) | static_cast<std::uint64_t>(v);
  }
  return true;
}

}  // namespace

void FormatGuid(const GUID& guid, char (&out)[39]) {
  char* p = out;
  const auto put = [&p](std::uint64_t value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) *p++ = kHex[(value >> shift) & 0xF];
  };
  *p++ = '{';
  put(guid.Data1, 8);
  *p++ = '-';
  put(guid.Data2, 4);
  *p++ = '-';
  put(guid.Data3, 4);
  *p++ = '-';
  put(guid.Data4[0], 2);
  put(guid.Data4[1], 2);
  *p++ = '-';
  for (int i = 2; i < 8; ++i) put(guid.Data4[i], 2);
  *p++ = '}';
  *p = 0;
}

std::string FormatGuid(const GUID& guid) {
  char text[39];
  FormatGuid(guid, text);
  return text;
}

std::optional<GUID> ParseGuid(std::string_view text) {
  if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' ||
      text[19] != '-' || text[24] != '-')
    return std::nullopt;
  GUID guid{};
  std::uint64_t v = 0;
  if (!GetHex(text, 1, 8, v)) return std::nullopt;
  guid.Data1 = static_cast<std::uint32_t>(v);
  if (!GetHex(text, 10, 4, v)) return std::nullopt;
  guid.Data2 = static_cast<std::uint16_t>(v);
  if (!GetHex(text, 15, 4, v)) return std::nullopt;
  guid.Data3 = static_cast<std::uint16_t>(v);
  static constexpr std::size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!GetHex(text, kBytePos[i], 2, v)) return std::nullopt;
    guid.Data4[i] = static_cast<std::uint8_t>(v);
  }
  return guid;
}

std::optional<std::string> Utf8FromUtf16(const char16_t* text) {
  std::string out;
  for (const char16_t* p = text; *p != 0; ++p) {
    std::uint32_t cp = *p;
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      const std::uint32_t low = p[1];
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      ++p;
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      return std::nullopt;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace orvn::rt

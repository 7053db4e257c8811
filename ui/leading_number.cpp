#include "ui/leading_number.h"

#include <limits>
#include <string>

namespace tb::ui {

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
// Beyond this the magnitude is only limited; kept far below int64 overflow.
constexpr std::int64_t kCap = std::int64_t{1} << 40;

bool Skipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9')
    v = c - '0';
  else if (c >= 'a' && c <= 'f')
    v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    v = c - 'A' + 10;
  return v >= 0 && v < base ? v : -1;
}

std::int32_t Limit(std::int64_t v) {
  if (v > kMax) return static_cast<std::int32_t>(kMax);
  if (v < kMin) return static_cast<std::int32_t>(kMin);
  return static_cast<std::int32_t>(v);
}

}  // namespace

std::int32_t LeadingNumber(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  for (char c : text)
    if (!Skipped(c)) s.push_back(c);

  std::size_t i = 0;
  if (s.size() >= 2 && s[0] == '&') {
    const char prefix = s[1];
    const int base = (prefix == 'H' || prefix == 'h')   ? 16
                     : (prefix == 'O' || prefix == 'o') ? 8
                                                        : 0;
    if (base == 0) return 0;
    std::int64_t value = 0;
    for (i = 2; i < s.size(); ++i) {
      const int d = DigitValue(s[i], base);
      if (d < 0) break;
      if (value < kCap) value = value * base + d;
    }
    return Limit(value);
  }

  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::int64_t whole = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
    if (whole < kCap) whole = whole * 10 + (s[i] - '0');
  // The fraction matters only as below, at or above one half.
  int half = -1;  // -1 below, 0 exactly one half, 1 above
  if (i < s.size() && s[i] == '.') {
    ++i;
    if (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      const char first = s[i++];
      if (first > '5') {
        half = 1;
      } else if (first == '5') {
        half = 0;
      }
      for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        if (first == '5' && s[i] != '0') half = 1;
    }
  }
  if (half == 1 || (half == 0 && whole % 2 == 1)) ++whole;
  return Limit(negative ? -whole : whole);
}

}  // namespace tb::ui

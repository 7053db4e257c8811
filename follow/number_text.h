// Numbers in the operator's messages.
#pragma once

#include <array>
#include <charconv>
#include <string>

namespace tb {

// One decimal, whatever locale the windows have set.
inline std::string OneDecimal(double value) {
  std::array<char, 64> text{};
  const auto result =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 1);
  return std::string(text.data(), result.ptr);
}

}  // namespace tb

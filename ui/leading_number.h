// The number a channel cell of the device setup window stands for.
#pragma once

#include <cstdint>
#include <string_view>

namespace tb::ui {

// Blanks, tabs and line feeds are skipped wherever they stand. Then either
// an optional sign and a decimal number with "." as decimal point, or a
// hexadecimal (&H) or octal (&O) number, read as far as it goes; anything
// else gives 0. The value is rounded to the nearest integer, an exact half
// to the even one, and limited to the signed 32-bit range.
// Hexadecimal and octal numbers are read as they are written, as
// non-negative values (&HFFFFFFFF is 4294967295, hence 2147483647);
// exponents are not read ("5e2" gives 5): channel numbers are small whole
// numbers, and a cell is never meant as anything else.
std::int32_t LeadingNumber(std::string_view text);

}  // namespace tb::ui

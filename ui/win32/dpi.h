// Layouts are given in twips (1/1440 inch) and drawn at the screen's
// resolution: 15 twips to a pixel at 96 dots per inch, 12 at 120.
#pragma once

#include <algorithm>
#include <cmath>

namespace tb::ui::win32 {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDefaultDpi = 96;

// Nearest pixel (halves away from zero, as the other toolkit places them);
// a resolution that makes no sense counts as 96, a twips value that is not
// a number as 0, and huge values are held where they cannot overflow.
inline int TwipsToPixels(double twips, int dpi) {
  if (dpi <= 0 || dpi > 4800) dpi = kDefaultDpi;
  if (!std::isfinite(twips)) return 0;
  twips = std::clamp(twips, -1e7, 1e7);
  return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

// Twips measured along the screen's width.
int ScreenDpi();

}  // namespace tb::ui::win32

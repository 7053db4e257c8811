// Window geometry is laid out in twips (1/1440 inch); the windows are drawn
// at 96 dots per inch, 15 twips to a pixel. Positions that fall between two
// pixels go to the nearest one.
#pragma once

#include <QRect>
#include <cmath>

namespace tb::ui {

inline int Px(double twips) { return static_cast<int>(std::lround(twips / 15.0)); }

inline QRect TwipsRect(double left, double top, double width, double height) {
  return {Px(left), Px(top), Px(width), Px(height)};
}

}  // namespace tb::ui

// The device setup window's layout: its controls and the list's columns.
#pragma once

#include <span>

#include "ui/layout.h"

namespace tb::ui {

// A column of the device list, added in table order when the window loads.
struct ColumnLayout {
  const char* header;
  double widthTwips;  // passed as it stands
};

// The device list's own settings: report view, full-row selection, grid
// lines, the selection kept visible, several rows selectable, no entry
// chosen at the start, no sounds, and this title height.
inline constexpr int kListTitleHeight = 255;
// The list is as high as four rows, as when it held only the first four
// devices; the later ones are reached by scrolling.
inline constexpr int kListShownRows = 4;

const WindowLayout& SetupWindowLayout();
std::span<const ColumnLayout> SetupListColumns();

}  // namespace tb::ui

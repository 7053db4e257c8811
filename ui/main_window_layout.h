// The main window's layout and the texts its behaviour puts back.
#pragma once

#include "ui/layout.h"

namespace tb::ui {

inline constexpr const char* kEnableCaption = "Enable TB";
inline constexpr const char* kStopCaption = "Stop TB";
inline constexpr const char* kDeviceListText = "Select Device";
inline constexpr const char* kMasterListText = "Select Master";
// The follow height box's initial text and its tooltip while it is offered.
inline constexpr const char* kHeightText = "0.00";
inline constexpr const char* kHeightToolTip = "follow height above the floor, 0.00 to 3.00 m";
// The point boxes' initial texts, by box index.
inline constexpr const char* kBoxTexts[5] = {"K1", "K2", "K3", "K4", "      KM"};

const WindowLayout& MainWindowLayout();

}  // namespace tb::ui

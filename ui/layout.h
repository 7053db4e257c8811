// A window's layout as data: every toolkit builds its controls from the
// same tables. Positions and sizes are in twips (1/1440 inch), from the top
// left corner of the client area, or of the frame that holds the control.
#pragma once

#include <span>
#include <string>

#include "ui/controls.h"

namespace tb::ui {

enum class ControlKind {
  Label,
  Combo,    // drop-down list with an edit field
  TextBox,  // clickable, written only by the window
  Edit,     // a field the operator types into
  Button,
  Frame,  // holds a group of options
  Option,
  Picture,  // sunken box around a picture
  List,     // report list with editable cells
  Timer,    // not visible; no geometry
};

enum class WindowFrame {
  FixedSingle,  // fixed size, no minimize or maximize button
  FixedDialog,  // the same as a dialog frame, not in the taskbar
  Sizable,      // the platform's default: sizable, minimize and maximize
};

// Null family: the windows' dialog font.
struct FontLayout {
  const char* family = nullptr;
  double points = 8.25;
  bool bold = false;
};

inline constexpr Colour kDefaultColour = 0xFFFFFFFF;

struct ControlLayout {
  const char* name;
  ControlKind kind;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int tab = -1;                // keyboard order, 0 first; -1 takes no focus
  const char* text = nullptr;  // caption or initial text; null: none stored
  const char* tooltip = nullptr;
  const char* parent = nullptr;  // the frame that holds it; null: the window
  int index = -1;                // position in a control array; -1: no array
  bool wrap = false;             // labels: the text wraps within the label
  bool isDefault = false;        // buttons: pressed by Enter anywhere in the window
  bool isCancel = false;         // buttons: pressed by Escape
  Colour textColour = kDefaultColour;
  FontLayout font{};
  int interval = 0;  // timers: milliseconds
};

// A straight line beneath the controls, from (x1, y1) to (x2, y2).
struct LineLayout {
  const char* name;
  int index;
  int x1, y1, x2, y2;
  Colour colour;
  int widthPixels;
};

struct WindowLayout {
  const char* name;
  const char* caption;  // null: set when the window loads
  int width;            // client area
  int height;
  WindowFrame frame;
  std::span<const ControlLayout> controls;
  std::span<const LineLayout> lines;
};

// The name a toolkit gives the control: arrays add "_" and the index
// (TxtCalibr_3).
std::string ControlName(const ControlLayout& control);

}  // namespace tb::ui

// The controls that the windows' behaviour works on, as small as every
// toolkit can offer them. The behaviour never sees a widget or a window
// handle: each toolkit adapts its own controls to these. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace tb::ui {

// A colour as the platform takes it: 0x00BBGGRR, blue in the high byte.
using Colour = std::uint32_t;

// A window's own frame: its caption and closing it.
class WindowControl {
 public:
  virtual ~WindowControl() = default;
  virtual void SetCaption(const std::string& text) = 0;
  // Closes the window as its own buttons do (a modal window returns from
  // its showing).
  virtual void Close() = 0;
};

// A drop-down list with an edit field.
class ComboControl {
 public:
  virtual ~ComboControl() = default;
  // No entries; nothing selected.
  virtual void Clear() = 0;
  // A new entry at the end. A toolkit may select it; Deselect undoes that.
  virtual void Add(const std::string& entry) = 0;
  // No entry selected; the edit field shows text. Never reported as a pick.
  virtual void Deselect(const std::string& text) = 0;
};

class LabelControl {
 public:
  virtual ~LabelControl() = default;
  virtual void SetText(const std::string& text) = 0;
};

// A text box that the operator may click but whose text only the window
// writes.
class TextBoxControl {
 public:
  virtual ~TextBoxControl() = default;
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetBackColour(Colour colour) = 0;
  virtual std::string ToolTip() const = 0;
  virtual void SetToolTip(const std::string& text) = 0;
  // Back to the toolkit's default colours.
  virtual void ResetColours() = 0;
};

// A field the operator types into. The window reads it when the operator
// confirms it (Enter, or leaving it) or when another control acts on it.
class EditControl {
 public:
  virtual ~EditControl() = default;
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
  // A disabled field shows its text greyed and takes no input.
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetToolTip(const std::string& text) = 0;
};

class ButtonControl {
 public:
  virtual ~ButtonControl() = default;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void Focus() = 0;
};

// One option of a group of mutually exclusive options.
class OptionControl {
 public:
  virtual ~OptionControl() = default;
  // Selects this option, which deselects the others of its group.
  virtual void Select() = 0;
};

// A periodic timer on the window's thread; its interval is the layout's
// until the window sets another.
class TimerControl {
 public:
  virtual ~TimerControl() = default;
  // Takes effect at the next Start.
  virtual void SetInterval(int milliseconds) = 0;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual bool Running() const = 0;
};

// A report list with editable cells. Rows are numbered from 1 in the order
// added; column 0 is the row's own text, 1.. its sub-items. A cell outside
// the list reads as the empty text and is not written.
class ListControl {
 public:
  virtual ~ListControl() = default;
  virtual void AddColumn(const std::string& header, double widthTwips) = 0;
  virtual void AddRow(const std::string& key, const std::string& text) = 0;
  virtual int RowCount() const = 0;
  virtual std::string Cell(int row, int column) const = 0;
  virtual void SetCell(int row, int column, const std::string& text) = 0;
  // The cell the operator last acted on; row 0 when there is none.
  virtual int CurrentCellRow() const = 0;
  virtual int CurrentCellColumn() const = 0;
  // Opens an in-place editor over the current cell, filled with text.
  virtual void BeginEdit(const std::string& text) = 0;
  // Closes an open editor without ending the edit.
  virtual void CancelEdit() = 0;
  // No rows and no columns.
  virtual void Clear() = 0;
  virtual void Focus() = 0;
};

}  // namespace tb::ui

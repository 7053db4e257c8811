#include "ui/win32/native_controls.h"

#include <algorithm>

#include "ui/win32/extlv.h"
#include "ui/win32/form_window.h"
#include "ui/win32/text.h"
#include "ui/win32/timer.h"

namespace tb::ui::win32 {

namespace {
void SetText(HWND hwnd, const std::string& text) { SetWindowTextW(hwnd, Wide(text).c_str()); }
}  // namespace

void NativeWindow::SetCaption(const std::string& text) { SetText(window_, text); }

// A transparent label does not erase its old text: the window beneath it
// paints afresh.
void NativeLabel::SetText(const std::string& text) {
  win32::SetText(label_, text);
  HWND parent = GetParent(label_);
  RECT place{};
  GetWindowRect(label_, &place);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
  RedrawWindow(parent, &place, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void NativeCombo::Clear() {
  SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
  SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

void NativeCombo::Add(const std::string& entry) {
  SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
}

// Setting the selection here raises no CBN_SELCHANGE: only the operator's
// picks do.
void NativeCombo::Deselect(const std::string& text) {
  SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  win32::SetText(combo_, text);
}

std::string NativeTextBox::Text() const { return Utf8(WindowText(box_)); }
void NativeTextBox::SetText(const std::string& text) { win32::SetText(box_, text); }
void NativeTextBox::SetBackColour(Colour colour) { window_.SetBackColour(box_, colour); }
std::string NativeTextBox::ToolTip() const { return window_.ToolTip(box_); }
void NativeTextBox::SetToolTip(const std::string& text) { window_.SetToolTip(box_, text); }
void NativeTextBox::ResetColours() { window_.SetBackColour(box_, kDefaultColour); }

std::string NativeEdit::Text() const { return Utf8(WindowText(edit_)); }
void NativeEdit::SetText(const std::string& text) { win32::SetText(edit_, text); }
void NativeEdit::SetEnabled(bool enabled) { EnableWindow(edit_, enabled ? TRUE : FALSE); }
bool NativeEdit::Enabled() const { return IsWindowEnabled(edit_) != FALSE; }
void NativeEdit::SetToolTip(const std::string& text) { window_.SetToolTip(edit_, text); }

std::string NativeButton::Caption() const { return Utf8(WindowText(button_)); }
void NativeButton::SetCaption(const std::string& text) { win32::SetText(button_, text); }
void NativeButton::Focus() { window_.FocusControl(button_); }

void NativeOption::Select() {
  for (HWND option : group_)
    SendMessageW(option, BM_SETCHECK, option == option_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void NativeTimer::SetInterval(int milliseconds) {
  timer_.SetInterval(static_cast<UINT>(std::max(milliseconds, 1)));
}
void NativeTimer::Start() { timer_.Start(); }
void NativeTimer::Stop() { timer_.Stop(); }
bool NativeTimer::Running() const { return timer_.Active(); }

void NativeList::AddColumn(const std::string& header, double widthTwips) {
  list_.AddColumn(header, widthTwips);
}
void NativeList::AddRow(const std::string& key, const std::string& text) {
  list_.AddRow(key, text);
}
int NativeList::RowCount() const { return list_.RowCount(); }
std::string NativeList::Cell(int row, int column) const { return list_.Cell(row, column); }
void NativeList::SetCell(int row, int column, const std::string& text) {
  list_.SetCell(row, column, text);
}
int NativeList::CurrentCellRow() const { return list_.CurrentRow(); }
int NativeList::CurrentCellColumn() const { return list_.CurrentColumn(); }
void NativeList::BeginEdit(const std::string& text) { list_.BeginEdit(text); }
void NativeList::CancelEdit() { list_.CancelEdit(); }
void NativeList::Clear() {
  list_.ClearRows();
  list_.ClearColumns();
}
void NativeList::Focus() { window_.FocusControl(list_.List()); }

}  // namespace tb::ui::win32

#include "ui/qt_controls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>

#include "platform/extlv/extlv.h"

namespace tb::ui {

namespace {

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

QColor PlatformColor(Colour bbggrr) {
  return QColor(static_cast<int>(bbggrr & 0xFF), static_cast<int>((bbggrr >> 8) & 0xFF),
                static_cast<int>((bbggrr >> 16) & 0xFF));
}

void QtWindow::SetCaption(const std::string& text) { window_->setWindowTitle(Q(text)); }

void QtCombo::Clear() {
  combo_->clear();
  combo_->setCurrentIndex(-1);
}

void QtCombo::Add(const std::string& entry) { combo_->addItem(Q(entry)); }

// Changing the selection from here raises no activated signal, so the
// window's own change is never taken for a pick.
void QtCombo::Deselect(const std::string& text) {
  combo_->setCurrentIndex(-1);
  combo_->setEditText(Q(text));
}

void QtLabel::SetText(const std::string& text) { label_->setText(Q(text)); }

std::string QtTextBox::Text() const { return box_->text().toStdString(); }
void QtTextBox::SetText(const std::string& text) { box_->setText(Q(text)); }

void QtTextBox::SetBackColour(Colour colour) {
  QPalette pal = box_->palette();
  pal.setColor(QPalette::Base, PlatformColor(colour));
  box_->setPalette(pal);
}

std::string QtTextBox::ToolTip() const { return box_->toolTip().toStdString(); }
void QtTextBox::SetToolTip(const std::string& text) { box_->setToolTip(Q(text)); }

std::string QtEdit::Text() const { return edit_->text().toStdString(); }
void QtEdit::SetText(const std::string& text) { edit_->setText(Q(text)); }
void QtEdit::SetEnabled(bool enabled) { edit_->setEnabled(enabled); }
bool QtEdit::Enabled() const { return edit_->isEnabled(); }
void QtEdit::SetToolTip(const std::string& text) { edit_->setToolTip(Q(text)); }

void QtTextBox::ResetColours() { box_->setPalette(box_->window()->palette()); }

std::string QtButton::Caption() const { return button_->text().toStdString(); }
void QtButton::SetCaption(const std::string& text) { button_->setText(Q(text)); }
void QtButton::Focus() { button_->setFocus(Qt::OtherFocusReason); }

void QtOption::Select() { option_->setChecked(true); }

// Kept for Start: QTimer would restart a running timer at once.
void QtTimer::SetInterval(int milliseconds) { interval_ = std::max(milliseconds, 1); }
void QtTimer::Start() {
  if (interval_ > 0) timer_->setInterval(interval_);
  timer_->start();
}
void QtTimer::Stop() { timer_->stop(); }
bool QtTimer::Running() const { return timer_->isActive(); }

void QtList::AddColumn(const std::string& header, double widthTwips) {
  list_->columnHeaders().Add(Q(header), widthTwips);
}

void QtList::AddRow(const std::string& key, const std::string& text) {
  list_->listItems().Add(Q(key), Q(text));
}

int QtList::RowCount() const { return list_->listItems().Count(); }

std::string QtList::Cell(int row, int column) const {
  const platform::ListItem* item = list_->listItems().Item(row);
  return item != nullptr ? item->SubItem(column).toStdString() : std::string();
}

void QtList::SetCell(int row, int column, const std::string& text) {
  if (platform::ListItem* item = list_->listItems().Item(row)) item->SetSubItem(column, Q(text));
}

int QtList::CurrentCellRow() const {
  const platform::ListItem* row = list_->CurrentCellRow();
  return row != nullptr ? row->Index() : 0;
}

int QtList::CurrentCellColumn() const { return list_->CurrentCellColumn(); }
void QtList::BeginEdit(const std::string& text) { list_->BeginEdit(Q(text)); }
void QtList::CancelEdit() { list_->CancelEdit(); }

void QtList::Clear() {
  list_->listItems().Clear();
  list_->columnHeaders().Clear();
}

void QtList::Focus() { list_->setFocus(Qt::OtherFocusReason); }

}  // namespace tb::ui

// ExtLV: an editable report-view list, standing in for the list control
// ExtLVCTL.ExtLV. It offers what the device setup window uses of that
// control and nothing more:
//  - ColumnHeaders().Add(text, width in twips);
//  - ListItems().Add(key, text) and ListItems().Item(position 1..n);
//  - on each row its Text, SubItem 1.., Key;
//  - the current cell (column 0 = the row's own text, 1.. sub-items; row);
//  - BeginEdit(text): an in-place editor over the current cell;
//  - ItemMouseEvent(row, button, flag): raised on every press on a row
//    with flag 0 and on a double-click with flag 1; buttons 1 left,
//    2 right, 4 middle. Presses and double-clicks that hit no row raise
//    nothing and leave the current cell as it was;
//  - EditEnd(old text, new text): raised when the editor is confirmed
//    (Enter, Tab, Shift+Tab, or the editor losing the focus). Escape
//    cancels the edit and raises nothing. Tab and Shift+Tab then move on
//    to the window's next or previous control, as they do from the list.
//    While EditEnd runs the current cell is the edited cell, and ending an
//    edit in any way leaves the current cell where the edit started. The
//    control never writes the cell itself: whoever handles EditEnd decides
//    what the cell shows.
//  - Tab and Shift+Tab never move between cells: they leave the list.
// The control's persisted settings (report view, full-row selection, grid
// lines, selection kept visible, several rows selectable, no entry chosen
// at the start, no sounds) are fixed; the title height and the rows the
// list is sized for are settable.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QTableWidget>
#include <memory>
#include <vector>

namespace tb::platform {

class ExtLV;

// One row. Sub-item 0 is the row's own text.
class ListItem {
 public:
  QString Text() const { return SubItem(0); }
  void SetText(const QString& text) { SetSubItem(0, text); }
  // index 1.. of the sub-item columns; an index without a column reads as
  // the empty text and is not written.
  QString SubItem(int index) const;
  void SetSubItem(int index, const QString& text);
  const QString& Key() const { return key_; }
  // 1-based position in the list.
  int Index() const { return row_ + 1; }

 private:
  friend class ListItems;
  ListItem(ExtLV& owner, QString key, int row) : owner_(owner), key_(std::move(key)), row_(row) {}
  ExtLV& owner_;
  QString key_;
  int row_;
};

class ListItems {
 public:
  // A new row at the end. Keys must be unique: a key already present gives
  // null and adds nothing.
  ListItem* Add(const QString& key, const QString& text);
  // position 1..Count(); null outside.
  ListItem* Item(int position) const;
  int Count() const { return static_cast<int>(items_.size()); }
  void Clear();

 private:
  friend class ExtLV;
  explicit ListItems(ExtLV& owner) : owner_(owner) {}
  ExtLV& owner_;
  std::vector<std::unique_ptr<ListItem>> items_;
};

class ColumnHeaders {
 public:
  // widthTwips: converted to pixels at 15 twips to a pixel, rounded.
  void Add(const QString& text, double widthTwips);
  int Count() const;
  void Clear();

 private:
  friend class ExtLV;
  explicit ColumnHeaders(ExtLV& owner) : owner_(owner) {}
  ExtLV& owner_;
};

class ExtLV : public QTableWidget {
  Q_OBJECT

 public:
  explicit ExtLV(QWidget* parent = nullptr);
  ~ExtLV() override;

  ColumnHeaders& columnHeaders() { return columns_; }
  ListItems& listItems() { return items_; }

  // The cell the operator last pressed (or moved to with the keyboard).
  int CurrentCellColumn() const { return currentColumn_; }
  ListItem* CurrentCellRow() const;

  // How the operator ended an edit: the next and previous endings confirm
  // and then move the focus on.
  enum class EditEnding { Confirm, Cancel, ConfirmAndNext, ConfirmAndPrevious };

  // Opens the in-place editor over the current cell, filled with text. Does
  // nothing without a current row.
  void BeginEdit(const QString& text);
  // Closes an open editor without raising EditEnd.
  void CancelEdit() { FinishEdit(false); }
  // The open editor, or null.
  QLineEdit* Editor() const { return editor_; }

  void SetTitleHeightTwips(int twips);
  int TitleHeightTwips() const { return titleHeightTwips_; }
  // The rows the list's height is meant to show, 0 for all of them; the
  // rest are reached by scrolling.
  void SetShownRows(int rows);

 signals:
  void ItemMouseEvent(tb::platform::ListItem* row, int button, int flag);
  void EditEnd(const QString& oldText, const QString& newText);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  friend class ListItem;
  friend class ListItems;
  friend class ColumnHeaders;
  bool Hit(QMouseEvent* event, int& row, int& column) const;
  void MakeCurrent(int row, int column);
  void EndEdit(EditEnding ending);
  void FinishEdit(bool confirmed);
  void PlaceEditor();
  void FitRows();

  ColumnHeaders columns_{*this};
  ListItems items_{*this};
  int currentColumn_ = 0;
  int currentRow_ = -1;
  int editRow_ = -1;
  int editColumn_ = 0;
  QString editOldText_;
  QPointer<QLineEdit> editor_;
  int titleHeightTwips_ = 255;
  int shownRows_ = 0;
};

}  // namespace tb::platform

#include "platform/extlv/extlv.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>
#include <functional>

namespace tb::platform {

namespace {

int TwipsToPixels(double twips) {
  if (!std::isfinite(twips) || twips <= 0) return 0;
  return static_cast<int>(std::nearbyint(std::min(twips, 1e7) / 15.0));
}

// Mouse buttons as the control reports them.
int ButtonCode(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return 1;
    case Qt::RightButton:
      return 2;
    case Qt::MiddleButton:
      return 4;
    default:
      return 0;
  }
}

// The editor's keys: Enter confirms, Escape cancels (the key would
// otherwise reach the window, which may close on it), Tab and Shift+Tab
// confirm and go on to the next or previous control. Losing the focus
// confirms.
class EditorKeys final : public QObject {
 public:
  EditorKeys(QObject* parent, std::function<void(ExtLV::EditEnding)> finish)
      : QObject(parent), finish_(std::move(finish)) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      const bool plainTab = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
      switch (key->key()) {
        case Qt::Key_Escape:
          finish_(ExtLV::EditEnding::Cancel);
          return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
          finish_(ExtLV::EditEnding::Confirm);
          return true;
        case Qt::Key_Tab:
          if (!plainTab) break;
          finish_(key->modifiers() & Qt::ShiftModifier ? ExtLV::EditEnding::ConfirmAndPrevious
                                                       : ExtLV::EditEnding::ConfirmAndNext);
          return true;
        case Qt::Key_Backtab:
          if (!plainTab) break;
          finish_(ExtLV::EditEnding::ConfirmAndPrevious);
          return true;
        default:
          break;
      }
    } else if (event->type() == QEvent::FocusOut) {
      finish_(ExtLV::EditEnding::Confirm);
    }
    return false;
  }

 private:
  std::function<void(ExtLV::EditEnding)> finish_;
};

}  // namespace

QString ListItem::SubItem(int index) const {
  const QTableWidgetItem* cell = owner_.item(row_, index);
  return cell != nullptr ? cell->text() : QString();
}

void ListItem::SetSubItem(int index, const QString& text) {
  if (index < 0 || index >= owner_.columnCount()) return;
  QTableWidgetItem* cell = owner_.item(row_, index);
  if (cell == nullptr) {
    cell = new QTableWidgetItem;
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    owner_.setItem(row_, index, cell);
  }
  cell->setText(text);
}

ListItem* ListItems::Add(const QString& key, const QString& text) {
  for (const auto& existing : items_)
    if (existing->Key() == key) return nullptr;
  const int row = owner_.rowCount();
  owner_.insertRow(row);
  owner_.FitRows();
  for (int column = 0; column < owner_.columnCount(); ++column) {
    auto* cell = new QTableWidgetItem;
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    owner_.setItem(row, column, cell);
  }
  items_.push_back(std::unique_ptr<ListItem>(new ListItem(owner_, key, row)));
  items_.back()->SetText(text);
  return items_.back().get();
}

ListItem* ListItems::Item(int position) const {
  if (position < 1 || position > Count()) return nullptr;
  return items_[static_cast<std::size_t>(position - 1)].get();
}

void ListItems::Clear() {
  owner_.FinishEdit(false);
  items_.clear();
  owner_.setRowCount(0);
  owner_.currentRow_ = -1;
}

void ColumnHeaders::Add(const QString& text, double widthTwips) {
  const int column = owner_.columnCount();
  owner_.insertColumn(column);
  owner_.setHorizontalHeaderItem(column, new QTableWidgetItem(text));
  owner_.setColumnWidth(column, TwipsToPixels(widthTwips));
}

int ColumnHeaders::Count() const { return owner_.columnCount(); }

void ColumnHeaders::Clear() {
  owner_.FinishEdit(false);
  owner_.setColumnCount(0);
}

ExtLV::ExtLV(QWidget* parent) : QTableWidget(parent) {
  // Report view with full-row selection, grid lines and several rows
  // selectable; cells change only through BeginEdit and EditEnd.
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setShowGrid(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab and Shift+Tab go on to the window's next control; the arrow keys
  // move the current cell.
  setTabKeyNavigation(false);
  setWordWrap(false);
  verticalHeader()->hide();
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // Verdana where the desktop has it; otherwise a narrow sans serif, so that
  // the header texts fit columns sized for Verdana.
  QFont font;
  font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans Condensed")});
  font.setPointSizeF(8.25);
  font.setWeight(QFont::Normal);
  setFont(font);
  horizontalHeader()->setFont(font);
  verticalHeader()->setMinimumSectionSize(1);
  FitRows();
  SetTitleHeightTwips(titleHeightTwips_);
  // The selection stays visible when the list loses the focus.
  QPalette pal = palette();
  pal.setColor(QPalette::Inactive, QPalette::Highlight,
               pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
               pal.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(pal);

  connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
    if (row >= 0) {
      currentRow_ = row;
      currentColumn_ = column;
    }
  });
}

ExtLV::~ExtLV() {
  // Deleted here, while the list is whole: the editor's focus loss on
  // destruction must find editor_ already empty and report nothing.
  QLineEdit* editor = editor_;
  editor_ = nullptr;
  delete editor;
}

ListItem* ExtLV::CurrentCellRow() const { return items_.Item(currentRow_ + 1); }

void ExtLV::SetTitleHeightTwips(int twips) {
  titleHeightTwips_ = twips;
  horizontalHeader()->setFixedHeight(TwipsToPixels(twips));
}

bool ExtLV::Hit(QMouseEvent* event, int& row, int& column) const {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (!index.isValid()) return false;
  row = index.row();
  column = index.column();
  return true;
}

void ExtLV::mousePressEvent(QMouseEvent* event) {
  int row = -1;
  int column = 0;
  const bool hit = Hit(event, row, column);
  if (hit) {
    currentRow_ = row;
    currentColumn_ = column;
  }
  QTableWidget::mousePressEvent(event);
  if (hit) emit ItemMouseEvent(items_.Item(row + 1), ButtonCode(event->button()), 0);
}

void ExtLV::mouseDoubleClickEvent(QMouseEvent* event) {
  int row = -1;
  int column = 0;
  if (!Hit(event, row, column)) return;
  MakeCurrent(row, column);
  emit ItemMouseEvent(items_.Item(row + 1), ButtonCode(event->button()), 1);
}

void ExtLV::BeginEdit(const QString& text) {
  if (CurrentCellRow() == nullptr || currentColumn_ < 0 || currentColumn_ >= columnCount()) return;
  FinishEdit(false);
  editRow_ = currentRow_;
  editColumn_ = currentColumn_;
  const QTableWidgetItem* cell = item(editRow_, editColumn_);
  editOldText_ = cell != nullptr ? cell->text() : QString();
  auto* editor = new QLineEdit(viewport());
  editor->setObjectName(QStringLiteral("ExtLVEditor"));
  editor->setFrame(true);
  editor->setText(text);
  editor->selectAll();
  editor->installEventFilter(
      new EditorKeys(editor, [this](EditEnding ending) { EndEdit(ending); }));
  editor_ = editor;
  PlaceEditor();
  editor->show();
  editor->setFocus(Qt::OtherFocusReason);
}

// The table's own current index follows too, so that the arrow keys start
// from the cell the control reports.
void ExtLV::MakeCurrent(int row, int column) {
  if (currentRow() != row || currentColumn() != column) setCurrentCell(row, column);
  currentRow_ = row;
  currentColumn_ = column;
}

void ExtLV::EndEdit(EditEnding ending) {
  FinishEdit(ending != EditEnding::Cancel);
  // Unless the handler of EditEnd took the focus elsewhere (a message).
  if (hasFocus() && ending != EditEnding::Confirm && ending != EditEnding::Cancel)
    focusNextPrevChild(ending == EditEnding::ConfirmAndNext);
}

void ExtLV::FinishEdit(bool confirmed) {
  if (editor_ == nullptr) return;
  // Forget the editor before anything else: the handler of EditEnd may move
  // the focus (a message box), which would report the same edit again.
  QLineEdit* editor = editor_;
  editor_ = nullptr;
  const QString newText = editor->text();
  // A focus widget that hides hands the focus on to the next control in the
  // chain; for a table that takes it like a Tab key, it would move the
  // current cell. So the list takes the focus back first, when the editor
  // holds it (also in a window that is not active just now).
  if (editor->window()->focusWidget() == editor) setFocus(Qt::OtherFocusReason);
  editor->hide();
  editor->deleteLater();
  // The handler of EditEnd reads the current cell: it is the edited one,
  // whatever the operator clicked to end the edit.
  MakeCurrent(editRow_, editColumn_);
  if (confirmed) emit EditEnd(editOldText_, newText);
}

void ExtLV::PlaceEditor() {
  if (editor_ == nullptr) return;
  editor_->setGeometry(visualRect(model()->index(editRow_, editColumn_)));
}

void ExtLV::scrollContentsBy(int dx, int dy) {
  QTableWidget::scrollContentsBy(dx, dy);
  PlaceEditor();
}

void ExtLV::resizeEvent(QResizeEvent* event) {
  QTableWidget::resizeEvent(event);
  FitRows();
  PlaceEditor();
}

void ExtLV::changeEvent(QEvent* event) {
  QTableWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) FitRows();
}

// Rows are as tall as the text plus 2 px, but give up those 2 px where that
// lets the rows the list is sized for fit its height: such a list then
// shows them whole, with any font whose text fits, and scrolls only to the
// rows beyond.
void ExtLV::FitRows() {
  const int text = fontMetrics().height();
  int height = text + 2;
  int fitted = rowCount();
  if (shownRows_ > 0) fitted = std::min(fitted, shownRows_);
  if (fitted > 0) height = std::clamp(viewport()->height() / fitted, text, height);
  verticalHeader()->setDefaultSectionSize(height);
}

void ExtLV::SetShownRows(int rows) {
  shownRows_ = std::max(rows, 0);
  FitRows();
}

}  // namespace tb::platform

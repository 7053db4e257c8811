#include "host/session/operator_input.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace tbhost {

MessageBoxWatcher::MessageBoxWatcher(QStringList& texts) : texts_(texts) {
  timer_.setInterval(25);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
  timer_.start();
}

void MessageBoxWatcher::Poll() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr || !box->isVisible() || box == handling_) return;
  handling_ = box;
  texts_ << box->text();
  if (QAbstractButton* ok = box->button(QMessageBox::Ok))
    QTest::mouseClick(ok, Qt::LeftButton);
  else
    box->accept();
  handling_ = nullptr;
}

bool PickEntry(QComboBox* combo, int index) {
  if (combo == nullptr || index < 0 || index >= combo->count()) return false;
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  if (WaitFor<QAbstractItemView>([view] { return view->isVisible() ? view : nullptr; }, 1000)) {
    const QModelIndex entry = view->model()->index(index, combo->modelColumn());
    view->scrollTo(entry);
    const QPoint at = view->visualRect(entry).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    Settle();
  }
  if (view->isVisible()) combo->hidePopup();
  return combo->currentIndex() == index;
}

QPushButton* Button(QWidget* window, const char* name) {
  return window->findChild<QPushButton*>(QString::fromLatin1(name));
}

int ColumnWithHeader(const QAbstractItemView* list, const QString& header) {
  const QAbstractItemModel* model = list->model();
  if (model == nullptr) return -1;
  for (int column = 0; column < model->columnCount(); ++column)
    if (model->headerData(column, Qt::Horizontal).toString() == header) return column;
  return -1;
}

bool TypeIntoCell(QAbstractItemView* list, int row, int column, const QString& text) {
  const QModelIndex cell = list->model()->index(row, column);
  if (!cell.isValid()) return false;
  list->scrollTo(cell);
  const QPoint at = list->visualRect(cell).center();
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  auto* editor = WaitFor<QLineEdit>(
      [list] {
        for (QLineEdit* e : list->findChildren<QLineEdit*>())
          if (e->isVisible()) return e;
        return static_cast<QLineEdit*>(nullptr);
      },
      2000);
  if (editor == nullptr) return false;
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(editor, Qt::Key_Backspace);
  QTest::keyClicks(editor, text);
  QTest::keyClick(editor, Qt::Key_Return);
  Settle();
  return list->model()->data(cell).toString() == text;
}

bool TypeInto(QLineEdit* field, const QString& text) {
  if (field == nullptr) return false;
  QTest::mouseClick(field, Qt::LeftButton, {}, field->rect().center());
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, text);
  return true;
}

}  // namespace tbhost

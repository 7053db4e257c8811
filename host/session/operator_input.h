// What an operator's hands do in the plug-in's windows, done with real mouse
// and key events through the windows: waiting for a window, picking an entry
// of a drop-down list, typing into a cell, reading and confirming message
// boxes.
#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>

class QAbstractItemView;
class QComboBox;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QWidget;

class QLineEdit;

namespace tbhost {

inline constexpr int kWaitMs = 5000;  // for a window or editor to turn up
inline constexpr int kSettleMs = 30;  // after a click, for the window to react

// Spins the event loop until `found` gives non-null or the time is up.
template <class T>
T* WaitFor(const std::function<T*()>& found, int timeoutMs = kWaitMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (true) {
    if (T* t = found()) return t;
    if (deadline.hasExpired()) return nullptr;
    QTest::qWait(10);
  }
}

inline void Settle(int ms = kSettleMs) { QTest::qWait(ms); }

// The plug-in's message boxes are modal; an operator reads them and presses
// OK. This does the same and keeps the texts.
class MessageBoxWatcher {
 public:
  explicit MessageBoxWatcher(QStringList& texts);

 private:
  void Poll();

  QStringList& texts_;
  QTimer timer_;
  QMessageBox* handling_ = nullptr;
};

// An operator's pick in a drop-down list: open it, click the entry.
bool PickEntry(QComboBox* combo, int index);

QPushButton* Button(QWidget* window, const char* name);

// The list's column whose header reads `header`; -1 when there is none.
int ColumnWithHeader(const QAbstractItemView* list, const QString& header);

// Types `text` into one cell of a list: double-click the cell, replace the
// editor's text, confirm with Enter. True when the cell then holds `text`.
bool TypeIntoCell(QAbstractItemView* list, int row, int column, const QString& text);

// Clicks into the field, selects what it holds and types over it; false
// when there is no field.
bool TypeInto(QLineEdit* field, const QString& text);

}  // namespace tbhost

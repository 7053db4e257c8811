// Helpers for driving the windows headless: a message recorder, finding
// controls by objectName, and the operator's picks and clicks.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <string>
#include <vector>

#include "follow/follow.h"

namespace tb::testing {

class RecordingSink final : public MessageSink {
 public:
  std::vector<std::string> shown;
  void Show(const std::string& text) override { shown.push_back(text); }
};

template <class T>
T* Control(const QWidget& window, const char* name) {
  T* found = window.findChild<T*>(QString::fromUtf8(name));
  EXPECT_NE(found, nullptr) << "no control " << name;
  return found;
}

// Picks an entry the way the operator does: opens the list and clicks it.
inline void PickEntry(QComboBox* list, int position) {
  ASSERT_NE(list, nullptr);
  ASSERT_LT(position, list->count());
  list->showPopup();
  QAbstractItemView* view = list->view();
  const QModelIndex entry = view->model()->index(position, 0);
  // A long list shows part of its entries: the wheel brings the entry in.
  for (int turn = 0; turn < list->count(); ++turn) {
    const QRect place = view->visualRect(entry);
    if (place.top() >= 0 && place.bottom() < view->viewport()->height()) break;
    const QPoint at = view->viewport()->rect().center();
    QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), {}, {0, place.top() < 0 ? 120 : -120},
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
  }
  const QRect place = view->visualRect(entry);
  EXPECT_TRUE(view->viewport()->rect().contains(place)) << "entry " << position << " out of sight";
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, place.center());
  if (view->isVisible()) list->hidePopup();
}

// A double-click with any button. QTest's own sends the second press alone
// and leaves its button held for every later event; a scroll bar then
// ignores a left click as a press with two buttons. The hand lets go.
inline void DoubleClick(QWidget* widget, Qt::MouseButton button, QPoint at) {
  QTest::mouseDClick(widget, button, {}, at);
  QTest::mouseRelease(widget, button, {}, at);
}

inline void Click(QWidget* control) {
  ASSERT_NE(control, nullptr);
  QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
}

}  // namespace tb::testing

// Helpers for driving the windows headless: a message recorder, finding
// controls by objectName, and the operator's picks and clicks.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QTest>
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
  const QRect place = view->visualRect(view->model()->index(position, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, place.center());
  if (view->isVisible()) list->hidePopup();
}

inline void Click(QWidget* control) {
  ASSERT_NE(control, nullptr);
  QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
}

}  // namespace tb::testing

// The list control stand-in: the uses the setup window relies on.
#include "platform/extlv/extlv.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "ui_test_support.h"

namespace tb::platform {
namespace {

class ExtLVTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list.resize(401, 81);
    list.columnHeaders().Add("Gerät", 1809.811);
    list.columnHeaders().Add("Pan Channel", 1039.858);
    list.columnHeaders().Add("Tilt Channel", 1039.858);
    for (int i = 1; i <= 4; ++i) {
      ListItem* row = list.listItems().Add(QString("Item%1").arg(i), QString("Dev%1").arg(i));
      row->SetSubItem(1, QString::number(10 * i));
      row->SetSubItem(2, QString::number(10 * i + 1));
    }
    list.show();
  }

  QPoint Cell(int row, int column) {
    return list.visualRect(list.model()->index(row, column)).center();
  }

  ExtLV list;
};

TEST_F(ExtLVTest, ColumnsTakeTwipWidthsAndRowsKeepKeyTextAndSubItems) {
  ASSERT_EQ(list.columnHeaders().Count(), 3);
  EXPECT_EQ(list.columnWidth(0), 121);
  EXPECT_EQ(list.columnWidth(1), 69);
  EXPECT_EQ(list.horizontalHeaderItem(2)->text(), "Tilt Channel");
  ASSERT_EQ(list.listItems().Count(), 4);
  ListItem* second = list.listItems().Item(2);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Key(), "Item2");
  EXPECT_EQ(second->Text(), "Dev2");
  EXPECT_EQ(second->SubItem(1), "20");
  EXPECT_EQ(second->SubItem(2), "21");
  EXPECT_EQ(second->SubItem(3), "");  // no such column
  second->SetText("Moving 2");
  second->SetSubItem(2, "x");
  EXPECT_EQ(list.item(1, 0)->text(), "Moving 2");
  EXPECT_EQ(list.item(1, 2)->text(), "x");
  EXPECT_EQ(list.listItems().Item(0), nullptr);
  EXPECT_EQ(list.listItems().Item(5), nullptr);
  EXPECT_EQ(list.listItems().Add("Item3", "again"), nullptr);
  EXPECT_EQ(list.listItems().Count(), 4);
}

TEST_F(ExtLVTest, MouseEventsCarryRowButtonAndDoubleClickFlag) {
  struct Case {
    Qt::MouseButton button;
    bool doubleClick;
    int row, column;
    int code, flag;
  } cases[] = {
      {Qt::LeftButton, true, 1, 1, 1, 1},
      {Qt::LeftButton, false, 2, 0, 1, 0},
      {Qt::RightButton, true, 3, 2, 2, 1},
      {Qt::MiddleButton, false, 0, 2, 4, 0},
  };
  for (const Case& c : cases) {
    QSignalSpy spy(&list, &ExtLV::ItemMouseEvent);
    if (c.doubleClick) {
      tb::testing::DoubleClick(list.viewport(), c.button, Cell(c.row, c.column));
    } else {
      QTest::mouseClick(list.viewport(), c.button, {}, Cell(c.row, c.column));
    }
    ASSERT_FALSE(spy.isEmpty());
    const QList<QVariant> last = spy.takeLast();
    EXPECT_EQ(last.at(0).value<ListItem*>(), list.listItems().Item(c.row + 1));
    EXPECT_EQ(last.at(1).toInt(), c.code);
    EXPECT_EQ(last.at(2).toInt(), c.flag);
    EXPECT_EQ(list.CurrentCellColumn(), c.column);
    EXPECT_EQ(list.CurrentCellRow(), list.listItems().Item(c.row + 1));
  }
}

TEST_F(ExtLVTest, ClicksBelowTheRowsRaiseNothing) {
  list.resize(401, 400);
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, Cell(1, 1));
  QSignalSpy spy(&list, &ExtLV::ItemMouseEvent);
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, QPoint(20, 350));
  EXPECT_TRUE(spy.isEmpty());
  EXPECT_EQ(list.CurrentCellRow(), list.listItems().Item(2));
}

TEST_F(ExtLVTest, EditorConfirmsWithEnterOrFocusLossAndCancelsWithEscape) {
  struct Case {
    const char* how;
    bool raised;
  } cases[] = {{"enter", true}, {"escape", false}, {"focus", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, Cell(1, 2));
    QSignalSpy spy(&list, &ExtLV::EditEnd);
    list.BeginEdit("21");
    QLineEdit* editor = list.Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "21");
    EXPECT_EQ(editor->geometry(), list.visualRect(list.model()->index(1, 2)));
    editor->setText("33");
    const std::string how = c.how;
    if (how == "enter") QTest::keyClick(editor, Qt::Key_Return);
    if (how == "escape") QTest::keyClick(editor, Qt::Key_Escape);
    if (how == "focus") {
      QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
      QCoreApplication::sendEvent(editor, &out);
    }
    EXPECT_EQ(list.Editor(), nullptr);
    ASSERT_EQ(spy.size(), c.raised ? 1 : 0);
    if (c.raised) {
      EXPECT_EQ(spy.at(0).at(0).toString(), "21");
      EXPECT_EQ(spy.at(0).at(1).toString(), "33");
    }
    // The control leaves the cell to the handler of EditEnd.
    EXPECT_EQ(list.listItems().Item(2)->SubItem(2), "21");
  }
}

// Rows are as tall as the text needs plus a little room; in a list sized
// for its rows (the setup window's four in 81 px, a 17 px title) they give
// up that room rather than bring a scroll bar, as a wider font such as
// Verdana would need.
// A list of sixteen rows sized for four gives its rows the height the four
// have in a list of four, and scrolls to the rest.
TEST_F(ExtLVTest, RowsFitTheListWhenTheirTextCan) {
  ExtLV longer;
  longer.resize(list.size());
  longer.columnHeaders().Add("Gerät", 1809.811);
  for (int i = 1; i <= 16; ++i) longer.listItems().Add(QString("Item%1").arg(i), "Dev");
  longer.SetShownRows(4);
  longer.show();
  for (int pixels = 9; pixels <= 18; ++pixels) {
    SCOPED_TRACE(::testing::Message() << pixels << " px");
    QFont font = list.font();
    font.setPixelSize(pixels);
    list.setFont(font);
    longer.setFont(font);
    QCoreApplication::processEvents();
    ASSERT_EQ(longer.viewport()->height(), list.viewport()->height());
    for (int row = 0; row < 16; ++row) EXPECT_EQ(longer.rowHeight(row), list.rowHeight(0)) << row;
    EXPECT_TRUE(longer.verticalScrollBar()->isVisible());
    const int text = list.fontMetrics().height();
    const int room = list.viewport()->height();
    const bool fits = 4 * text <= room;
    for (int row = 0; row < 4; ++row) {
      EXPECT_GE(list.rowHeight(row), text);
      EXPECT_LE(list.rowHeight(row), text + 2);
    }
    EXPECT_EQ(list.rowViewportPosition(3) + list.rowHeight(3) <= room, fits);
    EXPECT_EQ(list.verticalScrollBar()->isVisible(), !fits);
    if (4 * (text + 2) <= room) {
      EXPECT_EQ(list.rowHeight(0), text + 2);
    }
  }
}

TEST_F(ExtLVTest, ListDestroyedWithAnOpenEditorReportsNothing) {
  auto* other = new ExtLV;
  other->columnHeaders().Add("A", 1500);
  other->listItems().Add("Item1", "a");
  other->show();
  QTest::mouseClick(other->viewport(), Qt::LeftButton, {},
                    other->visualRect(other->model()->index(0, 0)).center());
  other->BeginEdit("a");
  ASSERT_NE(other->Editor(), nullptr);
  other->Editor()->setFocus();
  int raised = 0;
  QObject::connect(other, &ExtLV::EditEnd, [&] { ++raised; });
  delete other;
  EXPECT_EQ(raised, 0);
}

}  // namespace
}  // namespace tb::platform

// The device setup window: loading from the settings file, in-place edits
// through the list, OK with the leading-number rule, the close box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "core/temp_dir.h"
#include "platform/extlv/extlv.h"
#include "rig/settings_file.h"
#include "ui/frm_tb_config.h"
#include "ui_test_support.h"

namespace tb::testing {
namespace {

using platform::ExtLV;
using ui::frmTBConfig;

class ConfigWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    path = dir.filePath("TrailBeam.ini").toStdString();
  }

  // Loads and shows the window without waiting for it to close, as the
  // active window, so that keys and clicks move the focus as they do for
  // the operator.
  frmTBConfig& Open() {
    window = std::make_unique<frmTBConfig>(ui::WindowContext{rig, sink, path});
    window->Form_Load();
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return *window;
  }

  ExtLV* List() { return Control<ExtLV>(*window, "lvConf"); }
  QPoint Cell(int row, int column) {
    return List()->visualRect(List()->model()->index(row, column)).center();
  }
  std::vector<std::vector<std::string>> Rows() {
    std::vector<std::vector<std::string>> rows;
    for (int i = 1; i <= List()->listItems().Count(); ++i) {
      const platform::ListItem* row = List()->listItems().Item(i);
      rows.push_back({row->Key().toStdString(), row->Text().toStdString(),
                      row->SubItem(1).toStdString(), row->SubItem(2).toStdString(),
                      row->SubItem(3).toStdString(), row->SubItem(4).toStdString()});
    }
    return rows;
  }
  // Double-clicks a cell, types the text (the editor opens with its text
  // selected) and presses Enter.
  void Type(int row, int column, const QString& text) {
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, Cell(row, column));
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(editor->objectName().toStdString(), "ExtLVEditor");
    if (text.isEmpty()) QTest::keyClick(editor, Qt::Key_Delete);
    // Characters beyond ASCII have no key of their own in QTest; they come
    // as key events that carry only their text, as from a keyboard layout.
    for (const QChar c : text) {
      if (c.unicode() < 0x80)
        QTest::keyClick(editor, c.toLatin1());
      else
        QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QTest::keyClick(editor, Qt::Key_Return);
  }
  // Double-clicks a cell and confirms the editor with a text that cannot be
  // typed, as a paste brings it.
  void Edit(int row, int column, const QString& text) {
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, Cell(row, column));
    QLineEdit* editor = List()->Editor();
    ASSERT_NE(editor, nullptr);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
  }
  void PressOK() { Click(Control<QPushButton>(*window, "cmdOK")); }
  // The row (0 first) lies wholly in the part of the list that shows rows.
  bool Shown(int row) {
    const QRect cell = List()->visualRect(List()->model()->index(row, 0));
    return cell.isValid() && cell.top() >= 0 && cell.bottom() < List()->viewport()->height();
  }
  // Turns the mouse wheel over the rows, one notch at a time, down for
  // negative notches.
  void Wheel(int notches) {
    const QPoint at = List()->viewport()->rect().center();
    for (int i = 0; i < std::abs(notches); ++i) {
      QWheelEvent wheel(at, List()->viewport()->mapToGlobal(at), {}, {0, notches < 0 ? -120 : 120},
                        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(List()->viewport(), &wheel);
    }
  }
  // Wheels towards the row until it shows; false if it never does.
  bool ScrollTo(int row) {
    for (int i = 0; i < kDeviceCount && !Shown(row); ++i)
      Wheel(List()->visualRect(List()->model()->index(row, 0)).top() < 0 ? 1 : -1);
    return Shown(row);
  }
  // Any other row that shows just now.
  int OtherShownRow(int row) {
    for (int other = 0; other < kDeviceCount; ++other)
      if (other != row && Shown(other)) return other;
    return -1;
  }
  QLineEdit* Field(const char* name) { return Control<QLineEdit>(*window, name); }
  // Clicks into a field, selects what it holds and types over it.
  void TypeField(const char* name, const char* text) {
    QLineEdit* field = Field(name);
    ASSERT_NE(field, nullptr);
    QTest::mouseClick(field, Qt::LeftButton, {}, field->rect().center());
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
  }

  QTemporaryDir dir;
  std::string path;
  RigStore rig;
  RecordingSink sink;
  std::unique_ptr<frmTBConfig> window;
};

using Table = std::vector<std::vector<std::string>>;

// The first four rows as given, then the later devices' rows as an
// unnamed device shows them.
Table WithLaterRows(Table rows) {
  for (int i = static_cast<int>(rows.size()) + 1; i <= kDeviceCount; ++i)
    rows.push_back({"Item" + std::to_string(i), "", "0", "0", "540", "270"});
  return rows;
}

TEST_F(ConfigWindowTest, FirstOpeningWithoutFileShowsPlaceholdersAndOKStoresThem) {
  Open();
  EXPECT_EQ(Control<QLabel>(*window, "lblConf")->text().toStdString(),
            "Weil noch keine Geräteinfos von ORVN gelesen werden können, müssen diese hier "
            "konfiguriert werden. Tragen Sie hier bis zu 4 Geräte ein. Klicken Sie zweimal in das "
            "zu ändernde Feld.");
  ExtLV* list = List();
  ASSERT_EQ(list->columnCount(), 7);
  const char* headers[] = {"Gerät",      "Pan Channel", "Tilt Channel", "Pan range",
                           "Tilt range", "Pan fine",    "Tilt fine"};
  for (int column = 0; column < 7; ++column)
    EXPECT_EQ(list->horizontalHeaderItem(column)->text().toStdString(), headers[column]);
  EXPECT_EQ(Rows(), WithLaterRows({{"Item1", "Device1", "0", "0", "540", "270"},
                                   {"Item2", "Device2", "0", "0", "540", "270"},
                                   {"Item3", "", "0", "0", "540", "270"},
                                   {"Item4", "", "0", "0", "540", "270"}}));
  EXPECT_EQ(window->focusWidget(), list);

  PressOK();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(rig.DeviceTable[0].Name, "Device1");
  EXPECT_EQ(rig.DeviceTable[1].Name, "Device2");
  EXPECT_EQ(rig.DeviceTable[2].Name, "");
  EXPECT_EQ(rig.DeviceTable[3].PanChannel, 0);
  EXPECT_EQ(rig.DeviceTable[3].PanRange, 540);
  EXPECT_EQ(rig.DeviceTable[3].TiltRange, 270);
  ASSERT_TRUE(QFile::exists(QString::fromStdString(path)));
  {
    // Default ranges add nothing to the device lines.
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("TrailBeam.ini\r\nDevice1,0,0\r\n0,-1,-1\r\n"));
    // The later devices' empty rows add nothing after the 25 lines.
    EXPECT_EQ(bytes.count("\r\n"), 25);
  }
  EXPECT_TRUE(sink.shown.empty());

  // Reopening shows what was saved, read back from the file.
  rig.DeviceTable = {};
  Open();
  EXPECT_EQ(Rows()[0][1], "Device1");
  EXPECT_EQ(rig.DeviceTable[1].Name, "Device2");
}

TEST_F(ConfigWindowTest, NamedDevicesShowTheirChannelsUnnamedOnesZero) {
  rig.DeviceTable = {DeviceRecord{"Spot", 5, -6, 630, 265}, DeviceRecord{"", 7, 8, 360, 180},
                     DeviceRecord{"  ", 9, 10}, DeviceRecord{"", 11, 12, 1, 1080}};
  Open();
  EXPECT_EQ(Rows(), WithLaterRows({{"Item1", "Spot", "5", "-6", "630", "265"},
                                   {"Item2", "Device2", "0", "0", "540", "270"},
                                   {"Item3", "  ", "9", "10", "540", "270"},
                                   {"Item4", "", "0", "0", "540", "270"}}));
}

TEST_F(ConfigWindowTest, OpeningReloadsCalibrationFromTheFile) {
  rig.DeviceTable[0] = {"Spot", 1, 2};
  *rig.Calibrated(1) = VTrue;
  ASSERT_FALSE(save_config(rig, path));  // device 1 calibrated, all values 0
  *rig.Pan(1, 1) = 99;                   // taken later, never saved
  Open();
  window->close();
  EXPECT_EQ(*rig.Pan(1, 1), 0);
}

TEST_F(ConfigWindowTest, LeftDoubleClickEditsTheCellAndOnlyTheList) {
  rig.DeviceTable = {DeviceRecord{"Spot", 5, 6}, DeviceRecord{"Wash", 7, 8}, {}, {}};
  Open();
  QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, Cell(1, 1));
  ASSERT_NE(List()->Editor(), nullptr);
  EXPECT_EQ(List()->Editor()->text(), "7");
  QTest::keyClicks(List()->Editor(), "12");
  QTest::keyClick(List()->Editor(), Qt::Key_Return);
  EXPECT_EQ(List()->listItems().Item(2)->SubItem(1), "12");
  EXPECT_EQ(rig.DeviceTable[1].PanChannel, 7);

  Type(1, 0, " New name ");
  EXPECT_EQ(List()->listItems().Item(2)->Text(), " New name ");
  EXPECT_EQ(rig.DeviceTable[1].Name, "Wash");
}

// Every way an operator can end an edit, in every column: the typed text
// lands in the edited cell or nowhere, no other cell changes, and the
// current cell stays where the edit started.
TEST_F(ConfigWindowTest, AnEditEndsInTheCellItStartedInHoweverItEnds) {
  enum class End { Key, ClickOtherCell, ClickOK, OtherWindow, CloseBox };
  struct Ending {
    const char* what;
    End how;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* typed;
    bool kept;
    const char* focusAfter;  // objectName of the focus widget afterwards
  };
  const Ending endings[] = {
      {"Enter", End::Key, Qt::Key_Return, {}, "42", true, "lvConf"},
      {"keypad Enter", End::Key, Qt::Key_Enter, Qt::KeypadModifier, "42", true, "lvConf"},
      {"Enter without typing", End::Key, Qt::Key_Return, {}, "", true, "lvConf"},
      {"Tab", End::Key, Qt::Key_Tab, {}, "42", true, "txtK1K3"},
      {"Shift+Tab", End::Key, Qt::Key_Backtab, Qt::ShiftModifier, "42", true, "cmdOK"},
      {"Escape", End::Key, Qt::Key_Escape, {}, "42", false, "lvConf"},
      {"click on another cell", End::ClickOtherCell, {}, {}, "42", true, "lvConf"},
      {"click on OK", End::ClickOK, {}, {}, "42", true, nullptr},
      {"focus lost to another window", End::OtherWindow, {}, {}, "42", true, "lvConf"},
      {"close box", End::CloseBox, {}, {}, "42", false, nullptr},
  };
  for (int column = 0; column < 5; ++column) {
    for (int row : {1, 3, 11}) {
      for (const Ending& e : endings) {
        SCOPED_TRACE(::testing::Message() << e.what << ", row " << row << ", column " << column);
        rig.DeviceTable = {DeviceRecord{"Spot", 1, 2, 630, 265}, DeviceRecord{"Wash", 3, 4},
                           DeviceRecord{"Beam", 5, 6, 360, 180}, DeviceRecord{"Fog", 7, 8}};
        rig.DeviceTable[11] = DeviceRecord{"Par", 9, 10, 400, 200};
        Open();
        const Table before = Rows();
        ASSERT_TRUE(ScrollTo(row));
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, Cell(row, column));
        QWidget* editor = QApplication::focusWidget();
        ASSERT_NE(editor, nullptr);
        ASSERT_EQ(editor->objectName().toStdString(), "ExtLVEditor");
        QTest::keyClicks(editor, e.typed);

        int currentRow = row;
        int currentColumn = column;
        QWidget other;
        switch (e.how) {
          case End::Key:
            QTest::keyClick(editor, e.key, e.modifiers);
            break;
          case End::ClickOtherCell:
            currentRow = OtherShownRow(row);
            ASSERT_GE(currentRow, 0);
            currentColumn = (column + 1) % 5;
            QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                              Cell(currentRow, currentColumn));
            break;
          case End::ClickOK:
            PressOK();
            break;
          case End::OtherWindow:
            other.show();
            other.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
            break;
          case End::CloseBox:
            window->close();
            break;
        }
        QCoreApplication::processEvents();

        Table expected = before;
        if (e.kept && *e.typed != 0) expected[row][column + 1] = e.typed;
        EXPECT_EQ(Rows(), expected);
        EXPECT_EQ(List()->Editor(), nullptr);
        EXPECT_EQ(List()->CurrentCellRow(), List()->listItems().Item(currentRow + 1));
        EXPECT_EQ(List()->CurrentCellColumn(), currentColumn);
        if (e.focusAfter != nullptr) {
          ASSERT_NE(QApplication::focusWidget(), nullptr);
          EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), e.focusAfter);
        }
        if (e.how == End::ClickOK) {
          EXPECT_FALSE(window->isVisible());
          for (int i = 0; i < kDeviceCount; ++i) {
            EXPECT_EQ(rig.DeviceTable[i].Name, expected[i][1]);
            EXPECT_EQ(std::to_string(rig.DeviceTable[i].PanChannel), expected[i][2]);
            EXPECT_EQ(std::to_string(rig.DeviceTable[i].TiltChannel), expected[i][3]);
            EXPECT_EQ(std::to_string(rig.DeviceTable[i].PanRange), expected[i][4]);
            EXPECT_EQ(std::to_string(rig.DeviceTable[i].TiltRange), expected[i][5]);
          }
        }
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
}

// A row for every device, as high as four rows were when the list held only
// those: they show whole and the rest are reached by scrolling.
TEST_F(ConfigWindowTest, SixteenRowsOfWhichFourShowAndTheRestScroll) {
  Open();
  ExtLV* list = List();
  ASSERT_EQ(list->listItems().Count(), kDeviceCount);
  for (int i = 1; i <= kDeviceCount; ++i)
    EXPECT_EQ(list->listItems().Item(i)->Key().toStdString(), "Item" + std::to_string(i));
  for (int row = 0; row < 4; ++row) EXPECT_TRUE(Shown(row)) << row;
  EXPECT_FALSE(Shown(4));
  const int text = list->fontMetrics().height();
  EXPECT_EQ(list->rowHeight(0), std::clamp(list->viewport()->height() / 4, text, text + 2));
  EXPECT_TRUE(list->verticalScrollBar()->isVisible());
  EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
}

// The scroll bar, the wheel and the keys each bring a later row into view,
// whose cells then edit as the first rows' do, the editor over the cell.
TEST_F(ConfigWindowTest, EveryWayOfScrollingReachesALaterRowToEdit) {
  enum class Way { ScrollBar, Wheel, ArrowDown, PageDown };
  const struct {
    const char* what;
    Way way;
  } ways[] = {{"scroll bar", Way::ScrollBar},
              {"mouse wheel", Way::Wheel},
              {"arrow down", Way::ArrowDown},
              {"Page Down", Way::PageDown}};
  constexpr int kRow = 11;  // device 12
  for (const auto& w : ways) {
    SCOPED_TRACE(w.what);
    Open();
    ExtLV* list = List();
    QScrollBar* bar = list->verticalScrollBar();
    if (w.way == Way::ArrowDown || w.way == Way::PageDown)
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, Cell(3, 1));
    for (int step = 0; step < 2 * kDeviceCount && !Shown(kRow); ++step) {
      switch (w.way) {
        case Way::ScrollBar:
          // Below the handle, above the arrow: a page down.
          QTest::mouseClick(bar, Qt::LeftButton, {},
                            QPoint(bar->width() / 2, bar->height() - bar->width() - 2));
          break;
        case Way::Wheel:
          Wheel(-1);
          break;
        case Way::ArrowDown:
        case Way::PageDown:
          QTest::keyClick(list, w.way == Way::ArrowDown ? Qt::Key_Down : Qt::Key_PageDown);
          // The row the keys move to always shows.
          ASSERT_NE(list->CurrentCellRow(), nullptr);
          EXPECT_TRUE(Shown(list->CurrentCellRow()->Index() - 1));
          break;
      }
    }
    ASSERT_TRUE(Shown(kRow)) << bar->value() << " of " << bar->maximum();
    EXPECT_GT(bar->value(), 0);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, Cell(kRow, 1));
    ASSERT_NE(list->Editor(), nullptr);
    EXPECT_EQ(list->Editor()->geometry(), list->visualRect(list->model()->index(kRow, 1)));
    EXPECT_EQ(list->Editor()->text(), "0");
    QTest::keyClicks(list->Editor(), "77");
    QTest::keyClick(list->Editor(), Qt::Key_Return);
    EXPECT_EQ(list->listItems().Item(kRow + 1)->SubItem(1), "77");
    EXPECT_EQ(list->CurrentCellRow(), list->listItems().Item(kRow + 1));
    EXPECT_EQ(Rows()[kRow - 1][2], "0");
    EXPECT_EQ(Rows()[kRow + 1][2], "0");
    if (::testing::Test::HasFailure()) return;
  }
}

// An open editor stays over its own cell while the list scrolls, also out
// of sight and back, and its text lands there.
TEST_F(ConfigWindowTest, AnOpenEditorMovesWithItsCellWhenTheListScrolls) {
  for (int row : {0, 11}) {
    SCOPED_TRACE(row);
    Open();
    ExtLV* list = List();
    ASSERT_TRUE(ScrollTo(row));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, Cell(row, 2));
    ASSERT_NE(list->Editor(), nullptr);
    QTest::keyClicks(list->Editor(), "5");
    const QModelIndex cell = list->model()->index(row, 2);
    for (int notches : {-1, -3, 3, 1, 2}) {
      Wheel(notches);
      ASSERT_NE(list->Editor(), nullptr) << notches;
      EXPECT_EQ(list->Editor()->geometry(), list->visualRect(cell)) << notches;
    }
    ASSERT_TRUE(ScrollTo(row));
    QTest::keyClick(list->Editor(), Qt::Key_Return);
    EXPECT_EQ(list->listItems().Item(row + 1)->SubItem(2), "5");
    if (::testing::Test::HasFailure()) return;
  }
}

// The later rows' edits become devices 5 to 16 on OK, are saved after the
// 25 lines and come back at the next opening.
TEST_F(ConfigWindowTest, OKStoresTheLaterRowsAndTheNextOpeningShowsThem) {
  Open();
  ASSERT_TRUE(ScrollTo(15));
  Type(15, 0, "Par 16");
  Type(15, 1, "301");
  Type(15, 2, "302");
  Type(15, 3, "700");
  ASSERT_TRUE(ScrollTo(4));
  Type(4, 0, "Spot 5");
  PressOK();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(sink.shown, std::vector<std::string>{});
  EXPECT_EQ(rig.DeviceTable[15].Name, "Par 16");
  EXPECT_EQ(rig.DeviceTable[15].PanChannel, 301);
  EXPECT_EQ(rig.DeviceTable[15].TiltChannel, 302);
  EXPECT_EQ(rig.DeviceTable[15].PanRange, 700);
  EXPECT_EQ(rig.DeviceTable[4].Name, "Spot 5");
  {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_GT(file.readAll().count("\r\n"), 25);
  }
  rig.DeviceTable = {};
  Open();
  EXPECT_EQ(Rows()[15], (std::vector<std::string>{"Item16", "Par 16", "301", "302", "700", "270"}));
  EXPECT_EQ(Rows()[4][1], "Spot 5");
}

// The window's tab order is the list, the stage's three fields, the follow
// rate, then OK;
// Tab never walks the cells.
TEST_F(ConfigWindowTest, TabGoesFromTheListThroughTheFieldsToOKAndShiftTabBack) {
  Open();
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, Cell(2, 1));
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* focusAfter;
  } steps[] = {
      {Qt::Key_Tab, {}, "txtK1K3"},
      {Qt::Key_Tab, {}, "txtK1K2"},
      {Qt::Key_Tab, {}, "txtHeightChannel"},
      {Qt::Key_Tab, {}, "txtFollowRate"},
      {Qt::Key_Tab, {}, "cmdOK"},
      {Qt::Key_Tab, {}, "lvConf"},
      {Qt::Key_Backtab, Qt::ShiftModifier, "cmdOK"},
      {Qt::Key_Backtab, Qt::ShiftModifier, "txtFollowRate"},
      {Qt::Key_Backtab, Qt::ShiftModifier, "txtHeightChannel"},
  };
  for (const auto& step : steps) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    SCOPED_TRACE(focus->objectName().toStdString() + " -> " + step.focusAfter);
    QTest::keyClick(focus, step.key, step.modifiers);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), step.focusAfter);
    EXPECT_EQ(List()->CurrentCellRow(), List()->listItems().Item(3));
    EXPECT_EQ(List()->CurrentCellColumn(), 1);
  }
  EXPECT_TRUE(window->isVisible());
}

// Enter presses OK only where OK has the focus: on the list it must not
// save and close the window behind the operator's back.
TEST_F(ConfigWindowTest, EnterPressesOKOnlyWhenOKHasTheFocus) {
  const struct {
    bool tabToOK;
    bool closes;
  } cases[] = {{false, false}, {true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tabToOK ? "focus on OK" : "focus on the list");
    QFile::remove(QString::fromStdString(path));
    Open();
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, Cell(0, 1));
    if (c.tabToOK) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(window->isVisible(), !c.closes);
    EXPECT_EQ(QFile::exists(QString::fromStdString(path)), c.closes);
    EXPECT_EQ(List()->Editor(), nullptr);
  }
}

// The stage's fields show what the file holds and OK stores what the
// operator typed with the devices, in the file's extension section.
TEST_F(ConfigWindowTest, StageFieldsShowTheFileAndOKStoresThemWithTheDevices) {
  struct Case {
    const char* name;
    double k1k3, k1k2;
    std::int32_t channel;
    const char* shown[3];
    const char* typed[3];  // null: left as shown
    double k1k3After, k1k2After;
    std::int32_t channelAfter;
    const char* extension;  // the file's lines after line 25
  };
  const Case cases[] = {
      {"nothing given, nothing typed",
       0,
       0,
       0,
       {"", "", ""},
       {nullptr, nullptr, nullptr},
       0,
       0,
       0,
       ""},
      {"given, left alone",
       8.0,
       6.5,
       17,
       {"8.00", "6.50", "17"},
       {nullptr, nullptr, nullptr},
       8.0,
       6.5,
       17,
       "[TrailBeam extension]\r\nStageK1K3=8.00\r\nStageK1K2=6.50\r\nHeightChannel=17\r\n"},
      {"typed with a comma and blanks",
       0,
       0,
       0,
       {"", "", ""},
       {" 12,5 ", "9", "512"},
       12.5,
       9.0,
       512,
       "[TrailBeam extension]\r\nStageK1K3=12.50\r\nStageK1K2=9.00\r\nHeightChannel=512\r\n"},
      {"emptied or zero: not given",
       8.0,
       6.5,
       17,
       {"8.00", "6.50", "17"},
       {"", "0", "0"},
       0,
       0,
       0,
       ""},
      {"smallest and largest",
       0,
       0,
       0,
       {"", "", ""},
       {"0.10", "100", "1"},
       0.1,
       100.0,
       1,
       "[TrailBeam extension]\r\nStageK1K3=0.10\r\nStageK1K2=100.00\r\nHeightChannel=1\r\n"},
  };
  const char* fields[3] = {"txtK1K3", "txtK1K2", "txtHeightChannel"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RigStore saved;
    saved.StageK1K3 = c.k1k3;
    saved.StageK1K2 = c.k1k2;
    saved.HeightChannel = c.channel;
    saved.Device(1)->Name = "Spot";
    ASSERT_FALSE(save_config(saved, path));
    Open();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Field(fields[i])->text().toStdString(), c.shown[i]);
    for (int i = 0; i < 3; ++i)
      if (c.typed[i] != nullptr) TypeField(fields[i], c.typed[i]);
    PressOK();
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_FALSE(window->isVisible());
    EXPECT_DOUBLE_EQ(rig.StageK1K3, c.k1k3After);
    EXPECT_DOUBLE_EQ(rig.StageK1K2, c.k1k2After);
    EXPECT_EQ(rig.HeightChannel, c.channelAfter);
    const std::string bytes = ReadBytes(path);
    std::size_t end = 0;
    for (int line = 0; line < 25; ++line) end = bytes.find("\r\n", end) + 2;
    EXPECT_EQ(bytes.substr(end), c.extension);
    EXPECT_EQ(rig.DeviceTable[0].Name, "Spot");
  }
}

// A field OK cannot take is named in a message; the window stays open with
// every edit, and neither the store nor the file changes until it is put
// right.
TEST_F(ConfigWindowTest, StageFieldsOKCannotTakeAreToldAndNothingIsStored) {
  struct Case {
    const char* field;
    const char* typed;
    const char* message;
  };
  const Case cases[] = {
      {"txtK1K3", "abc", ui::kK1K3Refused},
      {"txtK1K3", "0.05", ui::kK1K3Refused},
      {"txtK1K3", "100.01", ui::kK1K3Refused},
      {"txtK1K3", "8.123", ui::kK1K3Refused},
      {"txtK1K3", "-3", ui::kK1K3Refused},
      {"txtK1K3", "8m", ui::kK1K3Refused},
      {"txtK1K2", "1e2", ui::kK1K2Refused},
      {"txtK1K2", "6.5.1", ui::kK1K2Refused},
      {"txtHeightChannel", "513", ui::kHeightChannelRefused},
      {"txtHeightChannel", "1.5", ui::kHeightChannelRefused},
      {"txtHeightChannel", "-1", ui::kHeightChannelRefused},
      {"txtHeightChannel", "ch 5", ui::kHeightChannelRefused},
      {"txtHeightChannel", "99999999999", ui::kHeightChannelRefused},
      {"txtFollowRate", "30", ui::kFollowRateRefused},
      {"txtFollowRate", "0", ui::kFollowRateRefused},
      {"txtFollowRate", "-10", ui::kFollowRateRefused},
      {"txtFollowRate", "25.0", ui::kFollowRateRefused},
      {"txtFollowRate", "20 Hz", ui::kFollowRateRefused},
      {"txtFollowRate", "040", ui::kFollowRateRefused},
      {"txtFollowRate", "4294967336", ui::kFollowRateRefused},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " \"" + c.typed + "\"");
    RigStore saved;
    saved.StageK1K3 = 8.0;
    saved.HeightChannel = 17;
    saved.FollowRate = 25;
    ASSERT_FALSE(save_config(saved, path));
    const std::string before = ReadBytes(path);
    sink.shown.clear();
    Open();
    Type(0, 1, "33");
    TypeField(c.field, c.typed);
    PressOK();
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0], c.message);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Field(c.field)->text().toStdString(), c.typed);
    EXPECT_EQ(Rows()[0][2], "33");
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_DOUBLE_EQ(rig.StageK1K3, 8.0);
    EXPECT_EQ(rig.HeightChannel, 17);
    EXPECT_EQ(rig.FollowRate, 25);
    EXPECT_EQ(rig.DeviceTable[0].PanChannel, 0);

    TypeField(c.field, "");
    PressOK();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(rig.DeviceTable[0].PanChannel, 33);
    EXPECT_EQ(sink.shown.size(), 1u);
  }
}

// The follow rate shows the file's and OK stores what the operator typed;
// only a rate other than 10 adds a line to the file.
TEST_F(ConfigWindowTest, FollowRateFieldShowsTheFileAndOKStoresIt) {
  struct Case {
    std::int32_t stored;
    const char* shown;
    const char* typed;  // null: left as shown
    std::int32_t after;
    const char* extension;  // the file's lines after line 25
  };
  const Case cases[] = {
      {10, "10", nullptr, 10, ""},
      {25, "25", nullptr, 25, "[TrailBeam extension]\r\nFollowRate=25\r\n"},
      {10, "10", "20", 20, "[TrailBeam extension]\r\nFollowRate=20\r\n"},
      {10, "10", " 40 ", 40, "[TrailBeam extension]\r\nFollowRate=40\r\n"},
      {40, "40", "", 10, ""},
      {20, "20", "10", 10, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.stored) + " typed " + (c.typed ? c.typed : "nothing"));
    RigStore saved;
    saved.FollowRate = c.stored;
    saved.Device(1)->Name = "Spot";
    ASSERT_FALSE(save_config(saved, path));
    Open();
    EXPECT_EQ(Field("txtFollowRate")->text().toStdString(), c.shown);
    if (c.typed != nullptr) TypeField("txtFollowRate", c.typed);
    PressOK();
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(rig.FollowRate, c.after);
    const std::string bytes = ReadBytes(path);
    std::size_t end = 0;
    for (int line = 0; line < 25; ++line) end = bytes.find("\r\n", end) + 2;
    EXPECT_EQ(bytes.substr(end), c.extension);
  }
}

TEST_F(ConfigWindowTest, OtherButtonsAndSingleClicksOpenNoEditor) {
  Open();
  struct Case {
    Qt::MouseButton button;
    bool doubleClick;
  } cases[] = {{Qt::RightButton, true}, {Qt::MiddleButton, true}, {Qt::LeftButton, false}};
  for (const Case& c : cases) {
    if (c.doubleClick) {
      DoubleClick(List()->viewport(), c.button, Cell(0, 1));
    } else {
      QTest::mouseClick(List()->viewport(), c.button, {}, Cell(0, 1));
    }
    EXPECT_EQ(List()->Editor(), nullptr) << c.button;
  }
}

TEST_F(ConfigWindowTest, OKTakesTheLeadingNumberOfEachChannelCell) {
  Open();
  struct Case {
    int row;
    const char* pan;
    const char* tilt;
    std::int32_t panValue, tiltValue;
  } cases[] = {
      {0, "12abc", "abc", 12, 0},
      {1, "", "1 7", 0, 17},
      {2, "2.5", "3.5", 2, 4},
      {3, "-4", "99999999999", -4, 2147483647},
  };
  for (const Case& c : cases) {
    Type(c.row, 1, c.pan);
    Type(c.row, 2, c.tilt);
  }
  PressOK();
  for (const Case& c : cases) {
    EXPECT_EQ(rig.DeviceTable[c.row].PanChannel, c.panValue) << c.pan;
    EXPECT_EQ(rig.DeviceTable[c.row].TiltChannel, c.tiltValue) << c.tilt;
  }
  RigStore back;
  read_config(back, path);
  EXPECT_EQ(back.DeviceTable[3].TiltChannel, 2147483647);
}

TEST_F(ConfigWindowTest, RangesAreEditedLikeChannelsAndLimitedTo1To1080OnOK) {
  rig.DeviceTable = {DeviceRecord{"Spot", 1, 2, 630, 265}, DeviceRecord{"Wash", 3, 4}, {}, {}};
  ASSERT_FALSE(save_config(rig, path));
  Open();
  struct Case {
    int row;
    const char* pan;
    const char* tilt;
    std::int32_t panRange, tiltRange;
  } cases[] = {
      {0, "0", "5000", 1, 1080},
      {1, "630", "265abc", 630, 265},
      {2, "2.5", "", 2, 1},
      {3, "-4", "99999999999", 1, 1080},
  };
  for (const Case& c : cases) {
    Type(c.row, 3, c.pan);
    Type(c.row, 4, c.tilt);
    EXPECT_EQ(List()->listItems().Item(c.row + 1)->SubItem(3), c.pan);
    EXPECT_EQ(List()->listItems().Item(c.row + 1)->SubItem(4), c.tilt);
  }
  EXPECT_EQ(rig.DeviceTable[0].PanRange, 630);  // only OK changes the device table
  PressOK();
  EXPECT_FALSE(window->isVisible());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    EXPECT_EQ(rig.DeviceTable[c.row].PanRange, c.panRange);
    EXPECT_EQ(rig.DeviceTable[c.row].TiltRange, c.tiltRange);
  }
  // Saved and read back when the window opens again.
  rig.DeviceTable = {};
  Open();
  EXPECT_EQ(Rows(), WithLaterRows({{"Item1", "Spot", "1", "2", "1", "1080"},
                                   {"Item2", "Wash", "3", "4", "630", "265"},
                                   {"Item3", "", "0", "0", "540", "270"},
                                   {"Item4", "", "0", "0", "540", "270"}}));
  EXPECT_EQ(rig.DeviceTable[2].PanRange, 2);
  EXPECT_EQ(rig.DeviceTable[2].TiltRange, 1);
}

TEST_F(ConfigWindowTest, FineChannelsAreEditedLikeChannelsAndSavedWithTheirDevice) {
  rig.DeviceTable = {DeviceRecord{"Spot", 1, 2}, DeviceRecord{"Wash", 3, 4}, {}, {}};
  rig.DeviceTable[0].PanFineChannel = 7;
  rig.DeviceTable[2].TiltFineChannel = 9;  // unnamed: shows none
  ASSERT_FALSE(save_config(rig, path));
  Open();
  auto fineCells = [&](int row) {
    const platform::ListItem* item = List()->listItems().Item(row + 1);
    return std::vector<std::string>{item->SubItem(5).toStdString(), item->SubItem(6).toStdString()};
  };
  EXPECT_EQ(fineCells(0), (std::vector<std::string>{"7", "0"}));
  EXPECT_EQ(fineCells(2), (std::vector<std::string>{"0", "0"}));
  struct Case {
    int row;
    const char* pan;
    const char* tilt;
    std::int32_t panFine, tiltFine;
  } cases[] = {
      {0, "0", "8abc", 0, 8},
      {1, "5", "6", 5, 6},
      {2, "", "x", 0, 0},
      {3, "2.5", "-4", 2, -4},
  };
  for (const Case& c : cases) {
    Type(c.row, 5, c.pan);
    Type(c.row, 6, c.tilt);
    EXPECT_EQ(fineCells(c.row), (std::vector<std::string>{c.pan, c.tilt}));
  }
  EXPECT_EQ(rig.DeviceTable[0].PanFineChannel, 7);  // only OK changes the device table
  PressOK();
  EXPECT_FALSE(window->isVisible());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    EXPECT_EQ(rig.DeviceTable[c.row].PanFineChannel, c.panFine);
    EXPECT_EQ(rig.DeviceTable[c.row].TiltFineChannel, c.tiltFine);
  }
  // The device lines: a device with a fine channel writes its ranges and
  // both fine channels, one without writes its old line.
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = file.readAll().split('\n');
  ASSERT_EQ(lines.size(), 26);
  EXPECT_EQ(lines[1], "Spot,1,2,540,270,0,8\r");
  EXPECT_EQ(lines[2], "0,-1,-1,0,0\r");
  EXPECT_EQ(lines[7], "Wash,3,4,540,270,5,6\r");
  EXPECT_EQ(lines[13], ",0,0\r");
  EXPECT_EQ(lines[14], "0,-1,-1\r");
  EXPECT_EQ(lines[19], ",0,0,540,270,2,-4\r");
}

TEST_F(ConfigWindowTest, NamesTheFileCannotHoldAreRefusedAtTheEndOfTheEdit) {
  rig.DeviceTable[0] = {"Spot", 1, 2};
  Open();
  struct Case {
    QString typed;
    bool accepted;
  } cases[] = {
      {"Spot, left", false}, {QString::fromUtf8("Ω-Beam"), false}, {"a\nb", false},
      {"a\rb", false},       {QString::fromUtf8("Bühne €"), true}, {"", true},
      {"  ", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    List()->listItems().Item(1)->SetText("Spot");
    sink.shown.clear();
    // Line breaks cannot be typed into the editor; they come in pasted.
    if (c.typed.contains('\n') || c.typed.contains('\r'))
      Edit(0, 0, c.typed);
    else
      Type(0, 0, c.typed);
    EXPECT_EQ(List()->listItems().Item(1)->Text(), c.accepted ? c.typed : QString("Spot"));
    EXPECT_EQ(sink.shown,
              c.accepted ? std::vector<std::string>{} : std::vector<std::string>{ui::kNameRefused});
  }
}

TEST_F(ConfigWindowTest, CloseBoxDiscardsTheEdits) {
  rig.DeviceTable[0] = {"Spot", 1, 2};
  ASSERT_FALSE(save_config(rig, path));
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray before = file.readAll();
  file.close();

  Open();
  Type(0, 0, "Changed");
  Type(0, 1, "77");
  // An editor still open when the close box is used is discarded too,
  // without the refusal message its unstorable text would earn on confirm.
  QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, Cell(1, 0));
  ASSERT_NE(List()->Editor(), nullptr);
  QTest::keyClicks(List()->Editor(), "a,b");
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  ASSERT_TRUE(List()->Editor()->hasFocus());
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(sink.shown, std::vector<std::string>{});
  EXPECT_EQ(rig.DeviceTable[0].Name, "Spot");
  EXPECT_EQ(rig.DeviceTable[0].PanChannel, 1);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), before);
}

TEST_F(ConfigWindowTest, EscapeDoesNotCloseTheWindow) {
  Open();
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(ConfigWindowTest, FailedSaveIsToldAndTheWindowKeepsTheEdits) {
  path = dir.filePath("missing/TrailBeam.ini").toStdString();
  Open();
  Type(0, 0, "Spot");
  Type(0, 1, "42");
  PressOK();
  EXPECT_EQ(sink.shown, std::vector<std::string>{
                            "TrailBeam.ini could not be saved: " +
                            std::make_error_code(std::errc::no_such_file_or_directory).message()});
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(List()->listItems().Item(1)->Text(), "Spot");
  EXPECT_EQ(List()->listItems().Item(1)->SubItem(1), "42");
  // The device table has taken the rows all the same.
  EXPECT_EQ(rig.DeviceTable[0].Name, "Spot");
  EXPECT_EQ(rig.DeviceTable[0].PanChannel, 42);
}

TEST_F(ConfigWindowTest, ReadTBConfigurationWaitsUntilTheWindowCloses) {
  window = std::make_unique<frmTBConfig>(ui::WindowContext{rig, sink, path});
  struct Case {
    const char* how;
    bool saved;
  } cases[] = {{"close box", false}, {"OK", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    bool sawModal = false;
    int rows = 0;
    QTimer::singleShot(0, [&] {
      sawModal = window->isVisible() && window->isModal();
      rows = List()->listItems().Count();
      if (std::string(c.how) == "OK") {
        PressOK();
      } else {
        window->close();
      }
    });
    window->readTBConfiguration();
    EXPECT_TRUE(sawModal);
    EXPECT_EQ(rows, kDeviceCount);  // a fresh list at every opening
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(QFile::exists(QString::fromStdString(path)), c.saved);
  }
}

}  // namespace
}  // namespace tb::testing

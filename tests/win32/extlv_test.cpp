// The editable list on native controls: the uses the setup window relies
// on, driven through the list view's own messages.
#include "ui/win32/extlv.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/win32/dpi.h"
#include "ui/win32/message_box.h"
#include "win32/win32_test_support.h"

namespace tb::ui::win32 {
namespace {

using tb::testing::Button;
using tb::testing::Centre;

class Host final : public Window {
 public:
  Host() {
    CreateOwnWindow(GetModuleHandleW(nullptr), WS_EX_CONTROLPARENT,
                    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, L"list", Place(20, 20, 460, 200),
                    nullptr);
    before = CreateControl(Handle(), L"BUTTON", L"before", WS_TABSTOP, Place(8, 100, 80, 25), 21,
                           nullptr);
  }
  ~Host() override { Destroy(); }
  HWND before = nullptr;
};

struct EditEnd {
  std::string oldText, newText;
  int row, column;  // the current cell while it was raised
};
struct MouseEvent {
  int row, button, flag;
};

class ExtLVTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list = std::make_unique<ExtLV>(GetModuleHandleW(nullptr), host.Handle(), Place(8, 8, 401, 81),
                                   ScreenDpi(), 30);
    ASSERT_NE(list->Handle(), nullptr);
    after = CreateControl(host.Handle(), L"BUTTON", L"after", WS_TABSTOP, Place(100, 100, 80, 25),
                          22, nullptr);
    list->AddColumn("Ger\xC3\xA4t", 1809.811);
    list->AddColumn("Pan Channel", 1039.858);
    list->AddColumn("Tilt Channel", 1039.858);
    for (int i = 1; i <= 4; ++i) {
      ASSERT_TRUE(list->AddRow("Item" + std::to_string(i), "Dev" + std::to_string(i)));
      list->SetCell(i, 1, std::to_string(10 * i));
      list->SetCell(i, 2, std::to_string(10 * i + 1));
    }
    list->OnItemMouse = [this](int row, int button, int flag) {
      mouse.push_back({row, button, flag});
    };
    list->OnEditEnd = [this](const std::string& oldText, const std::string& newText) {
      ends.push_back({oldText, newText, list->CurrentRow(), list->CurrentColumn()});
    };
    ShowWindow(host.Handle(), SW_SHOW);
    tb::testing::Pump();
  }

  // Where the list view itself draws the cell (row and column from 1 and
  // 0), in its client coordinates.
  RECT CellRect(int row, int column) {
    RECT cell{};
    cell.top = column;
    cell.left = column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
    SendMessageW(list->List(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(row - 1),
                 reinterpret_cast<LPARAM>(&cell));
    return cell;
  }
  POINT Cell(int row, int column) { return Centre(CellRect(row, column)); }

  // Opens the editor as the setup window does: a left double-click, then
  // BeginEdit with the cell's text.
  HWND OpenEditor(int row, int column) {
    tb::testing::DoubleClick(list->List(), Cell(row, column));
    list->BeginEdit(list->Cell(row, column));
    return list->Editor();
  }

  Host host;
  std::unique_ptr<ExtLV> list;
  HWND after = nullptr;
  std::vector<MouseEvent> mouse;
  std::vector<EditEnd> ends;
};

TEST_F(ExtLVTest, ColumnsTakeTwipWidthsAndRowsKeepKeyTextAndCells) {
  const int dpi = ScreenDpi();
  ASSERT_EQ(list->ColumnCount(), 3);
  EXPECT_EQ(ListView_GetColumnWidth(list->List(), 0), TwipsToPixels(1809.811, dpi));
  EXPECT_EQ(ListView_GetColumnWidth(list->List(), 1), TwipsToPixels(1039.858, dpi));
  wchar_t header[32] = {};
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT;
  column.pszText = header;
  column.cchTextMax = 32;
  ASSERT_TRUE(ListView_GetColumn(list->List(), 0, &column));
  EXPECT_STREQ(header, L"Ger\u00E4t");

  ASSERT_EQ(list->RowCount(), 4);
  EXPECT_EQ(list->Key(2), "Item2");
  EXPECT_EQ(list->Cell(2, 0), "Dev2");
  EXPECT_EQ(list->Cell(2, 1), "20");
  EXPECT_EQ(list->Cell(2, 2), "21");
  list->SetCell(2, 0, "Moving 2");
  list->SetCell(2, 2, "x");
  EXPECT_EQ(list->Cell(2, 0), "Moving 2");
  EXPECT_EQ(list->Cell(2, 2), "x");
  // Outside the rows and columns: the empty text, and nothing written.
  for (auto [row, col] : {std::pair{0, 0}, {5, 0}, {1, 3}, {1, -1}}) {
    list->SetCell(row, col, "lost");
    EXPECT_EQ(list->Cell(row, col), "");
    EXPECT_EQ(list->Key(row), row >= 1 && row <= 4 ? "Item" + std::to_string(row) : "");
  }
  EXPECT_FALSE(list->AddRow("Item3", "again"));
  EXPECT_EQ(list->RowCount(), 4);
  EXPECT_EQ(ListView_GetItemCount(list->List()), 4);
}

TEST_F(ExtLVTest, LongCellTextsComeBackWhole) {
  const std::string name(5000, 'n');
  list->SetCell(1, 0, name + "\xC3\xA4");
  EXPECT_EQ(list->Cell(1, 0), name + "\xC3\xA4");
}

TEST_F(ExtLVTest, TitleIsAsHighAsItsTwips) {
  list->SetTitleHeightTwips(255);
  RECT title{};
  GetWindowRect(ListView_GetHeader(list->List()), &title);
  EXPECT_EQ(title.bottom - title.top, TwipsToPixels(255, ScreenDpi()));
  // The first row starts beneath it.
  EXPECT_GE(CellRect(1, 0).top, title.bottom - title.top);
}

// The second press of a double-click is a press too.
TEST_F(ExtLVTest, PressesCarryRowButtonAndDoubleClickFlag) {
  const struct {
    Button button;
    bool doubleClick;
    int row, column;
    std::vector<int> flags;
    int code;
  } cases[] = {
      {Button::Left, true, 2, 1, {0, 0, 1}, 1},
      {Button::Left, false, 3, 0, {0}, 1},
      {Button::Right, true, 4, 2, {0, 0, 1}, 2},
      {Button::Middle, false, 1, 2, {0}, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "row " << c.row << ", column " << c.column);
    mouse.clear();
    tb::testing::PostPress(list->List(), c.button, Cell(c.row, c.column), c.doubleClick);
    tb::testing::Pump();
    ASSERT_EQ(mouse.size(), c.flags.size());
    for (std::size_t i = 0; i < mouse.size(); ++i) {
      EXPECT_EQ(mouse[i].row, c.row);
      EXPECT_EQ(mouse[i].button, c.code);
      EXPECT_EQ(mouse[i].flag, c.flags[i]);
    }
    EXPECT_EQ(list->CurrentRow(), c.row);
    EXPECT_EQ(list->CurrentColumn(), c.column);
  }
}

TEST_F(ExtLVTest, PressesBesideTheCellsRaiseNothingAndKeepTheCurrentCell) {
  tb::testing::Click(list->List(), Cell(2, 1));
  mouse.clear();
  const RECT last = CellRect(4, 2);
  for (POINT beside : {POINT{last.right + 5, Centre(last).y}, POINT{20, last.bottom + 30}}) {
    MoveWindow(list->Handle(), 8, 8, 440, 160, TRUE);
    tb::testing::DoubleClick(list->List(), beside);
    EXPECT_TRUE(mouse.empty()) << beside.x << "," << beside.y;
    EXPECT_EQ(list->CurrentRow(), 2);
    EXPECT_EQ(list->CurrentColumn(), 1);
  }
}

TEST_F(ExtLVTest, TheEditorLiesOverTheCurrentCellWithTheGivenText) {
  for (auto [row, column] : {std::pair{1, 0}, {2, 1}, {4, 2}}) {
    tb::testing::Click(list->List(), Cell(row, column));
    list->BeginEdit("typed " + std::to_string(column));
    HWND editor = list->Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(GetFocus(), editor);
    EXPECT_EQ(tb::testing::Text(editor), L"typed " + std::to_wstring(column));
    RECT placed{};
    GetWindowRect(editor, &placed);
    MapWindowPoints(nullptr, list->List(), reinterpret_cast<POINT*>(&placed), 2);
    const RECT cell = CellRect(row, column);
    EXPECT_EQ(placed.top, cell.top);
    EXPECT_EQ(placed.bottom, cell.bottom);
    EXPECT_EQ(placed.right, cell.right);
    EXPECT_LE(placed.left, cell.left);
    list->CancelEdit();
    tb::testing::Pump();
    EXPECT_FALSE(IsWindow(editor));
  }
  EXPECT_TRUE(ends.empty());
}

// However the edit ends, its end is reported in the cell it started in, the
// cell is left to the handler, and the focus goes where the ending says.
TEST_F(ExtLVTest, AnEditEndsInItsOwnCellHoweverItEnds) {
  enum class How { Enter, Escape, Tab, ShiftTab, ClickOtherCell, ClickButton };
  const struct {
    const char* what;
    How how;
    bool raised;
  } endings[] = {
      {"Enter", How::Enter, true},
      {"Escape", How::Escape, false},
      {"Tab", How::Tab, true},
      {"Shift+Tab", How::ShiftTab, true},
      {"click on another cell", How::ClickOtherCell, true},
      {"focus taken by a button", How::ClickButton, true},
  };
  for (const auto& e : endings) {
    for (auto [row, column] : {std::pair{1, 0}, {3, 2}}) {
      SCOPED_TRACE(::testing::Message() << e.what << ", row " << row << ", column " << column);
      ends.clear();
      const std::string before = list->Cell(row, column);
      HWND editor = OpenEditor(row, column);
      ASSERT_NE(editor, nullptr);
      ASSERT_EQ(GetFocus(), editor);
      tb::testing::Type(L"42\u00E4");

      int afterRow = row;
      int afterColumn = column;
      HWND focusAfter = list->List();
      switch (e.how) {
        case How::Enter:
          tb::testing::Key(VK_RETURN);
          break;
        case How::Escape:
          tb::testing::Key(VK_ESCAPE);
          break;
        case How::Tab:
          tb::testing::Key(VK_TAB);
          focusAfter = after;
          break;
        case How::ShiftTab:
          tb::testing::Key(VK_TAB, true);
          focusAfter = host.before;
          break;
        case How::ClickOtherCell:
          afterRow = row % 4 + 1;
          afterColumn = (column + 1) % 3;
          tb::testing::Click(list->List(), Cell(afterRow, afterColumn));
          break;
        case How::ClickButton:
          SetFocus(after);
          tb::testing::Pump();
          focusAfter = after;
          break;
      }
      EXPECT_EQ(list->Editor(), nullptr);
      EXPECT_FALSE(IsWindow(editor));
      ASSERT_EQ(ends.size(), e.raised ? 1u : 0u);
      if (e.raised) {
        EXPECT_EQ(ends[0].oldText, before);
        EXPECT_EQ(ends[0].newText, "42\xC3\xA4");
        EXPECT_EQ(ends[0].row, row);
        EXPECT_EQ(ends[0].column, column);
      }
      EXPECT_EQ(list->Cell(row, column), before) << "the list never writes the cell";
      EXPECT_EQ(list->CurrentRow(), afterRow);
      EXPECT_EQ(list->CurrentColumn(), afterColumn);
      EXPECT_EQ(GetFocus(), focusAfter);
      if (HasFailure()) return;
    }
  }
}

// The handler of the edit's end may show a message, which takes the focus:
// that must not report the same edit again.
TEST_F(ExtLVTest, AMessageFromTheEditsEndReportsItOnce) {
  list->OnEditEnd = [this](const std::string& oldText, const std::string& newText) {
    ends.push_back({oldText, newText, list->CurrentRow(), list->CurrentColumn()});
    MessageBoxSink().Show("refused");
  };
  tb::testing::MessageBoxAnswerer answerer;
  ASSERT_NE(OpenEditor(2, 0), nullptr);
  tb::testing::Type(L"x");
  tb::testing::Key(VK_RETURN);
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].text, L"refused");
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_EQ(ends[0].newText, "x");
  EXPECT_EQ(list->Editor(), nullptr);
}

TEST_F(ExtLVTest, ClearingOrDestroyingTheListWithAnOpenEditorReportsNothing) {
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    if (list == nullptr) break;
    ASSERT_NE(OpenEditor(1, 1), nullptr);
    tb::testing::Type(L"9");
    if (way == 0) list->ClearRows();
    if (way == 1) list->ClearColumns();
    if (way == 2) list.reset();
    tb::testing::Pump();
    EXPECT_TRUE(ends.empty());
    if (list != nullptr) {
      EXPECT_EQ(list->Editor(), nullptr);
      // Build the list up again for the next way.
      list->ClearRows();
      list->ClearColumns();
      EXPECT_EQ(list->ColumnCount(), 0);
      EXPECT_EQ(list->RowCount(), 0);
      EXPECT_EQ(list->CurrentRow(), 0);
      list->AddColumn("A", 1500);
      list->AddColumn("B", 1500);
      list->AddRow("Item1", "a");
      list->SetCell(1, 1, "b");
    }
  }
}

// A list with more rows than its height shows, as the setup window's with
// sixteen devices in the height of four.
class LongExtLVTest : public ExtLVTest {
 protected:
  void SetUp() override {
    ExtLVTest::SetUp();
    if (HasFatalFailure()) return;
    for (int i = 5; i <= 16; ++i) {
      ASSERT_TRUE(list->AddRow("Item" + std::to_string(i), "Dev" + std::to_string(i)));
      list->SetCell(i, 1, std::to_string(10 * i));
    }
    tb::testing::Pump();
  }
  // Row 1.. wholly in the rows' part of the list.
  bool Shown(int row) {
    const int top = ListView_GetTopIndex(list->List());
    return row - 1 >= top && row - 1 < top + ListView_GetCountPerPage(list->List());
  }
  // The part of the editor that is drawn, in the list's client coordinates.
  RECT EditorShows() {
    RECT shown{};
    GetWindowRect(list->Editor(), &shown);
    MapWindowPoints(nullptr, list->List(), reinterpret_cast<POINT*>(&shown), 2);
    RECT region{};
    const int kind = GetWindowRgnBox(list->Editor(), &region);
    if (kind == NULLREGION) return RECT{};
    if (kind != ERROR) {
      OffsetRect(&region, shown.left, shown.top);
      IntersectRect(&shown, &shown, &region);
    }
    return shown;
  }
  RECT Rows() {
    RECT rows{};
    GetClientRect(list->List(), &rows);
    RECT title{};
    GetWindowRect(ListView_GetHeader(list->List()), &title);
    rows.top = title.bottom - title.top;
    return rows;
  }
  void Scroll(WORD code) {
    PostMessageW(list->List(), WM_VSCROLL, MAKEWPARAM(code, 0), 0);
    tb::testing::Pump();
  }
  // The scroll bar's up arrow until the first row shows.
  void ScrollToTop() {
    for (int i = 0; i < 16 && ListView_GetTopIndex(list->List()) > 0; ++i) Scroll(SB_LINEUP);
  }
  // A notch of the wheel, to the window with the focus as the platform sends it.
  void Wheel(int notches) {
    POINT at = Centre(Rows());
    ClientToScreen(list->List(), &at);
    PostMessageW(GetFocus(), WM_MOUSEWHEEL, MAKEWPARAM(0, notches * WHEEL_DELTA), Point(at));
    tb::testing::Pump();
  }
  static LPARAM Point(POINT p) { return tb::testing::Point(p); }
};

// Sized for four rows, the list shows four whole whatever its font's
// height, its rows sharing the height the title leaves; the rest scroll.
TEST_F(LongExtLVTest, SizedForFourRowsItShowsFourWhole) {
  EXPECT_GT(ListView_GetCountPerPage(list->List()), 4) << "the font's own rows are smaller";
  list->SetShownRows(4);
  tb::testing::Pump();
  EXPECT_EQ(ListView_GetCountPerPage(list->List()), 4);
  const RECT rows = Rows();
  const RECT fourth = CellRect(4, 0);
  EXPECT_LE(fourth.bottom, rows.bottom);
  EXPECT_LT(rows.bottom - fourth.bottom, 4) << "more room than a row's share";
  EXPECT_NE(GetWindowLongW(list->List(), GWL_STYLE) & WS_VSCROLL, 0);
}

// The scroll bar, the wheel and the keys each bring row 12 into view, which
// then edits as the first rows do, with the editor over its cell.
TEST_F(LongExtLVTest, EveryWayOfScrollingReachesALaterRowToEdit) {
  enum class Way { ScrollBarLine, ScrollBarPage, Wheel, ArrowDown, PageDown };
  const struct {
    const char* what;
    Way way;
  } ways[] = {{"scroll bar arrow", Way::ScrollBarLine},
              {"scroll bar page", Way::ScrollBarPage},
              {"mouse wheel", Way::Wheel},
              {"arrow down", Way::ArrowDown},
              {"Page Down", Way::PageDown}};
  for (const auto& w : ways) {
    SCOPED_TRACE(w.what);
    ends.clear();
    ScrollToTop();
    ASSERT_TRUE(Shown(1));
    EXPECT_FALSE(Shown(12));
    EXPECT_NE(GetWindowLongW(list->List(), GWL_STYLE) & WS_VSCROLL, 0);
    tb::testing::Click(list->List(), Cell(4, 1));
    for (int step = 0; step < 32 && !Shown(12); ++step) {
      switch (w.way) {
        case Way::ScrollBarLine:
          Scroll(SB_LINEDOWN);
          break;
        case Way::ScrollBarPage:
          Scroll(SB_PAGEDOWN);
          break;
        case Way::Wheel:
          Wheel(-1);
          break;
        case Way::ArrowDown:
        case Way::PageDown:
          tb::testing::Key(w.way == Way::ArrowDown ? VK_DOWN : VK_NEXT);
          EXPECT_TRUE(Shown(list->CurrentRow())) << list->CurrentRow();
          break;
      }
    }
    ASSERT_TRUE(Shown(12));
    HWND editor = OpenEditor(12, 1);
    ASSERT_NE(editor, nullptr);
    const RECT cell = CellRect(12, 1);
    const RECT shown = EditorShows();
    EXPECT_EQ(shown.top, cell.top);
    EXPECT_EQ(shown.bottom, cell.bottom);
    EXPECT_EQ(tb::testing::Text(editor), L"120");
    tb::testing::Type(L"7");
    tb::testing::Key(VK_RETURN);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].newText, "7");
    EXPECT_EQ(ends[0].row, 12);
    EXPECT_EQ(ends[0].column, 1);
    EXPECT_EQ(list->CurrentRow(), 12);
    if (HasFailure()) return;
  }
}

// An open editor moves with its cell when the list scrolls: cut off where
// the cell goes under the title or out of the rows, whole again when it
// comes back, and its text lands in its own cell.
TEST_F(LongExtLVTest, AnOpenEditorMovesWithItsCellAndNeverCoversTheTitle) {
  for (int row : {1, 12}) {
    SCOPED_TRACE(row);
    ends.clear();
    ScrollToTop();
    for (int i = 0; i < 16 && !Shown(row); ++i) Scroll(SB_LINEDOWN);
    ASSERT_TRUE(Shown(row));
    HWND editor = OpenEditor(row, 2);
    ASSERT_NE(editor, nullptr);
    tb::testing::Type(L"5");
    // The wheel, then the scroll bar, which moves the list also where the
    // wheel reaches only the editor.
    const struct {
      int notches;
      WORD code;
    } steps[] = {{-1, 0},        {1, 0},         {0, SB_LINEDOWN}, {0, SB_PAGEDOWN},
                 {0, SB_LINEUP}, {0, SB_PAGEUP}, {0, SB_PAGEUP},   {0, SB_LINEDOWN}};
    int cut = 0;
    for (const auto& step : steps) {
      SCOPED_TRACE(::testing::Message() << "wheel " << step.notches << ", bar " << step.code);
      if (step.notches != 0) {
        Wheel(step.notches);
      } else {
        Scroll(step.code);
      }
      ASSERT_EQ(list->Editor(), editor);
      ASSERT_EQ(GetFocus(), editor);
      const RECT cell = CellRect(row, 2);
      RECT expected{};
      const RECT rows = Rows();
      IntersectRect(&expected, &cell, &rows);
      if (!EqualRect(&expected, &cell)) ++cut;
      const RECT shown = EditorShows();
      EXPECT_EQ(shown.top, expected.top);
      EXPECT_EQ(shown.bottom, expected.bottom);
      RECT editorPlace{};
      GetWindowRect(editor, &editorPlace);
      MapWindowPoints(nullptr, list->List(), reinterpret_cast<POINT*>(&editorPlace), 2);
      EXPECT_EQ(editorPlace.top, cell.top);
    }
    EXPECT_GT(cut, 0) << "the cell never left the rows";
    for (int i = 0; i < 16 && !Shown(row); ++i) Scroll(row == 1 ? SB_LINEUP : SB_LINEDOWN);
    tb::testing::Key(VK_RETURN);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].row, row);
    EXPECT_EQ(ends[0].column, 2);
    EXPECT_EQ(ends[0].newText, "5");
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace tb::ui::win32

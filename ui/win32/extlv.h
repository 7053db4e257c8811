// The editable report-view list on native controls: a list view in a
// window of its own, which turns the list view's mouse and keyboard work
// into the events the setup window relies on. It behaves as the other
// toolkit's list does:
//  - columns are added with a header text and a width in twips;
//  - rows are added with a unique key and a text, addressed 1..n;
//  - the current cell is the cell last pressed (or the row moved to with
//    the keyboard); a press on a cell raises OnItemMouse(row, button, 0)
//    and a double-click OnItemMouse(row, button, 1), buttons 1 left,
//    2 right, 4 middle; presses that hit no cell raise nothing;
//  - BeginEdit(text) opens an editor over the current cell. Enter, Tab,
//    Shift+Tab and the editor losing the focus confirm it and raise
//    OnEditEnd(old text, new text), Escape cancels it quietly; Tab and
//    Shift+Tab then move on to the window's next or previous control.
//    While OnEditEnd runs, and after the edit has ended in any way, the
//    current cell is the edited one. The list never writes the cell
//    itself.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/win32/font_fit.h"
#include "ui/win32/window.h"

namespace tb::ui::win32 {

class ExtLV final : public Window {
 public:
  enum class EditEnding { Confirm, Cancel, ConfirmAndNext, ConfirmAndPrevious };

  // A child window of parent at place (pixels), drawn in Verdana 8.25 point
  // at dpi, or in a fallback where a header would not fit its column.
  // Handle() is null when the platform refused it.
  ExtLV(HINSTANCE module, HWND parent, RECT place, int dpi, int id);
  ~ExtLV() override;

  // The list view inside (the control that takes the focus) and the open
  // editor, or null.
  HWND List() const { return list_; }
  HWND Editor() const { return editor_; }

  // The list's font is chosen anew so that every header fits its column.
  void AddColumn(const std::string& header, double widthTwips);
  int ColumnCount() const;
  void ClearColumns();

  // False, and nothing added, when the key is present already.
  bool AddRow(const std::string& key, const std::string& text);
  int RowCount() const { return static_cast<int>(keys_.size()); }
  void ClearRows();
  // Row 1..RowCount(), column 0 the row's own text; outside, the empty
  // text is read and nothing is written.
  std::string Cell(int row, int column) const;
  void SetCell(int row, int column, const std::string& text);
  std::string Key(int row) const;

  // 0 before any cell was made current.
  int CurrentRow() const { return currentRow_; }
  int CurrentColumn() const { return currentColumn_; }

  void BeginEdit(const std::string& text);
  // Closes an open editor without raising OnEditEnd.
  void CancelEdit() { FinishEdit(false); }

  void SetTitleHeightTwips(int twips);
  // The rows the list's height is meant to show, 0 for as many as the font
  // allows; the rest are reached by scrolling.
  void SetShownRows(int rows);

  std::function<void(int row, int button, int flag)> OnItemMouse;
  std::function<void(const std::string& oldText, const std::string& newText)> OnEditEnd;

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnDestroyed() override;

 private:
  static LRESULT CALLBACK ListProcedure(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK EditorProcedure(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK HeaderProcedure(HWND, UINT, WPARAM, LPARAM);
  LRESULT ListMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT EditorMessage(HWND editor, UINT message, WPARAM wParam, LPARAM lParam);
  void Pressed(LPARAM point, int button, bool doubleClick, UINT message, WPARAM wParam);
  bool Hit(LPARAM point, int& row, int& column) const;
  void MakeCurrent(int row, int column);
  void EndEdit(EditEnding ending);
  void FinishEdit(bool confirmed);
  void PlaceEditor();
  RECT CellRect(int row, int column) const;
  void FitHeaders();
  void FitRows();

  int dpi_;
  std::unique_ptr<FontFitter> fonts_;
  HFONT font_ = nullptr;  // one of fonts_
  HWND list_ = nullptr;
  HWND editor_ = nullptr;
  WNDPROC listDefault_ = nullptr;
  WNDPROC editorDefault_ = nullptr;
  WNDPROC headerDefault_ = nullptr;
  int titleHeight_ = 0;
  int shownRows_ = 0;
  int imageHeight_ = 0;  // of the empty images that set the rows' height
  std::vector<std::string> keys_;
  int currentRow_ = 0;
  int currentColumn_ = 0;
  int editRow_ = 0;
  int editColumn_ = 0;
  std::string editOldText_;
};

// The pixels a header leaves the text of a column width pixels wide.
int HeaderTextRoom(HWND header, int width);

// How many pixels wide a column is at dpi; for tests and layouts alike.
int ColumnPixels(double widthTwips, int dpi);

}  // namespace tb::ui::win32

#include "ui/win32/extlv.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "ui/win32/dpi.h"
#include "ui/win32/text.h"

namespace tb::ui::win32 {

namespace {

constexpr UINT kDestroyEditor = WM_APP + 1;
constexpr wchar_t kFace[] = L"Verdana";
constexpr double kPoints = 8.25;
constexpr int kEditorId = 100;

// Buttons as the list reports them.
int ButtonOf(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      return 1;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      return 2;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      return 4;
    default:
      return 0;
  }
}

bool KeyDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

template <typename T>
T* Owner(HWND hwnd) {
  return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

WNDPROC Subclass(HWND hwnd, void* owner, WNDPROC procedure) {
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  return reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

}  // namespace

int HeaderTextRoom(HWND header, int width) {
  int margin = header != nullptr ? static_cast<int>(Header_GetBitmapMargin(header)) : 0;
  if (margin <= 0) margin = 3 * GetSystemMetrics(SM_CXEDGE);
  return width - 2 * margin;
}

int ColumnPixels(double widthTwips, int dpi) {
  if (!std::isfinite(widthTwips) || widthTwips <= 0) return 0;
  return TwipsToPixels(widthTwips, dpi);
}

ExtLV::ExtLV(HINSTANCE module, HWND parent, RECT place, int dpi, int id) : dpi_(dpi) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  if (CreateOwnWindow(module, WS_EX_CONTROLPARENT, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, L"",
                      place, parent) == nullptr)
    return;
  SetWindowLongPtrW(Handle(), GWLP_ID, id);
  fonts_ = std::make_unique<FontFitter>(dpi_);
  font_ = fonts_->Plain(kFace, kPoints, false);
  // Report view, full-row selection, grid lines, several rows selectable,
  // the selection kept visible without the focus.
  list_ = CreateControl(
      Handle(), WC_LISTVIEWW, L"",
      WS_TABSTOP | WS_CLIPCHILDREN | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
      Place(0, 0, place.right - place.left, place.bottom - place.top), id, font_, WS_EX_CLIENTEDGE);
  if (list_ == nullptr) return;
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  listDefault_ = Subclass(list_, this, ListProcedure);
  if (HWND header = ListView_GetHeader(list_))
    headerDefault_ = Subclass(header, this, HeaderProcedure);
}

ExtLV::~ExtLV() {
  // While the object is whole: the editor's focus loss on the way must
  // find no edit to report.
  editor_ = nullptr;
  Destroy();
}

void ExtLV::OnDestroyed() {
  editor_ = nullptr;
  list_ = nullptr;
}

LRESULT ExtLV::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      // The children go after this: nothing of an open edit is reported.
      editor_ = nullptr;
      break;
    case WM_SIZE:
      if (list_ != nullptr) MoveWindow(list_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_SETFOCUS:
      if (list_ != nullptr) SetFocus(list_);
      return 0;
    case kDestroyEditor: {
      auto* old = reinterpret_cast<HWND>(lParam);
      if (old != editor_ && IsWindow(old) && GetParent(old) == list_) DestroyWindow(old);
      return 0;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == list_ && header->code == LVN_ITEMCHANGED) {
        // Rows moved to with the keyboard become current.
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if (change->iItem >= 0 && (change->uChanged & LVIF_STATE) &&
            (change->uNewState & LVIS_FOCUSED) && !(change->uOldState & LVIS_FOCUSED))
          currentRow_ = change->iItem + 1;
      }
      break;
    }
    default:
      break;
  }
  return Window::OnMessage(message, wParam, lParam);
}

void ExtLV::AddColumn(const std::string& header, double widthTwips) {
  if (list_ == nullptr) return;
  std::wstring text = Wide(header);
  LVCOLUMNW column{};
  column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
  column.fmt = LVCFMT_LEFT;
  column.cx = ColumnPixels(widthTwips, dpi_);
  column.pszText = text.data();
  const int at = ColumnCount();
  ListView_InsertColumn(list_, at, &column);
  // The first column may come back wider than asked when rows exist.
  ListView_SetColumnWidth(list_, at, column.cx);
  FitHeaders();
}

void ExtLV::FitHeaders() {
  HWND header = ListView_GetHeader(list_);
  if (header == nullptr) return;
  std::vector<std::pair<std::wstring, int>> columns;
  for (int c = 0; c < ColumnCount(); ++c) {
    wchar_t text[256] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT | HDI_WIDTH;
    item.pszText = text;
    item.cchTextMax = 256;
    if (Header_GetItem(header, c, &item)) columns.emplace_back(text, item.cxy);
  }
  HFONT font = fonts_->Fit(kFace, kPoints, false, [&](HFONT candidate) {
    return std::all_of(columns.begin(), columns.end(), [&](const auto& column) {
      return TextExtent(candidate, column.first).cx <= HeaderTextRoom(header, column.second);
    });
  });
  if (font == font_) return;
  font_ = font;
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  FitRows();
}

int ExtLV::ColumnCount() const {
  if (list_ == nullptr) return 0;
  HWND header = ListView_GetHeader(list_);
  return header != nullptr ? Header_GetItemCount(header) : 0;
}

void ExtLV::ClearColumns() {
  FinishEdit(false);
  for (int column = ColumnCount() - 1; column >= 0; --column) ListView_DeleteColumn(list_, column);
}

bool ExtLV::AddRow(const std::string& key, const std::string& text) {
  if (list_ == nullptr || std::find(keys_.begin(), keys_.end(), key) != keys_.end()) return false;
  std::wstring wide = Wide(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = RowCount();
  item.pszText = wide.data();
  if (ListView_InsertItem(list_, &item) < 0) return false;
  keys_.push_back(key);
  if (RowCount() == 1) FitRows();
  return true;
}

void ExtLV::ClearRows() {
  FinishEdit(false);
  if (list_ != nullptr) ListView_DeleteAllItems(list_);
  keys_.clear();
  currentRow_ = 0;
}

std::string ExtLV::Cell(int row, int column) const {
  if (row < 1 || row > RowCount() || column < 0 || column >= ColumnCount()) return {};
  // The control copies at most the buffer's size: grow until the text fits.
  for (std::size_t size = 256; size <= (std::size_t{1} << 22); size *= 4) {
    std::wstring text(size, L'\0');
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(size);
    const auto copied = static_cast<std::size_t>(SendMessageW(
        list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row - 1), reinterpret_cast<LPARAM>(&item)));
    if (copied + 1 < size) {
      text.resize(copied);
      return Utf8(text);
    }
  }
  return {};
}

void ExtLV::SetCell(int row, int column, const std::string& text) {
  if (row < 1 || row > RowCount() || column < 0 || column >= ColumnCount()) return;
  std::wstring wide = Wide(text);
  ListView_SetItemText(list_, row - 1, column, wide.data());
}

std::string ExtLV::Key(int row) const {
  if (row < 1 || row > RowCount()) return {};
  return keys_[static_cast<std::size_t>(row - 1)];
}

void ExtLV::SetShownRows(int rows) {
  shownRows_ = std::max(rows, 0);
  FitRows();
}

// A list view's rows are as tall as its font or its small images, plus
// the view's own padding: empty images make a small font's rows share the
// height out, so that the list shows the rows it is sized for whole, and
// no part of one more. A font too tall for that keeps its rows.
void ExtLV::FitRows() {
  if (list_ == nullptr || shownRows_ <= 0 || RowCount() == 0) return;
  for (int attempt = 0; attempt < 4; ++attempt) {
    // From the first row shown: the view may leave a gap under its title.
    const int top = ListView_GetTopIndex(list_);
    RECT row{};
    if (!ListView_GetItemRect(list_, top, &row, LVIR_BOUNDS)) return;
    const int height = static_cast<int>(row.bottom - row.top);
    RECT client{};
    GetClientRect(list_, &client);
    const int target = static_cast<int>(client.bottom - row.top) / shownRows_;
    const int images = std::max(imageHeight_ + target - height, 1);
    if (height == target || images == imageHeight_) return;
    HIMAGELIST strip = ImageList_Create(1, images, ILC_COLOR, 0, 1);
    if (strip == nullptr) return;
    imageHeight_ = images;
    if (HIMAGELIST old = ListView_SetImageList(list_, strip, LVSIL_SMALL)) ImageList_Destroy(old);
  }
}

void ExtLV::SetTitleHeightTwips(int twips) {
  titleHeight_ = std::max(TwipsToPixels(twips, dpi_), 0);
  if (list_ == nullptr) return;
  // The list lays out its title when its size changes.
  RECT size{};
  GetClientRect(Handle(), &size);
  MoveWindow(list_, 0, 0, size.right + 1, size.bottom, FALSE);
  MoveWindow(list_, 0, 0, size.right, size.bottom, TRUE);
  FitRows();
}

RECT ExtLV::CellRect(int row, int column) const {
  RECT cell{};
  if (!ListView_GetItemRect(list_, row - 1, &cell, LVIR_BOUNDS)) return RECT{};
  for (int c = 0; c < column; ++c) cell.left += ListView_GetColumnWidth(list_, c);
  cell.right = cell.left + ListView_GetColumnWidth(list_, column);
  return cell;
}

bool ExtLV::Hit(LPARAM point, int& row, int& column) const {
  LVHITTESTINFO hit{};
  hit.pt = POINT{GET_X_LPARAM(point), GET_Y_LPARAM(point)};
  const int item = ListView_SubItemHitTest(list_, &hit);
  if (item < 0 || item >= RowCount()) return false;
  for (int c = 0; c < ColumnCount(); ++c) {
    const RECT cell = CellRect(item + 1, c);
    if (PtInRect(&cell, hit.pt)) {
      row = item + 1;
      column = c;
      return true;
    }
  }
  return false;
}

// The list's own focused row follows too, so that the arrow keys start from
// the cell the control reports.
void ExtLV::MakeCurrent(int row, int column) {
  currentRow_ = row;
  currentColumn_ = column;
  if (ListView_GetNextItem(list_, -1, LVNI_FOCUSED) != row - 1) {
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list_, row - 1, LVIS_FOCUSED | LVIS_SELECTED,
                          LVIS_FOCUSED | LVIS_SELECTED);
  }
  currentRow_ = row;
}

void ExtLV::Pressed(LPARAM point, int button, bool doubleClick, UINT message, WPARAM wParam) {
  int row = 0;
  int column = 0;
  const bool hit = Hit(point, row, column);
  if (hit) {
    currentRow_ = row;
    currentColumn_ = column;
  }
  // The list takes the focus here, which ends an open edit in its own cell.
  CallWindowProcW(listDefault_, list_, message, wParam, point);
  if (!hit || list_ == nullptr) return;
  MakeCurrent(row, column);
  auto raise = OnItemMouse;
  if (raise) raise(row, button, 0);
  if (doubleClick && raise) raise(row, button, 1);
}

LRESULT CALLBACK ExtLV::ListProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = Owner<ExtLV>(hwnd);
  if (self == nullptr || self->list_ != hwnd) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->ListMessage(message, wParam, lParam);
}

LRESULT ExtLV::ListMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      Pressed(lParam, ButtonOf(message), false, message, wParam);
      return 0;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      Pressed(lParam, ButtonOf(message), true, message, wParam);
      return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_MOUSEWHEEL:
    case WM_KEYDOWN:
    case WM_NOTIFY:  // a column resized
    case WM_SIZE: {
      HWND list = list_;
      const LRESULT result = CallWindowProcW(listDefault_, list, message, wParam, lParam);
      PlaceEditor();
      return result;
    }
    case WM_NCDESTROY: {
      HWND list = list_;
      SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(listDefault_));
      SetWindowLongPtrW(list, GWLP_USERDATA, 0);
      return CallWindowProcW(listDefault_, list, message, wParam, lParam);
    }
    default:
      return CallWindowProcW(listDefault_, list_, message, wParam, lParam);
  }
}

LRESULT CALLBACK ExtLV::HeaderProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = Owner<ExtLV>(hwnd);
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  const WNDPROC original = self->headerDefault_;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  }
  const LRESULT result = CallWindowProcW(original, hwnd, message, wParam, lParam);
  // The title as high as the layout says, the rows beneath it.
  if (message == HDM_LAYOUT && self->titleHeight_ > 0 && result) {
    auto* layout = reinterpret_cast<HDLAYOUT*>(lParam);
    const int grow = self->titleHeight_ - layout->pwpos->cy;
    layout->pwpos->cy = self->titleHeight_;
    layout->prc->top += grow;
  }
  return result;
}

void ExtLV::BeginEdit(const std::string& text) {
  if (list_ == nullptr || currentRow_ < 1 || currentRow_ > RowCount() || currentColumn_ < 0 ||
      currentColumn_ >= ColumnCount())
    return;
  FinishEdit(false);
  editRow_ = currentRow_;
  editColumn_ = currentColumn_;
  editOldText_ = Cell(editRow_, editColumn_);
  ListView_EnsureVisible(list_, editRow_ - 1, FALSE);
  HWND editor = CreateControl(list_, L"EDIT", Wide(text), WS_BORDER | ES_AUTOHSCROLL,
                              CellRect(editRow_, editColumn_), kEditorId, font_);
  if (editor == nullptr) return;
  editorDefault_ = Subclass(editor, this, EditorProcedure);
  editor_ = editor;
  SendMessageW(editor, EM_SETSEL, 0, -1);
  SetFocus(editor);
}

LRESULT CALLBACK ExtLV::EditorProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = Owner<ExtLV>(hwnd);
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->EditorMessage(hwnd, message, wParam, lParam);
}

// Enter confirms, Escape cancels (the key would otherwise reach the window,
// which may close on it), Tab and Shift+Tab confirm and go on to the next or
// previous control. Losing the focus confirms.
LRESULT ExtLV::EditorMessage(HWND editor, UINT message, WPARAM wParam, LPARAM lParam) {
  const WNDPROC original = editorDefault_;
  const bool current = editor == editor_;
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS | CallWindowProcW(original, editor, message, wParam, lParam);
    case WM_KEYDOWN:
      if (!current) break;
      if (wParam == VK_RETURN) {
        EndEdit(EditEnding::Confirm);
        return 0;
      }
      if (wParam == VK_ESCAPE) {
        EndEdit(EditEnding::Cancel);
        return 0;
      }
      if (wParam == VK_TAB && !KeyDown(VK_CONTROL) && !KeyDown(VK_MENU)) {
        EndEdit(KeyDown(VK_SHIFT) ? EditEnding::ConfirmAndPrevious : EditEnding::ConfirmAndNext);
        return 0;
      }
      break;
    case WM_CHAR:
      // The characters of the keys above: no beep, no tab in the text.
      if (wParam == L'\r' || wParam == L'\t' || wParam == 0x1B) return 0;
      break;
    case WM_KILLFOCUS: {
      const LRESULT result = CallWindowProcW(original, editor, message, wParam, lParam);
      if (editor == editor_) EndEdit(EditEnding::Confirm);
      return result;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
      SetWindowLongPtrW(editor, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return CallWindowProcW(original, editor, message, wParam, lParam);
}

void ExtLV::EndEdit(EditEnding ending) {
  FinishEdit(ending != EditEnding::Cancel);
  // Unless the handler of the edit's end took the focus elsewhere.
  if (list_ == nullptr || GetFocus() != list_) return;
  if (ending != EditEnding::ConfirmAndNext && ending != EditEnding::ConfirmAndPrevious) return;
  HWND root = GetAncestor(list_, GA_ROOT);
  HWND next = GetNextDlgTabItem(root, list_, ending == EditEnding::ConfirmAndPrevious);
  if (next != nullptr && next != list_) SetFocus(next);
}

void ExtLV::FinishEdit(bool confirmed) {
  if (editor_ == nullptr) return;
  // Forget the editor before anything else: the handler of the edit's end
  // may move the focus (a message box), which would report it again.
  HWND editor = editor_;
  editor_ = nullptr;
  const std::string newText = Utf8(WindowText(editor));
  if (GetFocus() == editor) SetFocus(list_);
  ShowWindow(editor, SW_HIDE);
  // Not here: this may run inside the editor's own message.
  PostMessageW(Handle(), kDestroyEditor, 0, reinterpret_cast<LPARAM>(editor));
  // The handler reads the current cell: it is the edited one, whatever the
  // operator clicked to end the edit.
  MakeCurrent(editRow_, editColumn_);
  auto raise = OnEditEnd;
  if (confirmed && raise) raise(editOldText_, newText);
}

// The editor is a child of the list view beside its title: scrolled under
// the title, or below the rows, it is cut to the part of the rows it
// covers, so that it never hides the title, yet keeps its text and focus.
void ExtLV::PlaceEditor() {
  if (editor_ == nullptr) return;
  const RECT cell = CellRect(editRow_, editColumn_);
  MoveWindow(editor_, cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top, TRUE);
  RECT rows{};
  GetClientRect(list_, &rows);
  if (HWND header = ListView_GetHeader(list_); header != nullptr && IsWindowVisible(header)) {
    RECT title{};
    GetWindowRect(header, &title);
    MapWindowPoints(nullptr, list_, reinterpret_cast<POINT*>(&title), 2);
    rows.top = std::max(rows.top, title.bottom);
  }
  RECT shown{};
  IntersectRect(&shown, &cell, &rows);
  if (EqualRect(&shown, &cell)) {
    SetWindowRgn(editor_, nullptr, TRUE);
    return;
  }
  if (IsRectEmpty(&shown))
    SetRectEmpty(&shown);
  else
    OffsetRect(&shown, -cell.left, -cell.top);
  // The window owns the region from here on.
  SetWindowRgn(editor_, CreateRectRgn(shown.left, shown.top, shown.right, shown.bottom), TRUE);
}

}  // namespace tb::ui::win32

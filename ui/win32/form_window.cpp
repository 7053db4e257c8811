#include "ui/win32/form_window.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/win32/dpi.h"
#include "ui/win32/extlv.h"
#include "ui/win32/font_fit.h"
#include "ui/win32/text.h"
#include "ui/win32/timer.h"

namespace tb::ui::win32 {

namespace {

// Control identifiers start past IDOK and IDCANCEL, which Enter and Escape
// send.
constexpr int kFirstId = 1000;

// The frame's styles. Not WS_CLIPCHILDREN: a frame paints only its border
// and caption, and the window's background must show through inside it.
DWORD FrameStyle(WindowFrame frame) {
  switch (frame) {
    case WindowFrame::FixedSingle:
    case WindowFrame::FixedDialog:
      return WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    case WindowFrame::Sizable:
      return WS_OVERLAPPEDWINDOW;
  }
  return WS_OVERLAPPEDWINDOW;
}

DWORD FrameExStyle(WindowFrame frame) {
  return WS_EX_CONTROLPARENT | (frame == WindowFrame::FixedDialog ? WS_EX_DLGMODALFRAME : 0);
}

// The kinds whose text is fitted to their place; a combo's entries are the
// operator's names, and a list fits its own headers.
bool FitsItsText(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label:
    case ControlKind::TextBox:
    case ControlKind::Button:
    case ControlKind::Frame:
    case ControlKind::Option:
      return true;
    default:
      return false;
  }
}

// Tab stops first, in keyboard order, then what takes no focus; frames
// last, so that they lie beneath the options they hold.
int StackRank(const ControlLayout& control) {
  if (control.kind == ControlKind::Frame) return 1'000'000;
  return control.tab >= 0 ? control.tab : 100'000;
}

}  // namespace

struct FormWindow::Built {
  const ControlLayout* layout;
  int id;
  HWND hwnd = nullptr;
  std::unique_ptr<ExtLV> list;
  std::unique_ptr<Timer> timer;
  Colour back = kDefaultColour;
  HBRUSH brush = nullptr;
  WNDPROC defaultProcedure = nullptr;
  std::string tip;
};

FormWindow::FormWindow() = default;
FormWindow::~FormWindow() { Destroy(); }

bool FormWindow::Build(HINSTANCE module, const WindowLayout& layout, HWND owner) {
  layout_ = &layout;
  dpi_ = ScreenDpi();
  fonts_ = std::make_unique<FontFitter>(dpi_);
  const DWORD style = FrameStyle(layout.frame);
  const DWORD exStyle = FrameExStyle(layout.frame);
  RECT frame = Place(0, 0, TwipsToPixels(layout.width, dpi_), TwipsToPixels(layout.height, dpi_));
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const RECT place =
      Place(CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top);
  const std::wstring caption = layout.caption != nullptr ? Wide(layout.caption) : L"";
  if (CreateOwnWindow(module, exStyle, style, caption, place, owner) == nullptr) return false;

  INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&common);
  tooltips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                              Handle(), nullptr, module, nullptr);

  std::vector<std::pair<const ControlLayout*, int>> order;
  int id = kFirstId;
  for (const ControlLayout& control : layout.controls) order.emplace_back(&control, id++);
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    return StackRank(*a.first) < StackRank(*b.first);
  });
  for (const auto& [control, controlId] : order) CreateControlOf(*control, controlId);
  AddKeyboardWindow(Handle());
  return true;
}

RECT FormWindow::PlaceOf(const ControlLayout& control) const {
  int left = control.left;
  int top = control.top;
  // Controls in a frame are laid out from the frame's corner; they are the
  // window's own children, so that their notifications reach it.
  if (control.parent != nullptr) {
    for (const ControlLayout& frame : layout_->controls) {
      if (std::string(frame.name) == control.parent) {
        left += frame.left;
        top += frame.top;
      }
    }
  }
  return Place(TwipsToPixels(left, dpi_), TwipsToPixels(top, dpi_),
               TwipsToPixels(control.width, dpi_), TwipsToPixels(control.height, dpi_));
}

HFONT FormWindow::FontOf(const FontLayout& font) {
  const std::wstring family = font.family != nullptr ? Wide(font.family) : L"";
  return fonts_->Plain(font.family != nullptr ? family.c_str() : nullptr, font.points, font.bold);
}

// A wrapping label ends where a line crosses it: text that ran over the line
// would be read as the next part of the window.
int FormWindow::TextHeightRoom(const Built& built) const {
  RECT client{};
  GetClientRect(built.hwnd, &client);
  int room = client.bottom;
  const RECT place = PlaceOf(*built.layout);
  for (const LineLayout& line : layout_->lines) {
    if (line.y1 != line.y2) continue;
    const int y = TwipsToPixels(line.y1, dpi_) - line.widthPixels / 2;
    const int x1 = TwipsToPixels(std::min(line.x1, line.x2), dpi_);
    const int x2 = TwipsToPixels(std::max(line.x1, line.x2), dpi_);
    if (y > place.top && y < place.bottom && x1 < place.right && x2 > place.left)
      room = std::min(room, y - static_cast<int>(place.top));
  }
  return room;
}

// The font in which the control's present text shows whole.
void FormWindow::FitText(const Built& built) {
  const ControlLayout& control = *built.layout;
  if (built.hwnd == nullptr || !FitsItsText(control.kind)) return;
  const std::wstring text = WindowText(built.hwnd);
  RECT client{};
  GetClientRect(built.hwnd, &client);
  const int width = client.right;
  const int height = control.wrap ? TextHeightRoom(built) : client.bottom;
  HWND hwnd = built.hwnd;
  const auto fits = [&](HFONT font) {
    if (control.kind == ControlKind::Label && control.wrap)
      return WrappedHeight(font, text, width) <= height;
    const SIZE size = TextExtent(font, text);
    int room = width;
    switch (control.kind) {
      case ControlKind::TextBox:
        room = EditTextRoom(hwnd, font, width);
        break;
      case ControlKind::Button:
        room = ButtonTextRoom(hwnd, width);
        break;
      case ControlKind::Option:
        room = OptionTextRoom(hwnd, width);
        break;
      case ControlKind::Frame:
        return size.cx <= FrameTextRoom(width);
      default:
        break;
    }
    return size.cx <= room && size.cy <= height;
  };
  const std::wstring family = control.font.family != nullptr ? Wide(control.font.family) : L"";
  HFONT font = fonts_->Fit(control.font.family != nullptr ? family.c_str() : nullptr,
                           control.font.points, control.font.bold, fits);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void FormWindow::CreateControlOf(const ControlLayout& control, int id) {
  auto built = std::make_unique<Built>();
  built->layout = &control;
  built->id = id;
  const std::wstring text = control.text != nullptr ? Wide(control.text) : L"";
  const RECT place = PlaceOf(control);
  HFONT font = FontOf(control.font);
  // Every control but the second and later options of a frame starts a
  // group: the arrow keys move only between options.
  bool groupStart = true;
  if (control.kind == ControlKind::Option) {
    for (const auto& earlier : controls_)
      if (earlier->layout->kind == ControlKind::Option && earlier->layout->parent != nullptr &&
          control.parent != nullptr && std::string(earlier->layout->parent) == control.parent)
        groupStart = false;
  }
  DWORD style = WS_CLIPSIBLINGS | (groupStart ? WS_GROUP : 0) | (control.tab >= 0 ? WS_TABSTOP : 0);
  switch (control.kind) {
    case ControlKind::Label:
      style |= SS_NOPREFIX | (control.wrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
      built->hwnd = CreateControl(Handle(), L"STATIC", text, style, place, id, font);
      break;
    case ControlKind::Combo: {
      // The height given is the edit field's; the list drops below it.
      RECT withList = place;
      withList.bottom += 200;
      style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL;
      built->hwnd = CreateControl(Handle(), L"COMBOBOX", L"", style, withList, id, font);
      SetWindowTextW(built->hwnd, text.c_str());
      break;
    }
    case ControlKind::TextBox:
      style |= ES_READONLY | ES_AUTOHSCROLL;
      built->hwnd =
          CreateControl(Handle(), L"EDIT", text, style, place, id, font, WS_EX_CLIENTEDGE);
      break;
    case ControlKind::Edit:
      style |= ES_AUTOHSCROLL;
      built->hwnd =
          CreateControl(Handle(), L"EDIT", text, style, place, id, font, WS_EX_CLIENTEDGE);
      break;
    case ControlKind::Button:
      style |= control.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      built->hwnd = CreateControl(Handle(), L"BUTTON", text, style, place, id, font);
      break;
    case ControlKind::Frame:
      built->hwnd = CreateControl(Handle(), L"BUTTON", text, style | BS_GROUPBOX, place, id, font);
      break;
    case ControlKind::Option:
      built->hwnd =
          CreateControl(Handle(), L"BUTTON", text, style | BS_AUTORADIOBUTTON, place, id, font);
      break;
    case ControlKind::Picture:
      built->hwnd = CreateControl(Handle(), L"STATIC", L"", style | SS_BITMAP | SS_CENTERIMAGE,
                                  place, id, font, WS_EX_CLIENTEDGE);
      break;
    case ControlKind::List: {
      const auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(Handle(), GWLP_HINSTANCE));
      built->list = std::make_unique<ExtLV>(module, Handle(), place, dpi_, id);
      built->hwnd = built->list->Handle();
      break;
    }
    case ControlKind::Timer: {
      const auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(Handle(), GWLP_HINSTANCE));
      const ControlLayout* layout = &control;
      built->timer =
          std::make_unique<Timer>(module, static_cast<UINT>(std::max(control.interval, 1)),
                                  [this, layout] { OnTick(*layout); });
      break;
    }
  }
  HWND hwnd = built->hwnd;
  controls_.push_back(std::move(built));
  // Every text set later is fitted as it arrives.
  if (hwnd != nullptr && FitsItsText(control.kind)) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    controls_.back()->defaultProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProcedure)));
    FitText(*controls_.back());
  }
  if (control.tooltip != nullptr) SetToolTip(hwnd, control.tooltip);
}

std::string FormWindow::ToolTip(HWND control) const {
  const Built* built = Find(control);
  return built != nullptr ? built->tip : std::string();
}

void FormWindow::SetToolTip(HWND control, const std::string& text) {
  auto found = std::find_if(controls_.begin(), controls_.end(), [&](const auto& built) {
    return control != nullptr && built->hwnd == control;
  });
  if (found == controls_.end() || tooltips_ == nullptr) return;
  Built& built = **found;
  std::wstring tip = Wide(text);
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = Handle();
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = tip.data();
  if (!built.tip.empty()) SendMessageW(tooltips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  if (!text.empty()) SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  built.tip = text;
}

HWND FormWindow::Control(const std::string& name) const {
  for (const auto& built : controls_)
    if (ControlName(*built->layout) == name) return built->hwnd;
  return nullptr;
}

ExtLV* FormWindow::ListOf(const std::string& name) const {
  for (const auto& built : controls_)
    if (ControlName(*built->layout) == name) return built->list.get();
  return nullptr;
}

Timer* FormWindow::TimerOf(const std::string& name) const {
  for (const auto& built : controls_)
    if (ControlName(*built->layout) == name) return built->timer.get();
  return nullptr;
}

const FormWindow::Built* FormWindow::Find(HWND hwnd) const {
  for (const auto& built : controls_)
    if (hwnd != nullptr && built->hwnd == hwnd) return built.get();
  return nullptr;
}

const FormWindow::Built* FormWindow::FindId(int id) const {
  for (const auto& built : controls_)
    if (built->id == id) return built.get();
  return nullptr;
}

void FormWindow::FocusControl(HWND control) {
  if (Handle() != nullptr && IsWindowVisible(Handle())) {
    SetFocus(control);
  } else {
    focusOnShow_ = control;
  }
}

void FormWindow::ShowActive() {
  if (Handle() == nullptr) return;
  ShowWindow(Handle(), SW_SHOW);
  SetForegroundWindow(Handle());
  if (focusOnShow_ != nullptr && IsWindow(focusOnShow_)) SetFocus(focusOnShow_);
  focusOnShow_ = nullptr;
}

void FormWindow::SetBackColour(HWND control, Colour colour) {
  for (auto& built : controls_) {
    if (built->hwnd != control) continue;
    if (built->brush != nullptr) DeleteObject(built->brush);
    built->brush = nullptr;
    built->back = colour;
    if (colour != kDefaultColour) built->brush = CreateSolidBrush(colour);
    InvalidateRect(control, nullptr, TRUE);
  }
}

LRESULT FormWindow::ColourOf(HWND control, HDC dc) {
  const Built* built = Find(control);
  if (built == nullptr) return 0;
  if (built->layout->textColour != kDefaultColour) {
    SetTextColor(dc, built->layout->textColour);
  }
  // Labels are transparent, as the other toolkit draws them: lines beneath
  // show through.
  if (built->layout->kind == ControlKind::Label) {
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetStockObject(HOLLOW_BRUSH));
  }
  if (built->brush != nullptr) {
    SetBkColor(dc, built->back);
    return reinterpret_cast<LRESULT>(built->brush);
  }
  // A field the operator types into is white while it takes input.
  const bool white = built->layout->kind == ControlKind::TextBox ||
                     (built->layout->kind == ControlKind::Edit && IsWindowEnabled(control));
  SetBkColor(dc, GetSysColor(white ? COLOR_WINDOW : COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(white ? COLOR_WINDOW : COLOR_BTNFACE));
}

// Lines are filled rectangles as wide as the line, centred on it.
void FormWindow::PaintLines(HDC dc) const {
  for (const LineLayout& line : layout_->lines) {
    const int x1 = TwipsToPixels(line.x1, dpi_);
    const int x2 = TwipsToPixels(line.x2, dpi_);
    const int y = TwipsToPixels(line.y1, dpi_);
    const RECT r{std::min(x1, x2), y - line.widthPixels / 2, std::max(x1, x2) + 1,
                 y - line.widthPixels / 2 + line.widthPixels};
    HBRUSH brush = CreateSolidBrush(line.colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  }
}

// Enter confirms the field with the focus, else presses the button with the
// focus, else the default button; Escape presses the cancel button. A
// window without them ignores the keys.
void FormWindow::KeyboardButton(bool enter) {
  HWND press = nullptr;
  const Built* focus = Find(GetFocus());
  if (enter && focus != nullptr && focus->layout->kind == ControlKind::Edit) {
    OnControl(*focus->layout, kEntered);
    return;
  }
  if (enter && focus != nullptr && focus->layout->kind == ControlKind::Button) press = focus->hwnd;
  for (const auto& built : controls_) {
    if (press != nullptr) break;
    if (built->layout->kind != ControlKind::Button) continue;
    if (enter ? built->layout->isDefault : built->layout->isCancel) press = built->hwnd;
  }
  if (press != nullptr) SendMessageW(press, BM_CLICK, 0, 0);
}

LRESULT CALLBACK FormWindow::ControlProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  const Built* built = self != nullptr ? self->Find(hwnd) : nullptr;
  if (built == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  const WNDPROC original = built->defaultProcedure;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  }
  const LRESULT result = CallWindowProcW(original, hwnd, message, wParam, lParam);
  if (message == WM_SETTEXT) self->FitText(*built);
  // A click on a text box: the left button let go over it.
  if (message == WM_LBUTTONUP && built->layout->kind == ControlKind::TextBox) {
    RECT inside{};
    GetClientRect(hwnd, &inside);
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (PtInRect(&inside, at))
      SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(built->id, kClicked),
                   reinterpret_cast<LPARAM>(hwnd));
  }
  return result;
}

LRESULT FormWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == IDOK || id == IDCANCEL) {
        KeyboardButton(id == IDOK);
        return 0;
      }
      if (const Built* built = FindId(id); built != nullptr && lParam != 0)
        OnControl(*built->layout, code);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      if (const Built* built = Find(reinterpret_cast<HWND>(lParam)); built != nullptr) {
        if (message == WM_CTLCOLORBTN && built->layout->kind != ControlKind::Button) break;
        if (LRESULT brush = ColourOf(built->hwnd, reinterpret_cast<HDC>(wParam))) return brush;
      }
      break;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(Handle(), &paint);
      PaintLines(dc);
      EndPaint(Handle(), &paint);
      return 0;
    }
    case WM_CLOSE:
      OnCloseBox();
      return 0;
    case WM_DESTROY:
      RemoveKeyboardWindow(Handle());
      break;
    default:
      break;
  }
  return Window::OnMessage(message, wParam, lParam);
}

void FormWindow::OnDestroyed() {
  for (auto& built : controls_) {
    if (built->brush != nullptr) DeleteObject(built->brush);
    built->brush = nullptr;
    if (built->timer != nullptr) built->timer->Stop();
  }
  fonts_.reset();
  tooltips_ = nullptr;
}

}  // namespace tb::ui::win32

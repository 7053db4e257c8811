#include "ui/win32/about_window.h"

#include "ui/about_window_layout.h"

namespace tb::ui::win32 {

struct AboutWindow::Views {
  NativeWindow window;
  NativeLabel description;
};

AboutWindow::AboutWindow(HINSTANCE module, HWND owner) {
  if (!Build(module, AboutWindowLayout(), owner)) return;
  views_.reset(new Views{NativeWindow(Handle(), [this] { Destroy(); }),
                         NativeLabel(Control("lblDescription"))});
  logic_ =
      std::make_unique<AboutWindowLogic>(AboutWindowControls{views_->window, views_->description});
  picture_ = AboutPicture();
  SendMessageW(Control("picIcon"), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture_));
  logic_->Form_Load();
  FocusControl(Control("cmdOK"));
}

AboutWindow::~AboutWindow() {
  Destroy();
  if (picture_ != nullptr) DeleteObject(picture_);
}

void AboutWindow::OnControl(const ControlLayout& control, int code) {
  if (logic_ != nullptr && std::string(control.name) == "cmdOK" && code == BN_CLICKED)
    logic_->cmdOK_Click();
}

HBITMAP AboutPicture() {
  constexpr int kSize = kAboutPictureSize;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP picture = CreateCompatibleBitmap(screen, kSize, kSize);
  ReleaseDC(nullptr, screen);
  if (dc == nullptr || picture == nullptr) {
    if (dc != nullptr) DeleteDC(dc);
    return picture;
  }
  HGDIOBJ before = SelectObject(dc, picture);
  auto fill = [dc](RECT r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  };
  auto shape = [dc](COLORREF colour, auto draw) {
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    draw();
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
  };
  fill(RECT{0, 0, kSize, kSize}, RGB(24, 28, 48));
  // The beam, widening towards the stage.
  shape(RGB(250, 232, 150), [dc] {
    const POINT beam[] = {{17, 16}, {25, 12}, {54, 44}, {40, 54}};
    Polygon(dc, beam, 4);
  });
  // The stage floor and the spot.
  fill(RECT{0, 49, kSize, kSize}, RGB(70, 60, 50));
  shape(RGB(255, 236, 150), [dc] { Ellipse(dc, 37, 47, 53, 52); });
  // The moving head: yoke and lamp.
  fill(RECT{4, 3, 26, 7}, RGB(150, 156, 170));
  fill(RECT{4, 3, 8, 19}, RGB(150, 156, 170));
  fill(RECT{22, 3, 26, 19}, RGB(150, 156, 170));
  shape(RGB(60, 64, 78), [dc] { Ellipse(dc, 8, 8, 23, 23); });
  shape(RGB(255, 250, 210), [dc] { Ellipse(dc, 17, 13, 24, 20); });
  SelectObject(dc, before);
  DeleteDC(dc);
  return picture;
}

}  // namespace tb::ui::win32

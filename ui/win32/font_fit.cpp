#include "ui/win32/font_fit.h"

#include <algorithm>
#include <cmath>

namespace tb::ui::win32 {

namespace {

constexpr wchar_t kDialogFace[] = L"MS Shell Dlg 2";
// Narrow faces every Windows has, Wine's own fonts among them.
constexpr const wchar_t* kFallbacks[] = {L"Tahoma", L"MS Sans Serif", L"Arial"};
constexpr double kSmallestPoints = 6;

int PointsToPixels(double points, int dpi) {
  if (!std::isfinite(points) || points <= 0) points = 8.25;
  return std::max(1, static_cast<int>(std::lround(points * dpi / 72.0)));
}

// A screen context with font selected, released with the object.
class Measuring {
 public:
  explicit Measuring(HFONT font) : dc_(GetDC(nullptr)) {
    if (dc_ != nullptr) before_ = SelectObject(dc_, font);
  }
  ~Measuring() {
    if (dc_ == nullptr) return;
    SelectObject(dc_, before_);
    ReleaseDC(nullptr, dc_);
  }
  Measuring(const Measuring&) = delete;
  Measuring& operator=(const Measuring&) = delete;
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ before_ = nullptr;
};

}  // namespace

FontFitter::~FontFitter() {
  for (const Made& made : fonts_) DeleteObject(made.font);
}

HFONT FontFitter::Get(const std::wstring& face, int pixels, bool bold) {
  for (const Made& made : fonts_)
    if (made.face == face && made.pixels == pixels && made.bold == bold) return made.font;
  HFONT font = CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
  if (font != nullptr) fonts_.push_back({face, pixels, bold, font});
  return font;
}

// The dialog font's name stands for the system's dialog face; any other
// face is there when the font mapper gives that face and not a stand-in.
bool FontFitter::Present(const std::wstring& face) {
  if (face == kDialogFace) return true;
  for (const auto& [known, present] : present_)
    if (known == face) return present;
  bool present = false;
  if (HFONT font = Get(face, PointsToPixels(8.25, dpi_), false)) {
    Measuring measuring(font);
    wchar_t got[LF_FACESIZE] = {};
    if (measuring.dc() != nullptr && GetTextFaceW(measuring.dc(), LF_FACESIZE, got) > 0)
      present = lstrcmpiW(got, face.c_str()) == 0;
  }
  present_.emplace_back(face, present);
  return present;
}

std::vector<std::wstring> FontFitter::Faces(const wchar_t* face) {
  std::vector<std::wstring> faces;
  const std::wstring own = face != nullptr ? face : kDialogFace;
  if (Present(own)) faces.push_back(own);
  for (const wchar_t* fallback : {kDialogFace, kFallbacks[0], kFallbacks[1], kFallbacks[2]}) {
    if (std::find(faces.begin(), faces.end(), fallback) == faces.end() && Present(fallback))
      faces.emplace_back(fallback);
  }
  return faces;
}

HFONT FontFitter::Plain(const wchar_t* face, double points, bool bold) {
  return Get(Faces(face).front(), PointsToPixels(points, dpi_), bold);
}

HFONT FontFitter::Fit(const wchar_t* face, double points, bool bold,
                      const std::function<bool(HFONT)>& fits) {
  const std::vector<std::wstring> faces = Faces(face);
  const int largest = PointsToPixels(points, dpi_);
  const int smallest = std::min(largest, PointsToPixels(kSmallestPoints, dpi_));
  for (int pixels = largest; pixels >= smallest; --pixels) {
    for (const std::wstring& candidate : faces) {
      HFONT font = Get(candidate, pixels, bold);
      if (font != nullptr && fits(font)) return font;
    }
  }
  return Get(faces.front(), smallest, bold);
}

SIZE TextExtent(HFONT font, const std::wstring& text) {
  SIZE size{0, 0};
  Measuring measuring(font);
  if (measuring.dc() == nullptr) return size;
  const std::wstring sample = text.empty() ? L" " : text;
  GetTextExtentPoint32W(measuring.dc(), sample.c_str(), static_cast<int>(sample.size()), &size);
  if (text.empty()) size.cx = 0;
  return size;
}

int WrappedHeight(HFONT font, const std::wstring& text, int width) {
  Measuring measuring(font);
  if (measuring.dc() == nullptr || text.empty()) return 0;
  RECT r{0, 0, std::max(width, 1), 0};
  return DrawTextW(measuring.dc(), text.c_str(), static_cast<int>(text.size()), &r,
                   DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
}

// The caption stands inside the button's edge and the focus rectangle.
int ButtonTextRoom(HWND, int width) { return width - 2 * (GetSystemMetrics(SM_CXEDGE) + 2); }

// The round box and the gap after it come first.
int OptionTextRoom(HWND, int width) {
  return width - GetSystemMetrics(SM_CXMENUCHECK) - 2 * GetSystemMetrics(SM_CXEDGE);
}

// The caption interrupts the top line a few pixels in from either side.
int FrameTextRoom(int width) { return width - 2 * 8; }

int EditTextRoom(HWND edit, HFONT font, int width) {
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  const auto margins = static_cast<DWORD>(SendMessageW(edit, EM_GETMARGINS, 0, 0));
  return width - LOWORD(margins) - HIWORD(margins);
}

}  // namespace tb::ui::win32

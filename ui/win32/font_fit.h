// Fonts chosen so that a control's text shows whole in the control's place.
// A face the layout names may be missing (Wine has no Verdana) or wider than
// the one the layout was drawn with; a value cut off reads as another value.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tb::ui::win32 {

// The fonts of one window at one resolution, made once each and deleted
// with the object.
class FontFitter {
 public:
  explicit FontFitter(int dpi) : dpi_(dpi) {}
  ~FontFitter();
  FontFitter(const FontFitter&) = delete;
  FontFitter& operator=(const FontFitter&) = delete;

  // face null: the dialog font.
  HFONT Plain(const wchar_t* face, double points, bool bold);
  // The first font with which fits answers true: the layout's face, then
  // the fallback faces the system has, all at the layout's size, then the
  // same a pixel smaller each round, down to 6 points. Where nothing fits,
  // the smallest of the layout's face.
  HFONT Fit(const wchar_t* face, double points, bool bold, const std::function<bool(HFONT)>& fits);

 private:
  struct Made {
    std::wstring face;
    int pixels;
    bool bold;
    HFONT font;
  };
  HFONT Get(const std::wstring& face, int pixels, bool bold);
  bool Present(const std::wstring& face);
  std::vector<std::wstring> Faces(const wchar_t* face);

  int dpi_;
  std::vector<Made> fonts_;
  std::vector<std::pair<std::wstring, bool>> present_;
};

// The size of text drawn on one line in font.
SIZE TextExtent(HFONT font, const std::wstring& text);
// The height of text wrapped at words within width pixels.
int WrappedHeight(HFONT font, const std::wstring& text, int width);

// The pixels a push button, option button or group box leaves its caption,
// and an edit control its text in font (it sets font on the control).
int ButtonTextRoom(HWND button, int width);
int OptionTextRoom(HWND option, int width);
int FrameTextRoom(int width);
int EditTextRoom(HWND edit, HFONT font, int width);

}  // namespace tb::ui::win32

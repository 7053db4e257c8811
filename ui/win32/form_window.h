// A top-level window built from a layout table: its controls at the
// screen's resolution in the layout's fonts (or, where a text would not
// show whole in one, a fallback that fits), keyboard order and tooltips,
// lines beneath the controls, colours, and the controls' notifications
// handed on by control.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/layout.h"
#include "ui/win32/window.h"

namespace tb::ui::win32 {

class ExtLV;
class FontFitter;
class Timer;

class FormWindow : public Window {
 public:
  FormWindow();
  ~FormWindow() override;

  // The control of that name (arrays: "TxtCalibr_3"), or null; the list's
  // handle is its own window, the one carrying its name.
  HWND Control(const std::string& name) const;
  int Dpi() const { return dpi_; }
  const WindowLayout& Layout() const { return *layout_; }

  // The focus goes to control now, or when the window is next shown.
  void FocusControl(HWND control);
  // The list or timer of that name, or null.
  ExtLV* ListOf(const std::string& name) const;
  Timer* TimerOf(const std::string& name) const;

  // Shows the window, active, with the focus where the behaviour put it.
  void ShowActive();

  // Back colour of a control (0x00BBGGRR); kDefaultColour: the platform's.
  void SetBackColour(HWND control, Colour colour);
  // The tooltip shown over a control; the empty text shows none.
  std::string ToolTip(HWND control) const;
  void SetToolTip(HWND control, const std::string& text);

 protected:
  // A notification of a control: code is the platform's (BN_CLICKED,
  // CBN_SELCHANGE, EN_KILLFOCUS), kClicked for a text box the operator
  // clicked, or kEntered for Enter in a field.
  static constexpr int kClicked = 0x7F00;
  static constexpr int kEntered = 0x7F01;

  // Builds the window (hidden) and its controls; false if the platform
  // refused it.
  bool Build(HINSTANCE module, const WindowLayout& layout, HWND owner);

  virtual void OnControl(const ControlLayout& control, int code) = 0;
  virtual void OnTick(const ControlLayout&) {}
  // The frame's close box; the window is hidden unless this says otherwise.
  virtual void OnCloseBox() { ShowWindow(Handle(), SW_HIDE); }

  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnDestroyed() override;

 private:
  struct Built;
  void CreateControlOf(const ControlLayout& control, int id);
  HFONT FontOf(const FontLayout& font);
  void FitText(const Built& built);
  int TextHeightRoom(const Built& built) const;
  RECT PlaceOf(const ControlLayout& control) const;
  const Built* Find(HWND hwnd) const;
  const Built* FindId(int id) const;
  void KeyboardButton(bool enter);
  void PaintLines(HDC dc) const;
  LRESULT ColourOf(HWND control, HDC dc);
  static LRESULT CALLBACK ControlProcedure(HWND, UINT, WPARAM, LPARAM);

  const WindowLayout* layout_ = nullptr;
  int dpi_ = 96;
  std::vector<std::unique_ptr<Built>> controls_;
  std::unique_ptr<FontFitter> fonts_;
  HWND tooltips_ = nullptr;
  HWND focusOnShow_ = nullptr;
};

}  // namespace tb::ui::win32

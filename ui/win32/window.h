// A window of the kit's own class, whose messages go to a C++ object, and
// the small helpers every window of the component uses.
#pragma once

#include <windows.h>

#include <string>

namespace tb::ui::win32 {

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  // Destroys the window if it still exists.
  virtual ~Window();

  HWND Handle() const { return hwnd_; }
  bool Exists() const { return hwnd_ != nullptr; }
  void Destroy();

 protected:
  // A window of the kit's class, registered for module on first use. Null
  // when the platform refuses it.
  HWND CreateOwnWindow(HINSTANCE module, DWORD exStyle, DWORD style, const std::wstring& caption,
                       RECT place, HWND parent);
  // Messages the window does not handle go to DefWindowProcW.
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Last call for the handle, from WM_NCDESTROY.
  virtual void OnDestroyed() {}

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
};

// The class is kept while windows of it may exist; a module that is about
// to be unloaded drops it.
void UnregisterWindowClass(HINSTANCE module);

// A standard control as a child of parent; place in pixels.
HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                   RECT place, int id, HFONT font, DWORD exStyle = 0);

// Left, top, width and height as a rectangle.
inline RECT Place(int left, int top, int width, int height) {
  return RECT{left, top, left + width, top + height};
}

// A font of the given face and size in points (8.25 for the dialog font) at
// the given resolution. The caller deletes it with DeleteObject.
HFONT CreatePointFont(const wchar_t* face, double points, int weight, int dpi);

std::wstring WindowText(HWND hwnd);

// Handing Tab, Enter and Escape to the windows' own keyboard handling:
// hosts run their own message loop, which knows nothing of our windows.
// While at least one top-level window is registered, every message taken
// from the thread's queue for a window inside it passes IsDialogMessageW
// first. Registered windows must be unregistered before they go.
void AddKeyboardWindow(HWND topLevel);
void RemoveKeyboardWindow(HWND topLevel);

}  // namespace tb::ui::win32

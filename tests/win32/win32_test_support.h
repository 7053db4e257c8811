// Driving native windows from a test as a person does: input messages
// through the thread's queue, then the queue worked off.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tb::testing {

// Works off everything the thread's queue holds now and what that brings.
inline void Pump() {
  MSG msg;
  for (int round = 0; round < 4; ++round) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

// Works the queue off for a while (timers need time to pass).
inline void PumpFor(std::chrono::milliseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  while (std::chrono::steady_clock::now() < end) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Pump();
  }
}

inline LPARAM Point(POINT p) { return MAKELPARAM(p.x, p.y); }

enum class Button { Left, Right, Middle };

inline void PostPress(HWND hwnd, Button button, POINT at, bool doubleClick) {
  UINT down = WM_LBUTTONDOWN, up = WM_LBUTTONUP, dbl = WM_LBUTTONDBLCLK;
  WPARAM flag = MK_LBUTTON;
  if (button == Button::Right) {
    down = WM_RBUTTONDOWN, up = WM_RBUTTONUP, dbl = WM_RBUTTONDBLCLK;
    flag = MK_RBUTTON;
  } else if (button == Button::Middle) {
    down = WM_MBUTTONDOWN, up = WM_MBUTTONUP, dbl = WM_MBUTTONDBLCLK;
    flag = MK_MBUTTON;
  }
  // What the platform sends for a click, and for a double-click in a
  // class that takes them.
  PostMessageW(hwnd, down, flag, Point(at));
  PostMessageW(hwnd, up, 0, Point(at));
  if (doubleClick) {
    PostMessageW(hwnd, dbl, flag, Point(at));
    PostMessageW(hwnd, up, 0, Point(at));
  }
}

inline void Click(HWND hwnd, POINT at, Button button = Button::Left) {
  PostPress(hwnd, button, at, false);
  Pump();
}

inline void DoubleClick(HWND hwnd, POINT at, Button button = Button::Left) {
  PostPress(hwnd, button, at, true);
  Pump();
}

inline POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// A key pressed and released on the window with the focus; shift holds
// Shift down meanwhile (in the thread's key state, which is where the
// windows look).
inline void Key(UINT vk, bool shift = false) {
  BYTE state[256];
  GetKeyboardState(state);
  const BYTE shiftBefore = state[VK_SHIFT];
  if (shift) {
    state[VK_SHIFT] = 0x80;
    SetKeyboardState(state);
  }
  HWND focus = GetFocus();
  const UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  PostMessageW(focus, WM_KEYDOWN, vk, 1 | (scan << 16));
  Pump();
  if (IsWindow(focus)) {
    PostMessageW(focus, WM_KEYUP, vk, 1 | (scan << 16) | (1u << 30) | (1u << 31));
    Pump();
  }
  if (shift) {
    GetKeyboardState(state);
    state[VK_SHIFT] = shiftBefore;
    SetKeyboardState(state);
  }
}

// Characters typed into the window with the focus.
inline void Type(const std::wstring& text) {
  for (wchar_t c : text) {
    PostMessageW(GetFocus(), WM_CHAR, c, 1);
    Pump();
  }
}

inline std::wstring Text(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

inline std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

// A message box as the operator saw it.
struct SeenBox {
  std::wstring caption;
  std::wstring text;
  std::vector<std::wstring> buttons;
  HWND owner = nullptr;
};

// Answers the thread's message boxes while it lives: each box is read and
// then closed with a click on its OK button (if it has none, it is left
// open and the test's time-out tells). ready decides when a box may close;
// it is asked every 10 ms, and a box that waits more than 10 s is closed
// anyway.
class MessageBoxAnswerer {
 public:
  explicit MessageBoxAnswerer(std::function<bool()> ready = nullptr) : ready_(std::move(ready)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 10, &MessageBoxAnswerer::Tick);
  }
  ~MessageBoxAnswerer() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  const std::vector<SeenBox>& Seen() const { return seen_; }

 private:
  static BOOL CALLBACK FindBox(HWND hwnd, LPARAM found) {
    if (ClassOf(hwnd) == L"#32770" && IsWindowVisible(hwnd)) {
      *reinterpret_cast<HWND*>(found) = hwnd;
      return FALSE;
    }
    return TRUE;
  }
  static BOOL CALLBACK ReadChild(HWND child, LPARAM into) {
    auto* box = reinterpret_cast<SeenBox*>(into);
    const std::wstring cls = ClassOf(child);
    if (cls == L"Button" && IsWindowVisible(child)) box->buttons.push_back(Text(child));
    if (cls == L"Static" && GetDlgCtrlID(child) == 0xFFFF) box->text = Text(child);
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    MessageBoxAnswerer* self = current_;
    if (self == nullptr) return;
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    if (box == nullptr) {
      self->waited_ = 0;
      return;
    }
    if (self->ready_ && !self->ready_() && ++self->waited_ < 1000) return;
    self->waited_ = 0;
    SeenBox seen;
    seen.caption = Text(box);
    seen.owner = GetWindow(box, GW_OWNER);
    EnumChildWindows(box, ReadChild, reinterpret_cast<LPARAM>(&seen));
    self->seen_.push_back(seen);
    if (HWND ok = GetDlgItem(box, IDOK)) PostMessageW(ok, BM_CLICK, 0, 0);
  }

  static inline MessageBoxAnswerer* current_ = nullptr;
  std::function<bool()> ready_;
  UINT_PTR timer_ = 0;
  int waited_ = 0;
  std::vector<SeenBox> seen_;
};

// Runs script once from inside the thread's next modal loop (a modal
// window's), then leaves the loop to the window.
class InsideModal {
 public:
  explicit InsideModal(std::function<void()> script) : script_(std::move(script)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 20, &InsideModal::Tick);
  }
  ~InsideModal() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  bool Ran() const { return ran_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    InsideModal* self = current_;
    if (self == nullptr || self->ran_) return;
    self->ran_ = true;
    KillTimer(nullptr, self->timer_);
    self->script_();
  }
  static inline InsideModal* current_ = nullptr;
  std::function<void()> script_;
  UINT_PTR timer_ = 0;
  bool ran_ = false;
};

}  // namespace tb::testing

#include "ui/win32/window.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/win32/dpi.h"

namespace tb::ui::win32 {

namespace {

constexpr wchar_t kClassName[] = L"TrailBeamWindow";

bool EnsureClass(HINSTANCE module, WNDPROC procedure) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(module, kClassName, &existing)) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = procedure;
  wc.hInstance = module;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kClassName;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace

Window::~Window() { Destroy(); }

void Window::Destroy() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

HWND Window::CreateOwnWindow(HINSTANCE module, DWORD exStyle, DWORD style,
                             const std::wstring& caption, RECT place, HWND parent) {
  if (hwnd_ != nullptr || !EnsureClass(module, Procedure)) return hwnd_;
  HWND created = CreateWindowExW(exStyle, kClassName, caption.c_str(), style, place.left, place.top,
                                 place.right - place.left, place.bottom - place.top, parent,
                                 nullptr, module, this);
  // WM_NCCREATE already set hwnd_; a refusal later in creation cleared it.
  return created != nullptr ? hwnd_ : nullptr;
}

LRESULT Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // The object travels in the creation data.
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<Window*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->OnDestroyed();
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return self->OnMessage(message, wParam, lParam);
}

void UnregisterWindowClass(HINSTANCE module) { UnregisterClassW(kClassName, module); }

HWND CreateControl(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                   RECT place, int id, HFONT font, DWORD exStyle) {
  HWND control = CreateWindowExW(
      exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.left, place.top,
      place.right - place.left, place.bottom - place.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  if (control != nullptr && font != nullptr)
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

HFONT CreatePointFont(const wchar_t* face, double points, int weight, int dpi) {
  if (dpi <= 0) dpi = kDefaultDpi;
  const int height = -static_cast<int>(std::lround(points * dpi / 72.0));
  return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face);
}

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return kDefaultDpi;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDefaultDpi;
}

namespace {

// One hook per thread: the windows live on the host's user-interface thread.
struct KeyboardWindows {
  std::vector<HWND> windows;
  HHOOK hook = nullptr;
};
thread_local KeyboardWindows keyboard;

bool IsKeyboardMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  auto* msg = reinterpret_cast<MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && IsKeyboardMessage(msg->message) &&
      msg->hwnd != nullptr) {
    HWND root = GetAncestor(msg->hwnd, GA_ROOT);
    const auto& list = keyboard.windows;
    if (std::find(list.begin(), list.end(), root) != list.end() && IsDialogMessageW(root, msg)) {
      // Handled: the host's loop gets a message that does nothing.
      msg->message = WM_NULL;
      msg->wParam = 0;
      msg->lParam = 0;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void AddKeyboardWindow(HWND topLevel) {
  auto& list = keyboard.windows;
  if (topLevel == nullptr || std::find(list.begin(), list.end(), topLevel) != list.end()) return;
  list.push_back(topLevel);
  if (keyboard.hook == nullptr)
    keyboard.hook = SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId());
}

void RemoveKeyboardWindow(HWND topLevel) {
  auto& list = keyboard.windows;
  list.erase(std::remove(list.begin(), list.end(), topLevel), list.end());
  if (list.empty() && keyboard.hook != nullptr) {
    UnhookWindowsHookEx(keyboard.hook);
    keyboard.hook = nullptr;
  }
}

}  // namespace tb::ui::win32

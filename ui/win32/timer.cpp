#include "ui/win32/timer.h"

namespace tb::ui::win32 {

namespace {
constexpr UINT_PTR kTimerId = 1;
}

Timer::Timer(HINSTANCE module, UINT intervalMs, std::function<void()> tick)
    : interval_(intervalMs), tick_(std::move(tick)) {
  CreateOwnWindow(module, 0, 0, L"", RECT{}, HWND_MESSAGE);
}

Timer::~Timer() {
  Stop();
  Destroy();
}

void Timer::Start() {
  if (Handle() == nullptr) return;
  // Starting again restarts the interval, as stopping and starting does.
  active_ = SetTimer(Handle(), kTimerId, interval_, nullptr) != 0;
}

void Timer::Stop() {
  if (active_ && Handle() != nullptr) KillTimer(Handle(), kTimerId);
  active_ = false;
}

LRESULT Timer::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kTimerId) {
    // A tick that stopped the timer has no successor.
    if (active_ && tick_) tick_();
    return 0;
  }
  return Window::OnMessage(message, wParam, lParam);
}

}  // namespace tb::ui::win32

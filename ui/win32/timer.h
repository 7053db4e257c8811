// A periodic timer on the thread that makes it: SetTimer on a hidden
// message-only window, so that its ticks come through the thread's own
// message loop, modal loops included, one at a time with everything else.
#pragma once

#include <windows.h>

#include <functional>

#include "ui/win32/window.h"

namespace tb::ui::win32 {

class Timer final : public Window {
 public:
  Timer(HINSTANCE module, UINT intervalMs, std::function<void()> tick);
  ~Timer() override;

  void Start();
  void Stop();
  bool Active() const { return active_; }
  UINT Interval() const { return interval_; }
  // The next Start ticks at this interval; a running timer keeps its own.
  void SetInterval(UINT intervalMs) { interval_ = intervalMs; }

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  UINT interval_;
  std::function<void()> tick_;
  bool active_ = false;
};

}  // namespace tb::ui::win32

#include "host/interactive/window_fit.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace tbhost {

WindowFit FitBeside(QRect screen, QSize hostMinimum, QSize plugin) {
  const int roomBeside = screen.width() - plugin.width() - kWindowGap;
  const int width = std::max(hostMinimum.width(), std::min(kHostPreferred.width(), roomBeside));
  const int height =
      std::max(hostMinimum.height(), std::min(kHostPreferred.height(), screen.height()));
  const QRect host(screen.topLeft(), QSize(width, height));
  const int pluginLeft =
      std::min(host.right() + 1 + kWindowGap, screen.right() + 1 - plugin.width());
  return {host, QPoint(std::max(screen.left(), pluginLeft), screen.top())};
}

namespace {

// A window's frame around its contents; unknown until shown under a window
// manager, so `fallback` (another window's) stands in.
QMargins FrameOf(const QWidget& window, QMargins fallback) {
  if (!window.isVisible()) return fallback;
  const QRect outer = window.frameGeometry();
  const QRect inner = window.geometry();
  return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
          outer.bottom() - inner.bottom()};
}

QSize Grown(QSize size, QMargins m) {
  return {size.width() + m.left() + m.right(), size.height() + m.top() + m.bottom()};
}

}  // namespace

void FitWindows(QWidget& host, QWidget& plugin) {
  const QScreen* screen = host.screen();
  if (screen == nullptr) return;
  const QMargins hostFrame = FrameOf(host, {});
  const QMargins pluginFrame = FrameOf(plugin, hostFrame);
  const WindowFit fit =
      FitBeside(screen->availableGeometry(),
                Grown(host.minimumSizeHint().expandedTo(host.minimumSize()), hostFrame),
                Grown(plugin.size(), pluginFrame));
  host.move(fit.host.topLeft());
  host.resize(fit.host.size().shrunkBy(hostFrame));
  plugin.move(fit.pluginFrame);
}

}  // namespace tbhost

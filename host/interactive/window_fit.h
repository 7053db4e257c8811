// Where the interactive host puts its window and the plug-in's main window so
// that both fit the screen: the host on the left at the top, giving up width
// down to its minimum, the plug-in's window to its right. Sizes here are
// outer sizes, window frames included.
#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

namespace tbhost {

struct WindowFit {
  QRect host;          // outer geometry
  QPoint pluginFrame;  // the plug-in window's outer top-left
};

inline constexpr QSize kHostPreferred{1000, 760};
inline constexpr int kWindowGap = 8;

// `screen` is the screen's available area; `hostMinimum` and `plugin` outer
// sizes. Where even the host's minimum leaves no room beside it, the
// plug-in's window overlaps the host's right edge rather than leave the
// screen.
WindowFit FitBeside(QRect screen, QSize hostMinimum, QSize plugin);

// Applies FitBeside to the two windows on the host window's screen.
void FitWindows(QWidget& host, QWidget& plugin);

}  // namespace tbhost

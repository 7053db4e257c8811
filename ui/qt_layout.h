// Qt widgets built from a window's layout table.
#pragma once

#include <QLineEdit>
#include <QWidget>

#include "ui/layout.h"

namespace tb::ui {

// A text box that reports a left click with its index in its control
// array. Its objectName is the control's name ("TxtCalibr_3"), its "index"
// property the index.
class IndexedTextBox final : public QLineEdit {
  Q_OBJECT

 public:
  IndexedTextBox(int index, QWidget* parent);
  int Index() const { return index_; }

 signals:
  void Click(int index);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int index_;
};

// The window flags of each frame; pass them when constructing the window.
Qt::WindowFlags QtWindowFlags(WindowFrame frame);

// Names, sizes and fonts the window, and builds every control of the
// layout as its child: lines first, beneath the controls, then the
// controls with their places, texts and fonts, then the keyboard order.
// The controls are found afterwards by their names.
void BuildWindow(QWidget& window, const WindowLayout& layout);

// The control named so, or null when the window has none of that type.
template <typename W>
W* FindControl(const QWidget& window, const char* name) {
  return window.findChild<W*>(QString::fromUtf8(name));
}

}  // namespace tb::ui

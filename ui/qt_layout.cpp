#include "ui/qt_layout.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <utility>
#include <vector>

#include "platform/extlv/extlv.h"
#include "ui/dialog_font.h"
#include "ui/qt_controls.h"
#include "ui/twips.h"

namespace tb::ui {

namespace {

QString Q(const char* utf8) { return utf8 != nullptr ? QString::fromUtf8(utf8) : QString(); }

// A line drawn by a widget that just covers it.
class LineWidget final : public QWidget {
 public:
  LineWidget(QWidget* parent, const LineLayout& line)
      : QWidget(parent), colour_(PlatformColor(line.colour)) {
    setObjectName(QStringLiteral("%1_%2").arg(Q(line.name)).arg(line.index));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int x1 = Px(line.x1);
    const int x2 = Px(line.x2);
    const int y = Px(line.y1);
    const int width = line.widthPixels;
    setGeometry(std::min(x1, x2), y - width / 2, std::abs(x2 - x1) + 1, width);
    setProperty("lineColor", colour_);
    setProperty("lineWidth", width);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), colour_);
  }

 private:
  QColor colour_;
};

QLabel* MakeLabel(const ControlLayout& c, QWidget* parent) {
  auto* label = new QLabel(Q(c.text), parent);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(c.wrap);
  if (c.textColour != kDefaultColour) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, PlatformColor(c.textColour));
    label->setPalette(pal);
  }
  return label;
}

QComboBox* MakeCombo(const ControlLayout& c, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setEditText(Q(c.text));
  return combo;
}

QPushButton* MakeButton(const ControlLayout& c, QWidget* parent) {
  auto* button = new QPushButton(Q(c.text), parent);
  // Only a default button takes Enter; Escape is the dialog's own.
  button->setAutoDefault(false);
  button->setDefault(c.isDefault);
  return button;
}

QLabel* MakePicture(QWidget* parent) {
  auto* picture = new QLabel(parent);
  picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  picture->setLineWidth(2);
  picture->setAlignment(Qt::AlignCenter);
  return picture;
}

// The list control chooses its own font, with a narrow fallback where
// the desktop lacks Verdana.
void ApplyFont(QWidget& widget, const FontLayout& font) {
  const FontLayout plain{};
  if (font.family == nullptr && font.points == plain.points && font.bold == plain.bold) return;
  QFont f = widget.font();
  if (font.family != nullptr) f.setFamily(Q(font.family));
  f.setPointSizeF(font.points);
  f.setBold(font.bold);
  widget.setFont(f);
}

QWidget* MakeWidget(const ControlLayout& c, QWidget* parent) {
  switch (c.kind) {
    case ControlKind::Label:
      return MakeLabel(c, parent);
    case ControlKind::Combo:
      return MakeCombo(c, parent);
    case ControlKind::TextBox: {
      auto* box = new IndexedTextBox(c.index, parent);
      box->setText(Q(c.text));
      return box;
    }
    case ControlKind::Edit: {
      auto* edit = new QLineEdit(Q(c.text), parent);
      edit->setTextMargins(0, 0, 0, 0);
      return edit;
    }
    case ControlKind::Button:
      return MakeButton(c, parent);
    case ControlKind::Frame:
      return new QGroupBox(Q(c.text), parent);
    case ControlKind::Option:
      return new QRadioButton(Q(c.text), parent);
    case ControlKind::Picture:
      return MakePicture(parent);
    case ControlKind::List:
      return new platform::ExtLV(parent);
    case ControlKind::Timer:
      return nullptr;
  }
  return nullptr;
}

void MakeTimer(const ControlLayout& c, QWidget& window) {
  auto* timer = new QTimer(&window);
  timer->setObjectName(Q(c.name));
  timer->setInterval(c.interval);
  timer->setTimerType(Qt::PreciseTimer);
}

}  // namespace

IndexedTextBox::IndexedTextBox(int index, QWidget* parent) : QLineEdit(parent), index_(index) {
  setProperty("index", index);
  setReadOnly(true);
  setTextMargins(0, 0, 0, 0);
}

void IndexedTextBox::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit Click(index_);
}

Qt::WindowFlags QtWindowFlags(WindowFrame frame) {
  const Qt::WindowFlags common =
      Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  switch (frame) {
    case WindowFrame::FixedSingle:
      return Qt::Window | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint | common;
    case WindowFrame::FixedDialog:
      return Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint | common;
    case WindowFrame::Sizable:
      break;
  }
  return Qt::Window | Qt::WindowMinMaxButtonsHint | common;
}

void BuildWindow(QWidget& window, const WindowLayout& layout) {
  window.setObjectName(Q(layout.name));
  if (layout.caption != nullptr) window.setWindowTitle(Q(layout.caption));
  window.setFont(DialogFont());
  if (layout.frame == WindowFrame::Sizable)
    window.resize(Px(layout.width), Px(layout.height));
  else
    window.setFixedSize(Px(layout.width), Px(layout.height));

  for (const LineLayout& line : layout.lines) new LineWidget(&window, line);

  std::vector<std::pair<int, QWidget*>> order;
  for (const ControlLayout& c : layout.controls) {
    if (c.kind == ControlKind::Timer) {
      MakeTimer(c, window);
      continue;
    }
    QWidget* parent = c.parent != nullptr ? FindControl<QWidget>(window, c.parent) : &window;
    QWidget* widget = MakeWidget(c, parent != nullptr ? parent : &window);
    widget->setObjectName(QString::fromStdString(ControlName(c)));
    widget->setGeometry(TwipsRect(c.left, c.top, c.width, c.height));
    if (c.tooltip != nullptr) widget->setToolTip(Q(c.tooltip));
    if (c.kind != ControlKind::List) ApplyFont(*widget, c.font);
    if (c.tab >= 0) order.emplace_back(c.tab, widget);
  }
  std::sort(order.begin(), order.end());
  for (std::size_t i = 1; i < order.size(); ++i)
    QWidget::setTabOrder(order[i - 1].second, order[i].second);
}

}  // namespace tb::ui

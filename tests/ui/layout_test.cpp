// Every control of the three windows read back from the real widgets and
// compared with the layout tables (twips; 15 twips to a pixel).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cmath>

#include "platform/extlv/extlv.h"
#include "ui/form_tb_main.h"
#include "ui/frm_about.h"
#include "ui/frm_tb_config.h"
#include "ui_test_support.h"

namespace tb::testing {
namespace {

int Px(double twips) { return static_cast<int>(std::lround(twips / 15.0)); }

QString TextOf(const QWidget* w) {
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
  if (auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText();
  if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
  return QString();
}

struct Row {
  const char* window;
  const char* control;
  const char* text;  // caption or initial text; null: not compared
  double left, top, width, height;
  int tab;  // -1: takes no focus
  const char* tooltip;
};

// The windows' layout tables.
const Row kLayout[] = {
    {"FormTBMain", "Label1", "Kalibrierung", 120, 120, 2055, 375, -1, ""},
    {"FormTBMain", "ComboDeviceList", "Select Device", 120, 480, 2055, 315, 4, "dev1, dev2"},
    {"FormTBMain", "Label2", "Master", 120, 1440, 2055, 255, -1, ""},
    {"FormTBMain", "ComboMaster", "Select Master", 120, 1800, 2055, 315, 5, ""},
    {"FormTBMain", "TxtCalibr_1", "K2", 2280, 480, 855, 285, 9, ""},
    {"FormTBMain", "TxtCalibr_3", "K4", 3360, 480, 855, 285, 11, ""},
    {"FormTBMain", "TxtCalibr_4", "      KM", 2880, 840, 855, 285, 16, ""},
    {"FormTBMain", "TxtCalibr_0", "K1", 2280, 1200, 855, 285, 8, ""},
    {"FormTBMain", "TxtCalibr_2", "K3", 3360, 1200, 855, 285, 10, ""},
    {"FormTBMain", "CmdGet", "Get Value", 4560, 840, 855, 375, 1, ""},
    {"FormTBMain", "CmdClear", "Clear", 5640, 840, 855, 375, 2, ""},
    {"FormTBMain", "Frame1", "Method", 2280, 1680, 4215, 735, -1, ""},
    {"FormTBMain", "OptLin", "linear", 120, 280, 855, 255, 13, ""},
    {"FormTBMain", "OptDist", "distance", 1260, 240, 975, 375, 14, ""},
    {"FormTBMain", "OptTrigo", "trigonometric", 2340, 180, 1575, 495, 15, ""},
    {"FormTBMain", "LblHeight", "Height (m)", 2280, 2580, 900, 255, -1, ""},
    {"FormTBMain", "TxtHeight", "0.00", 3195, 2565, 585, 285, 17,
     "Enter the K1-K3 length in the device setup to follow at a height."},
    {"FormTBMain", "CmdEnableTB", "Enable TB", 3840, 2520, 1215, 375, 0, "trail beam mode"},
    {"FormTBMain", "CmdHelp", "Help", 5640, 2520, 855, 375, 3, ""},
    // The setup window is wider by its two fine channel columns (1800).
    {"frmTBConfig", "lblConf", nullptr, 0, 120, 6015, 735, -1, ""},
    {"frmTBConfig", "lvConf", nullptr, 120, 960, 7755, 1215, 0, ""},
    {"frmTBConfig", "lblK1K3", "K1-K3 (m)", 120, 2340, 900, 255, -1, ""},
    {"frmTBConfig", "txtK1K3", "", 1020, 2325, 735, 285, 1, ""},
    {"frmTBConfig", "lblK1K2", "K1-K2 (m)", 1920, 2340, 900, 255, -1, ""},
    {"frmTBConfig", "txtK1K2", "", 2820, 2325, 735, 285, 2, ""},
    {"frmTBConfig", "lblHeightChannel", "Height channel", 3720, 2340, 1380, 255, -1, ""},
    {"frmTBConfig", "txtHeightChannel", "", 5100, 2325, 735, 285, 3, ""},
    {"frmTBConfig", "lblFollowRate", "Follow rate (Hz)", 120, 2775, 1500, 255, -1, ""},
    {"frmTBConfig", "txtFollowRate", "10", 1620, 2760, 735, 285, 4, ""},
    {"frmTBConfig", "cmdOK", "OK", 6960, 2280, 855, 375, 5, ""},
    {"frmAbout", "picIcon", nullptr, 120, 240, 885, 885, -1, ""},
    {"frmAbout", "cmdOK", "OK", 4200, 4560, 1260, 345, 0, ""},
    {"frmAbout", "lblDescription", nullptr, 840, 1320, 3885, 2970, -1, ""},
    {"frmAbout", "lblTitle", "Orvane Plugin \"Trail Beam\"", 1050, 240, 3885, 480, -1, ""},
    {"frmAbout", "lblVersion", nullptr, 1080, 840, 3885, 225, -1, ""},
    {"frmAbout", "lblDisclaimer", "", 120, 4920, 2790, 825, -1, ""},
};

struct Window {
  const char* name;
  const char* caption;
  double width, height;  // client area
  bool fixed;
};
const Window kWindows[] = {
    {"FormTBMain", "TrailBeam Plugin", 6600, 2955, true},
    {"frmTBConfig", "TrailBeam Configuration", 7875, 3105, false},
    {"frmAbout", "Info zu ORVN_TB_plugin2", 5760, 5115, true},
};

TEST(Layout, EveryControlMatchesTheLayoutTables) {
  QTemporaryDir dir;
  RigStore rig;
  RecordingSink sink;
  const ui::WindowContext context{rig, sink, dir.filePath("TrailBeam.ini").toStdString()};
  ui::FormTBMain main(context);
  ui::frmTBConfig config(context);
  ui::frmAbout about;
  main.show();
  config.Form_Load();
  config.show();
  about.show();
  const std::map<std::string, QWidget*> windows{
      {"FormTBMain", &main}, {"frmTBConfig", &config}, {"frmAbout", &about}};

  for (const Window& w : kWindows) {
    SCOPED_TRACE(w.name);
    QWidget* window = windows.at(w.name);
    EXPECT_EQ(window->objectName(), w.name);
    EXPECT_EQ(window->windowTitle(), w.caption);
    EXPECT_EQ(window->size(), QSize(Px(w.width), Px(w.height)));
    const bool fixed = window->minimumSize() == window->maximumSize();
    EXPECT_EQ(fixed, w.fixed);
    EXPECT_EQ(bool(window->windowFlags() & Qt::WindowMaximizeButtonHint), !w.fixed);
    EXPECT_EQ(bool(window->windowFlags() & Qt::WindowMinimizeButtonHint), !w.fixed);

    // The focus chain visits the focusable controls in their tab order.
    std::vector<std::pair<int, QWidget*>> ordered;
    for (const Row& r : kLayout)
      if (std::string(r.window) == w.name && r.tab >= 0)
        ordered.emplace_back(r.tab, Control<QWidget>(*window, r.control));
    std::sort(ordered.begin(), ordered.end());
    for (std::size_t i = 1; i < ordered.size(); ++i) {
      QWidget* next = ordered[i - 1].second->nextInFocusChain();
      while (next != nullptr && next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
      // Compound controls (the list's line edit, the view's viewport) sit in
      // the chain as children of their control.
      while (next != nullptr && next != ordered[i].second &&
             ordered[i - 1].second->isAncestorOf(next))
        next = next->nextInFocusChain();
      EXPECT_EQ(next, ordered[i].second) << ordered[i - 1].second->objectName().toStdString()
                                         << " -> " << ordered[i].second->objectName().toStdString();
    }
  }

  for (const Row& r : kLayout) {
    SCOPED_TRACE(std::string(r.window) + "." + r.control);
    QWidget* control = Control<QWidget>(*windows.at(r.window), r.control);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), QRect(Px(r.left), Px(r.top), Px(r.width), Px(r.height)));
    if (r.text != nullptr) {
      EXPECT_EQ(TextOf(control).toStdString(), r.text);
    }
    EXPECT_EQ(control->toolTip().toStdString(), r.tooltip);
    EXPECT_EQ(control->focusPolicy() != Qt::NoFocus, r.tab >= 0);
  }

  // Colours: the point boxes keep the default until the first repaint; the
  // help window's lines and texts.
  const QColor defaultBase = QLineEdit().palette().color(QPalette::Base);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(Control<QLineEdit>(main, ("TxtCalibr_" + std::to_string(i)).c_str())
                  ->palette()
                  .color(QPalette::Base),
              defaultBase);
  struct Line {
    const char* name;
    double x1, y, x2;
    QColor colour;
    int width;
  } lines[] = {{"Line1_1", -120, 3480, 5444, QColor(128, 128, 128), 1},
               {"Line1_0", 0, 4560, 5549, Qt::white, 2}};
  for (const Line& l : lines) {
    SCOPED_TRACE(l.name);
    QWidget* line = Control<QWidget>(about, l.name);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->property("lineColor").value<QColor>(), l.colour);
    EXPECT_EQ(line->geometry().height(), l.width);
    EXPECT_EQ(line->geometry().left(), Px(l.x1));
    EXPECT_EQ(line->geometry().right(), Px(l.x2));
    EXPECT_EQ(line->geometry().top(), Px(l.y) - l.width / 2);
    const QImage drawn = line->grab().toImage();
    EXPECT_EQ(QColor(drawn.pixel(drawn.width() / 2, 0)), l.colour);
  }
  for (const char* label : {"lblDescription", "lblTitle", "lblVersion", "lblDisclaimer"})
    EXPECT_EQ(Control<QLabel>(about, label)->palette().color(QPalette::WindowText), Qt::black);

  // The list control's own settings.
  auto* list = Control<platform::ExtLV>(config, "lvConf");
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_TRUE(list->showGrid());
  EXPECT_EQ(list->horizontalHeader()->height(), Px(255));
  EXPECT_EQ(list->font().pointSizeF(), 8.25);
  EXPECT_EQ(list->palette().color(QPalette::Inactive, QPalette::Highlight),
            list->palette().color(QPalette::Active, QPalette::Highlight));
}

// The setup list ends at the window's right edge; its scroll bar for the
// rows past the fourth shows whole beside every column, and no second
// scroll bar takes the fourth row's place.
TEST(Layout, SetupListShowsEveryColumnAndItsScrollBarInsideTheWindow) {
  QTemporaryDir dir;
  RigStore rig;
  RecordingSink sink;
  ui::frmTBConfig config(ui::WindowContext{rig, sink, dir.filePath("TrailBeam.ini").toStdString()});
  config.Form_Load();
  config.show();
  QCoreApplication::processEvents();
  auto* list = Control<platform::ExtLV>(config, "lvConf");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->geometry().right() + 1, config.width());
  QScrollBar* bar = list->verticalScrollBar();
  ASSERT_TRUE(bar->isVisible());
  EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
  const QRect barInWindow(bar->mapTo(&config, QPoint(0, 0)), bar->size());
  EXPECT_TRUE(config.rect().contains(barInWindow));
  const int last = list->columnCount() - 1;
  ASSERT_EQ(last, 6);
  const QPoint lastCell(list->columnViewportPosition(last) + list->columnWidth(last),
                        list->rowViewportPosition(3) + list->rowHeight(3));
  EXPECT_LE(lastCell.x(), list->viewport()->width());
  EXPECT_LE(lastCell.y(), list->viewport()->height());
}

}  // namespace
}  // namespace tb::testing

// Draws the three windows with a sample rig and saves them as PNG files
// for the documentation: ui_screenshots <folder>. Run it under xvfb-run;
// the windows are grabbed with a plain title bar carrying their caption.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "rig/settings_file.h"
#include "ui/form_tb_main.h"
#include "ui/frm_about.h"
#include "ui/frm_tb_config.h"
#include "ui_test_support.h"

namespace {

QImage Framed(QWidget& window) {
  QCoreApplication::processEvents();
  const QPixmap client = window.grab();
  const int bar = 24;
  const int border = 1;
  QImage image(client.width() + 2 * border, client.height() + bar + border, QImage::Format_ARGB32);
  image.fill(QColor(90, 96, 110));
  QPainter p(&image);
  QLinearGradient title(0, 0, 0, bar);
  title.setColorAt(0, QColor(70, 110, 170));
  title.setColorAt(1, QColor(45, 80, 140));
  p.fillRect(QRect(border, border, client.width(), bar - border), title);
  p.setPen(Qt::white);
  QFont font = window.font();
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRect(border + 8, border, client.width() - 40, bar - border),
             Qt::AlignVCenter | Qt::AlignLeft, window.windowTitle());
  // The close box.
  const QRect close(image.width() - border - 22, border + 3, 17, 17);
  p.setPen(QPen(Qt::white, 2));
  p.drawLine(close.topLeft() + QPoint(4, 4), close.bottomRight() - QPoint(4, 4));
  p.drawLine(close.topRight() + QPoint(-4, 4), close.bottomLeft() + QPoint(4, -4));
  p.drawPixmap(border, bar, client);
  return image;
}

bool Save(QWidget& window, const QDir& folder, const char* name) {
  const QString file = folder.filePath(QString::fromUtf8(name));
  if (!Framed(window).save(file)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    return false;
  }
  std::printf("%s\n", qPrintable(file));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: ui_screenshots <folder>\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  QTemporaryDir dir;
  tb::RigStore rig;
  tb::testing::RecordingSink sink;
  const tb::ui::WindowContext context{rig, sink, dir.filePath("TrailBeam.ini").toStdString()};

  const char* names[4] = {"Spot links", "Spot rechts", "Wash Mitte", ""};
  const int pan[5] = {60, 60, 220, 220, 140};
  const int tilt[5] = {40, 200, 40, 200, 120};
  for (int d = 1; d <= 4; ++d) {
    rig.Device(d)->Name = names[d - 1];
    rig.Device(d)->PanChannel = 16 * d - 15;
    rig.Device(d)->TiltChannel = 16 * d - 13;
    if (d <= 2) {  // heads with 16-bit pan and tilt
      rig.Device(d)->PanFineChannel = 16 * d - 14;
      rig.Device(d)->TiltFineChannel = 16 * d - 12;
    }
    if (d == 3) {  // a head with other ranges than 540/270
      rig.Device(d)->PanRange = 630;
      rig.Device(d)->TiltRange = 265;
    }
    for (int p = 1; p <= 5; ++p) {
      const bool taken = d == 1 || (d == 2 && p != 4 && p != 5);
      *rig.Pan(d, p) = taken ? pan[p - 1] + 3 * d : tb::Uncalibrated;
      *rig.Tilt(d, p) = taken ? tilt[p - 1] + 2 * d : tb::Uncalibrated;
    }
  }
  // A measured stage, so that the main window offers the follow height.
  rig.StageK1K3 = 8.0;
  rig.StageK1K2 = 6.0;
  if (tb::save_config(rig, context.settingsPath)) return 1;

  tb::ui::FormTBMain main(context);
  main.show();
  tb::testing::PickEntry(main.findChild<QComboBox*>("ComboDeviceList"), 1);
  tb::testing::PickEntry(main.findChild<QComboBox*>("ComboMaster"), 0);
  tb::testing::Click(main.findChild<QWidget*>("TxtCalibr_3"));
  bool ok = Save(main, folder, "main.png");

  tb::ui::frmTBConfig config(context);
  config.Form_Load();
  config.show();
  ok = Save(config, folder, "config.png") && ok;

  tb::ui::frmAbout about;
  about.Form_Load();
  about.show();
  ok = Save(about, folder, "about.png") && ok;
  return ok ? 0 : 1;
}

#include "ui/frm_about.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>

#include "ui/qt_layout.h"

namespace tb::ui {

namespace {

QPointer<frmAbout> openHelp;

}  // namespace

QPixmap AboutPicture() {
  QPixmap picture(kAboutPictureSize, kAboutPictureSize);
  picture.fill(QColor(24, 28, 48));
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  // The beam, widening towards the stage.
  QPainterPath beam;
  beam.moveTo(17, 16);
  beam.lineTo(25, 12);
  beam.lineTo(54, 44);
  beam.lineTo(40, 54);
  beam.closeSubpath();
  QLinearGradient glow(20, 14, 48, 50);
  glow.setColorAt(0, QColor(255, 246, 180, 230));
  glow.setColorAt(1, QColor(255, 210, 90, 60));
  p.fillPath(beam, glow);
  // The stage floor and the spot.
  p.fillRect(0, 49, 55, 6, QColor(70, 60, 50));
  p.setBrush(QColor(255, 236, 150));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QRectF(37, 47, 16, 5));
  // The moving head: yoke and lamp.
  p.setBrush(QColor(150, 156, 170));
  p.drawRect(4, 3, 22, 4);
  p.drawRect(4, 3, 4, 16);
  p.drawRect(22, 3, 4, 16);
  p.setBrush(QColor(60, 64, 78));
  p.drawEllipse(QRectF(8, 8, 15, 15));
  p.setBrush(QColor(255, 250, 210));
  p.drawEllipse(QRectF(17, 13, 7, 7));
  return picture;
}

frmAbout* frmAbout::Open() { return openHelp; }

frmAbout* frmAbout::ShowHelp(QWidget* parent) {
  if (openHelp != nullptr) {
    openHelp->show();
    openHelp->raise();
    openHelp->activateWindow();
    return openHelp;
  }
  auto* help = new frmAbout(parent);
  help->setAttribute(Qt::WA_DeleteOnClose);
  openHelp = help;
  help->show();
  return help;
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent, QtWindowFlags(AboutWindowLayout().frame)) {
  BuildWindow(*this, AboutWindowLayout());
  setModal(false);
  FindControl<QLabel>(*this, "picIcon")->setPixmap(AboutPicture());
  auto* ok = FindControl<QPushButton>(*this, "cmdOK");
  ok->setFocus(Qt::OtherFocusReason);

  window_ = std::make_unique<QtWindow>(this, [this] { close(); });
  lblDescription_ = std::make_unique<QtLabel>(FindControl<QLabel>(*this, "lblDescription"));
  logic_ = std::make_unique<AboutWindowLogic>(AboutWindowControls{*window_, *lblDescription_});
  AboutWindowLogic* logic = logic_.get();
  // Escape is the dialog's own and closes it the same way.
  connect(ok, &QPushButton::clicked, this, [logic] { logic->cmdOK_Click(); });
  logic_->Form_Load();
}

frmAbout::~frmAbout() = default;

}  // namespace tb::ui

#include "ui/frm_about.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>

#include "ui/dialog_font.h"
#include "ui/twips.h"
#include "ui/window_context.h"

namespace tb::ui {

namespace {

QPointer<frmAbout> openHelp;

constexpr const char* kDescription =
    "Markieren Sie sich 4 Eckpunkte ihrer Bühne und den Mittelpunkt und kalibrieren Sie jedes "
    "gewünschte Moving Light auf diese Punkte. Dazu wird das der Position entsprechende "
    "Textfeld markiert und mit dem Get_Value-Button der Wert eingelesen. Danach wird das "
    "Mastergerät gewählt. Nun sollten alle kalibrierten Geräte den Masterbewegungen folgen. "
    "Leider kann z.Z. die Geräteliste noch nicht importiert werden, so dass im "
    "Konfigurationsmenü die Geräteparameter zu definieren sind.";

// A line between two points (twips), drawn by a widget that just covers it.
class LineWidget final : public QWidget {
 public:
  LineWidget(QWidget* parent, const char* name, QPoint from, QPoint to, QColor colour, int width)
      : QWidget(parent), colour_(colour) {
    setObjectName(QString::fromUtf8(name));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int x1 = Px(from.x());
    const int x2 = Px(to.x());
    const int y = Px(from.y());
    setGeometry(std::min(x1, x2), y - width / 2, std::abs(x2 - x1) + 1, width);
    setProperty("lineColor", colour);
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

}  // namespace

QPixmap AboutPicture() {
  QPixmap picture(55, 55);
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

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("frmAbout"));
  setModal(false);
  setFont(DialogFont());
  setFixedSize(Px(5760), Px(5115));

  // Lines first: they lie beneath the controls.
  new LineWidget(this, "Line1_1", {-120, 3480}, {5444, 3480}, QColor(128, 128, 128), 1);
  new LineWidget(this, "Line1_0", {0, 4560}, {5549, 4560}, Qt::white, 2);

  auto* picIcon = new QLabel(this);
  picIcon->setObjectName(QStringLiteral("picIcon"));
  picIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  picIcon->setLineWidth(2);
  picIcon->setAlignment(Qt::AlignCenter);
  picIcon->setPixmap(AboutPicture());
  picIcon->setGeometry(TwipsRect(120, 240, 885, 885));

  auto label = [this](const char* name, QRect place, const QString& text) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QString::fromUtf8(name));
    l->setGeometry(place);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    l->setPalette(pal);
    return l;
  };
  auto* description = label("lblDescription", TwipsRect(840, 1320, 3885, 2970), QString());
  description->setWordWrap(true);
  QLabel* title = label("lblTitle", TwipsRect(1050, 240, 3885, 480),
                        QStringLiteral("Orvane Plugin \"Trail Beam\""));
  QFont big = title->font();
  big.setPointSizeF(12);
  big.setBold(true);
  title->setFont(big);
  label("lblVersion", TwipsRect(1080, 840, 3885, 225),
        QStringLiteral("Version 0.2 (") + QString::fromUtf8(kAuthor) + QStringLiteral(")"));
  label("lblDisclaimer", TwipsRect(120, 4920, 2790, 825), QString())->setWordWrap(true);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("cmdOK"));
  ok->setGeometry(TwipsRect(4200, 4560, 1260, 345));
  ok->setDefault(true);  // Enter; Escape closes the dialog as well
  connect(ok, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
  ok->setFocus(Qt::OtherFocusReason);

  Form_Load();
}

frmAbout::~frmAbout() = default;

void frmAbout::Form_Load() {
  setWindowTitle(QStringLiteral("Info zu ") + QString::fromUtf8(kAppTitle));
  findChild<QLabel*>(QStringLiteral("lblDescription"))->setText(QString::fromUtf8(kDescription));
}

void frmAbout::cmdOK_Click() { close(); }

}  // namespace tb::ui

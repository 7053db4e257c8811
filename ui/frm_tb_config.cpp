#include "ui/frm_tb_config.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "platform/extlv/extlv.h"
#include "rig/settings_file.h"
#include "ui/dialog_font.h"
#include "ui/leading_number.h"
#include "ui/twips.h"

namespace tb::ui {

namespace {

constexpr const char* kInstruction =
    "Weil noch keine Geräteinfos von ORVN gelesen werden können, müssen diese hier konfiguriert "
    "werden. Tragen Sie hier bis zu 4 Geräte ein. Klicken Sie zweimal in das zu ändernde Feld.";

std::int32_t CellNumber(const QString& text) { return LeadingNumber(text.toStdString()); }

std::int32_t CellRange(const QString& text) {
  return std::clamp(CellNumber(text), kMinRange, kMaxRange);
}

// The list's columns: header text, width in twips, in the order added. The
// range and fine columns fit their headers in Verdana; all seven end inside
// the part of the list that the window shows (see the list's placement
// below).
struct Column {
  const char* header;
  double widthTwips;
};
constexpr Column kColumns[] = {
    {"Gerät", 1809.811}, {"Pan Channel", 1039.858}, {"Tilt Channel", 1039.858}, {"Pan range", 990},
    {"Tilt range", 990}, {"Pan fine", 900},         {"Tilt fine", 900},
};
// The fine columns widen the window, the list and OK's place by their width.
constexpr double kFineColumnsTwips = 1800;

}  // namespace

frmTBConfig::frmTBConfig(WindowContext context, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      ctx_(std::move(context)) {
  setObjectName(QStringLiteral("frmTBConfig"));
  setWindowTitle(QStringLiteral("TrailBeam Configuration"));
  setFont(DialogFont());
  setModal(true);
  resize(Px(6075 + kFineColumnsTwips), Px(2715));

  lblConf = new QLabel(this);
  lblConf->setObjectName(QStringLiteral("lblConf"));
  lblConf->setGeometry(TwipsRect(0, 120, 6015, 735));
  lblConf->setWordWrap(true);
  lblConf->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  // The layout puts the list's right edge 60 twips (4 px) past the client
  // area: its right border and a 3 px strip of empty list stay out of
  // sight. Nothing else is cut off: the columns end before that strip, and
  // the four rows fit the list's height, so no scroll bar appears in it.
  lvConf = new platform::ExtLV(this);
  lvConf->setObjectName(QStringLiteral("lvConf"));
  lvConf->setGeometry(TwipsRect(120, 960, 6015 + kFineColumnsTwips, 1215));
  lvConf->SetTitleHeightTwips(255);

  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setGeometry(TwipsRect(5160 + kFineColumnsTwips, 2280, 855, 375));
  // No default role: Enter belongs to the list's editor.
  cmdOK->setAutoDefault(false);
  cmdOK->setDefault(false);

  setTabOrder(lvConf, cmdOK);
  connect(cmdOK, &QPushButton::clicked, this, &frmTBConfig::cmdOK_Click);
  connect(lvConf, &platform::ExtLV::ItemMouseEvent, this, &frmTBConfig::lvConf_ItemMouseEvent);
  connect(lvConf, &platform::ExtLV::EditEnd, this, &frmTBConfig::lvConf_EditEnd);
}

frmTBConfig::~frmTBConfig() = default;

std::error_code frmTBConfig::save_config() { return tb::save_config(ctx_.rig, ctx_.settingsPath); }
void frmTBConfig::read_config() { tb::read_config(ctx_.rig, ctx_.settingsPath); }

void frmTBConfig::readTBConfiguration() {
  if (isVisible()) {
    raise();
    activateWindow();
    return;
  }
  Form_Load();
  exec();
  Unload();
}

void frmTBConfig::Form_Load() {
  Unload();
  lblConf->setText(QString::fromUtf8(kInstruction));
  for (const Column& column : kColumns)
    lvConf->columnHeaders().Add(QString::fromUtf8(column.header), column.widthTwips);
  read_config();
  for (int i = 1; i <= kDeviceCount; ++i) AddDeviceRow(i);
  lvConf->setFocus(Qt::OtherFocusReason);
}

// An unnamed device shows channels 0 and 0, the default ranges and no fine
// channels, whatever its record holds.
void frmTBConfig::AddDeviceRow(int i) {
  DeviceRecord shown = *ctx_.rig.Device(i);
  QString text = QString::fromStdString(shown.Name);
  if (shown.Name.empty()) {
    shown = DeviceRecord{};
    if (i <= 2) text = QStringLiteral("Device%1").arg(i);
  }
  platform::ListItem* row = lvConf->listItems().Add(QStringLiteral("Item%1").arg(i), text);
  row->SetSubItem(1, QString::number(shown.PanChannel));
  row->SetSubItem(2, QString::number(shown.TiltChannel));
  row->SetSubItem(3, QString::number(shown.PanRange));
  row->SetSubItem(4, QString::number(shown.TiltRange));
  row->SetSubItem(5, QString::number(shown.PanFineChannel));
  row->SetSubItem(6, QString::number(shown.TiltFineChannel));
}

void frmTBConfig::Unload() {
  lvConf->listItems().Clear();
  lvConf->columnHeaders().Clear();
}

void frmTBConfig::lvConf_ItemMouseEvent(platform::ListItem*, int button, int flag) {
  if (button != 1 || flag == 0) return;
  const int column = lvConf->CurrentCellColumn();
  platform::ListItem* row = lvConf->CurrentCellRow();
  if (row == nullptr) return;
  lvConf->BeginEdit(column == 0 ? row->Text() : row->SubItem(column));
}

void frmTBConfig::lvConf_EditEnd(const QString&, const QString& newText) {
  const int column = lvConf->CurrentCellColumn();
  platform::ListItem* row = lvConf->CurrentCellRow();
  if (row == nullptr) return;
  if (column == 0) {
    if (!IsStorableName(newText.toStdString())) {
      ctx_.messages.Show(kNameRefused);
      return;
    }
    row->SetText(newText);
  } else {
    row->SetSubItem(column, newText);
  }
}

void frmTBConfig::cmdOK_Click() {
  for (int i = 1; i <= kDeviceCount; ++i) {
    const platform::ListItem* row = lvConf->listItems().Item(i);
    DeviceRecord* device = ctx_.rig.Device(i);
    if (row == nullptr || device == nullptr) continue;
    device->Name = row->Text().toStdString();
    device->PanChannel = CellNumber(row->SubItem(1));
    device->TiltChannel = CellNumber(row->SubItem(2));
    device->PanRange = CellRange(row->SubItem(3));
    device->TiltRange = CellRange(row->SubItem(4));
    device->PanFineChannel = CellNumber(row->SubItem(5));
    device->TiltFineChannel = CellNumber(row->SubItem(6));
  }
  // A failed save keeps the window open with the operator's edits.
  if (const std::error_code error = save_config()) {
    ctx_.messages.Show("TrailBeam.ini could not be saved: " + error.message());
    return;
  }
  accept();
}

// The close box discards every edit, also one still open in the editor,
// which would otherwise be confirmed when the hiding window takes its focus.
void frmTBConfig::closeEvent(QCloseEvent* event) {
  lvConf->CancelEdit();
  QDialog::closeEvent(event);
}

// The window has no cancel role: Escape must not throw the edits away. OK
// is no default button either, but a keyboard user who tabbed to it presses
// it with Enter as with Space.
void frmTBConfig::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Escape) {
    event->accept();
    return;
  }
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && cmdOK->hasFocus()) {
    event->accept();
    cmdOK->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace tb::ui

#include "ui/frm_tb_config.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

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

}  // namespace

frmTBConfig::frmTBConfig(WindowContext context, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      ctx_(std::move(context)) {
  setObjectName(QStringLiteral("frmTBConfig"));
  setWindowTitle(QStringLiteral("TrailBeam Configuration"));
  setFont(DialogFont());
  setModal(true);
  resize(Px(6075), Px(2715));

  lblConf = new QLabel(this);
  lblConf->setObjectName(QStringLiteral("lblConf"));
  lblConf->setGeometry(TwipsRect(0, 120, 6015, 735));
  lblConf->setWordWrap(true);
  lblConf->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  lvConf = new platform::ExtLV(this);
  lvConf->setObjectName(QStringLiteral("lvConf"));
  lvConf->setGeometry(TwipsRect(120, 960, 6015, 1215));
  lvConf->SetTitleHeightTwips(255);

  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setGeometry(TwipsRect(5160, 2280, 855, 375));
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
  lvConf->columnHeaders().Add(QStringLiteral("Gerät"), 1809.811);
  lvConf->columnHeaders().Add(QStringLiteral("Pan Channel"), 1039.858);
  lvConf->columnHeaders().Add(QStringLiteral("Tilt Channel"), 1039.858);
  read_config();
  for (int i = 1; i <= kDeviceCount; ++i) {
    const DeviceRecord& device = *ctx_.rig.Device(i);
    platform::ListItem* row = nullptr;
    const QString key = QStringLiteral("Item%1").arg(i);
    if (!device.Name.empty()) {
      row = lvConf->listItems().Add(key, QString::fromStdString(device.Name));
      row->SetSubItem(1, QString::number(device.PanChannel));
      row->SetSubItem(2, QString::number(device.TiltChannel));
    } else {
      row = lvConf->listItems().Add(key, i <= 2 ? QStringLiteral("Device%1").arg(i) : QString());
      row->SetSubItem(1, QStringLiteral("0"));
      row->SetSubItem(2, QStringLiteral("0"));
    }
  }
  lvConf->setFocus(Qt::OtherFocusReason);
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

// The window has no cancel role: Escape must not throw the edits away.
void frmTBConfig::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace tb::ui

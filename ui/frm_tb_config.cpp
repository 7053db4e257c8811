#include "ui/frm_tb_config.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/extlv/extlv.h"
#include "ui/qt_layout.h"
#include "ui/setup_window_layout.h"

namespace tb::ui {

frmTBConfig::frmTBConfig(WindowContext context, QWidget* parent)
    : QDialog(parent, QtWindowFlags(SetupWindowLayout().frame)) {
  BuildWindow(*this, SetupWindowLayout());
  setModal(true);
  auto* list = FindControl<platform::ExtLV>(*this, "lvConf");
  list->SetTitleHeightTwips(kListTitleHeight);
  list->SetShownRows(kListShownRows);
  cmdOK = FindControl<QPushButton>(*this, "cmdOK");

  window_ = std::make_unique<QtWindow>(this, [this] { accept(); });
  lblConf_ = std::make_unique<QtLabel>(FindControl<QLabel>(*this, "lblConf"));
  lvConf_ = std::make_unique<QtList>(list);
  txtK1K3_ = std::make_unique<QtEdit>(FindControl<QLineEdit>(*this, "txtK1K3"));
  txtK1K2_ = std::make_unique<QtEdit>(FindControl<QLineEdit>(*this, "txtK1K2"));
  txtHeightChannel_ = std::make_unique<QtEdit>(FindControl<QLineEdit>(*this, "txtHeightChannel"));
  txtFollowRate_ = std::make_unique<QtEdit>(FindControl<QLineEdit>(*this, "txtFollowRate"));
  logic_ = std::make_unique<SetupWindowLogic>(
      std::move(context), SetupWindowControls{*window_, *lblConf_, *lvConf_, *txtK1K3_, *txtK1K2_,
                                              *txtHeightChannel_, *txtFollowRate_});

  SetupWindowLogic* logic = logic_.get();
  connect(cmdOK, &QPushButton::clicked, this, [logic] { logic->cmdOK_Click(); });
  connect(list, &platform::ExtLV::ItemMouseEvent, this,
          [logic](platform::ListItem*, int button, int flag) {
            logic->lvConf_ItemMouseEvent(button, flag);
          });
  connect(list, &platform::ExtLV::EditEnd, this,
          [logic](const QString& oldText, const QString& newText) {
            logic->lvConf_EditEnd(oldText.toStdString(), newText.toStdString());
          });
}

frmTBConfig::~frmTBConfig() = default;

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

void frmTBConfig::closeEvent(QCloseEvent* event) {
  logic_->CloseBox();
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

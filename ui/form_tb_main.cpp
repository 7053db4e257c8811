#include "ui/form_tb_main.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "ui/frm_about.h"
#include "ui/main_window_layout.h"
#include "ui/qt_layout.h"

namespace tb::ui {

namespace {

IndexedTextBox* Box(const QWidget& window, int index) {
  return FindControl<IndexedTextBox>(window, ("TxtCalibr_" + std::to_string(index)).c_str());
}

}  // namespace

struct FormTBMain::Controls {
  explicit Controls(const QWidget& w)
      : ComboDeviceList(FindControl<QComboBox>(w, "ComboDeviceList")),
        ComboMaster(FindControl<QComboBox>(w, "ComboMaster")),
        TxtCalibr{QtTextBox(Box(w, 0)), QtTextBox(Box(w, 1)), QtTextBox(Box(w, 2)),
                  QtTextBox(Box(w, 3)), QtTextBox(Box(w, 4))},
        CmdEnableTB(FindControl<QPushButton>(w, "CmdEnableTB")),
        OptLin(FindControl<QRadioButton>(w, "OptLin")),
        TxtHeight(FindControl<QLineEdit>(w, "TxtHeight")),
        TimerDMX(FindControl<QTimer>(w, "TimerDMX")) {}

  MainWindowControls View(std::function<void()> showHelp) {
    return {ComboDeviceList,
            ComboMaster,
            {&TxtCalibr[0], &TxtCalibr[1], &TxtCalibr[2], &TxtCalibr[3], &TxtCalibr[4]},
            CmdEnableTB,
            OptLin,
            TxtHeight,
            TimerDMX,
            std::move(showHelp)};
  }

  QtCombo ComboDeviceList;
  QtCombo ComboMaster;
  std::array<QtTextBox, kPointCount> TxtCalibr;
  QtButton CmdEnableTB;
  QtOption OptLin;
  QtEdit TxtHeight;
  QtTimer TimerDMX;
};

FormTBMain::FormTBMain(WindowContext context, QWidget* parent)
    : QWidget(parent, QtWindowFlags(MainWindowLayout().frame)) {
  BuildWindow(*this, MainWindowLayout());
  timer_ = FindControl<QTimer>(*this, "TimerDMX");
  controls_ = std::make_unique<Controls>(*this);
  logic_ = std::make_unique<MainWindowLogic>(std::move(context),
                                             controls_->View([this] { frmAbout::ShowHelp(this); }));
  Connect();
}

FormTBMain::~FormTBMain() = default;

void FormTBMain::Connect() {
  MainWindowLogic* logic = logic_.get();
  // activated: only the operator's picks, never the window's own changes
  // of the selection.
  connect(FindControl<QComboBox>(*this, "ComboDeviceList"), &QComboBox::activated, this,
          [logic](int position) { logic->ComboDeviceList_Click(position); });
  connect(FindControl<QComboBox>(*this, "ComboMaster"), &QComboBox::activated, this,
          [logic](int position) { logic->ComboMaster_Click(position); });
  for (int i = 0; i < kPointCount; ++i)
    connect(Box(*this, i), &IndexedTextBox::Click, this,
            [logic](int index) { logic->TxtCalibr_Click(index); });
  const std::pair<const char*, void (MainWindowLogic::*)()> clicks[] = {
      {"CmdGet", &MainWindowLogic::CmdGet_Click},
      {"CmdClear", &MainWindowLogic::CmdClear_Click},
      {"CmdEnableTB", &MainWindowLogic::CmdEnableTB_Click},
      {"CmdHelp", &MainWindowLogic::CmdHelp_Click},
      {"OptLin", &MainWindowLogic::OptLin_Click},
      {"OptDist", &MainWindowLogic::OptDist_Click},
      {"OptTrigo", &MainWindowLogic::OptTrigo_Click},
  };
  for (const auto& click : clicks) {
    const auto handler = click.second;
    connect(FindControl<QAbstractButton>(*this, click.first), &QAbstractButton::clicked, this,
            [logic, handler] { (logic->*handler)(); });
  }
  // Enter, or the focus leaving the box.
  connect(FindControl<QLineEdit>(*this, "TxtHeight"), &QLineEdit::editingFinished, this,
          [logic] { logic->TxtHeight_Validate(); });
  connect(timer_, &QTimer::timeout, this, [logic] { logic->TimerDMX_Timer(); });
}

void FormTBMain::setVisible(bool visible) {
  if (visible) Load();
  QWidget::setVisible(visible);
}

void FormTBMain::closeEvent(QCloseEvent* event) {
  event->accept();
  Unload();
}

}  // namespace tb::ui

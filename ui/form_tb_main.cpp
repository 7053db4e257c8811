#include "ui/form_tb_main.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <string>

#include "ui/dialog_font.h"
#include "ui/frm_about.h"
#include "ui/twips.h"

namespace tb::ui {

namespace {

constexpr const char* kEnableCaption = "Enable TB";
constexpr const char* kStopCaption = "Stop TB";
constexpr const char* kDeviceListText = "Select Device";
constexpr const char* kMasterListText = "Select Master";
constexpr const char* kSaveFailed = "TrailBeam.ini could not be saved: ";

// Initial texts of the boxes, by index.
const char* const kBoxTexts[5] = {"K1", "K2", "K3", "K4", "      KM"};
// Left, top of each box by index (twips); all are 855 x 285.
constexpr int kBoxPlace[5][2] = {{2280, 1200}, {2280, 480}, {3360, 1200}, {3360, 480}, {2880, 840}};

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// The box shows the coarse values; a device with fine channels adds the
// 16-bit positions (an axis without a fine channel counts its fine byte 0).
QString FineToolTip(const RigStore& rig, int device, int point) {
  const DeviceRecord* record = rig.Device(device);
  if (record == nullptr || !HasFineChannels(*record) || !RigStore::ValidPoint(point)) return {};
  return QStringLiteral("16 bit: %1, %2")
      .arg(Wide16(*rig.Pan(device, point), *rig.PanFine(device, point)))
      .arg(Wide16(*rig.Tilt(device, point), *rig.TiltFine(device, point)));
}

}  // namespace

QColor PlatformColor(std::uint32_t bbggrr) {
  return QColor(static_cast<int>(bbggrr & 0xFF), static_cast<int>((bbggrr >> 8) & 0xFF),
                static_cast<int>((bbggrr >> 16) & 0xFF));
}

QString BoxNumber(std::int32_t value) {
  return value >= 0 ? QStringLiteral(" ") + QString::number(value) : QString::number(value);
}

TxtCalibrBox::TxtCalibrBox(int index, QWidget* parent) : QLineEdit(parent), index_(index) {
  setObjectName(QStringLiteral("TxtCalibr_%1").arg(index));
  setProperty("index", index);
  setReadOnly(true);
  setTextMargins(0, 0, 0, 0);
}

void TxtCalibrBox::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit Click(index_);
}

FormTBMain::FormTBMain(WindowContext context, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      ctx_(std::move(context)) {
  Build();
}

FormTBMain::~FormTBMain() = default;

void FormTBMain::Build() {
  setObjectName(QStringLiteral("FormTBMain"));
  setWindowTitle(QStringLiteral("TrailBeam Plugin"));
  setFont(DialogFont());
  setFixedSize(Px(6600), Px(2955));

  Label1 = new QLabel(Text("Kalibrierung"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(TwipsRect(120, 120, 2055, 375));
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  auto makeList = [this](const char* name, int top) {
    auto* list = new QComboBox(this);
    list->setObjectName(QString::fromUtf8(name));
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setGeometry(TwipsRect(120, top, 2055, 315));
    return list;
  };
  ComboDeviceList = makeList("ComboDeviceList", 480);
  ComboDeviceList->setToolTip(QStringLiteral("dev1, dev2"));
  Label2 = new QLabel(Text("Master"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setGeometry(TwipsRect(120, 1440, 2055, 255));
  Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ComboMaster = makeList("ComboMaster", 1800);

  for (int i = 0; i < 5; ++i) {
    TxtCalibr[i] = new TxtCalibrBox(i, this);
    TxtCalibr[i]->setGeometry(TwipsRect(kBoxPlace[i][0], kBoxPlace[i][1], 855, 285));
    connect(TxtCalibr[i], &TxtCalibrBox::Click, this, &FormTBMain::TxtCalibr_Click);
  }

  auto makeButton = [this](const char* name, const char* caption, QRect place) {
    auto* button = new QPushButton(Text(caption), this);
    button->setObjectName(QString::fromUtf8(name));
    button->setGeometry(place);
    button->setAutoDefault(false);
    return button;
  };
  CmdGet = makeButton("CmdGet", "Get Value", TwipsRect(4560, 840, 855, 375));
  CmdClear = makeButton("CmdClear", "Clear", TwipsRect(5640, 840, 855, 375));

  Frame1 = new QGroupBox(Text("Method"), this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Frame1->setGeometry(TwipsRect(2280, 1680, 4215, 735));
  auto makeOption = [this](const char* name, const char* caption, QRect place) {
    auto* option = new QRadioButton(Text(caption), Frame1);
    option->setObjectName(QString::fromUtf8(name));
    option->setGeometry(place);
    return option;
  };
  OptLin = makeOption("OptLin", "linear", TwipsRect(120, 280, 855, 255));
  OptDist = makeOption("OptDist", "distance", TwipsRect(1260, 240, 975, 375));
  OptTrigo = makeOption("OptTrigo", "trigonometric", TwipsRect(2340, 180, 1575, 495));

  CmdEnableTB = makeButton("CmdEnableTB", kEnableCaption, TwipsRect(3840, 2520, 1215, 375));
  CmdEnableTB->setToolTip(QStringLiteral("trail beam mode"));
  CmdHelp = makeButton("CmdHelp", "Help", TwipsRect(5640, 2520, 855, 375));

  TimerDMX = new QTimer(this);
  TimerDMX->setObjectName(QStringLiteral("TimerDMX"));
  TimerDMX->setInterval(100);
  TimerDMX->setTimerType(Qt::PreciseTimer);

  // Keyboard order as laid out; labels and the frame take no focus.
  QWidget* const order[] = {CmdEnableTB, CmdGet,       CmdClear,     CmdHelp,      ComboDeviceList,
                            ComboMaster, TxtCalibr[0], TxtCalibr[1], TxtCalibr[2], TxtCalibr[3],
                            OptLin,      OptDist,      OptTrigo,     TxtCalibr[4]};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  // activated: only the operator's picks, never the window's own changes
  // of the selection.
  connect(ComboDeviceList, &QComboBox::activated, this, &FormTBMain::ComboDeviceList_Click);
  connect(ComboMaster, &QComboBox::activated, this, &FormTBMain::ComboMaster_Click);
  connect(CmdGet, &QPushButton::clicked, this, &FormTBMain::CmdGet_Click);
  connect(CmdClear, &QPushButton::clicked, this, &FormTBMain::CmdClear_Click);
  connect(CmdEnableTB, &QPushButton::clicked, this, &FormTBMain::CmdEnableTB_Click);
  connect(CmdHelp, &QPushButton::clicked, this, &FormTBMain::CmdHelp_Click);
  connect(OptLin, &QRadioButton::clicked, this, &FormTBMain::OptLin_Click);
  connect(OptDist, &QRadioButton::clicked, this, &FormTBMain::OptDist_Click);
  connect(OptTrigo, &QRadioButton::clicked, this, &FormTBMain::OptTrigo_Click);
  connect(TimerDMX, &QTimer::timeout, this, &FormTBMain::TimerDMX_Timer);

  ResetControls();
}

// The controls as the layout gives them.
void FormTBMain::ResetControls() {
  TimerDMX->stop();
  CmdEnableTB->setText(Text(kEnableCaption));
  for (QComboBox* list : {ComboDeviceList, ComboMaster}) {
    list->clear();
    list->setCurrentIndex(-1);
  }
  ComboDeviceList->setEditText(Text(kDeviceListText));
  ComboMaster->setEditText(Text(kMasterListText));
  for (int i = 0; i < 5; ++i) {
    TxtCalibr[i]->setPalette(palette());
    TxtCalibr[i]->setText(Text(kBoxTexts[i]));
  }
  OptLin->setChecked(true);
}

void FormTBMain::setVisible(bool visible) {
  if (visible && !loaded_) Load();
  QWidget::setVisible(visible);
}

void FormTBMain::Load() {
  if (loaded_) return;
  loaded_ = true;
  Form_Load();
}

void FormTBMain::Unload() {
  loaded_ = false;
  ResetControls();
}

void FormTBMain::closeEvent(QCloseEvent* event) {
  event->accept();
  Unload();
}

void FormTBMain::Form_Load() {
  ctx_.rig.InitRunState();
  int named = 0;
  for (int d = 1; d <= kDeviceCount; ++d) {
    const DeviceRecord* device = ctx_.rig.Device(d);
    if (device == nullptr || device->Name.empty()) continue;
    const QString name = QString::fromStdString(device->Name);
    ComboDeviceList->addItem(name);
    ComboMaster->addItem(name);
    ++named;
  }
  // addItem selects the first entry of an empty list; the lists open
  // without a selection, showing their initial texts.
  ComboDeviceList->setCurrentIndex(-1);
  ComboDeviceList->setEditText(Text(kDeviceListText));
  ComboMaster->setCurrentIndex(-1);
  ComboMaster->setEditText(Text(kMasterListText));
  CmdEnableTB->setFocus(Qt::OtherFocusReason);
  if (named < 2) ctx_.messages.Show("Bitte weitere Geräte konfigurieren");
}

void FormTBMain::PaintBox(int index, std::uint32_t colour, const QString& text,
                          const QString& toolTip) {
  QPalette pal = TxtCalibr[index]->palette();
  pal.setColor(QPalette::Base, PlatformColor(colour));
  TxtCalibr[index]->setPalette(pal);
  TxtCalibr[index]->setText(text);
  TxtCalibr[index]->setToolTip(toolTip);
}

void FormTBMain::RefreshCalibrationBoxes(std::int16_t device) {
  if (!RigStore::ValidDevice(device)) return;
  for (int n = 1; n <= kPointCount; ++n) {
    const std::int32_t pan = *ctx_.rig.Pan(device, n);
    const std::int32_t tilt = *ctx_.rig.Tilt(device, n);
    if (pan != Uncalibrated && tilt != Uncalibrated) {
      PaintBox(n - 1, CalibratedColor, BoxNumber(pan) + QStringLiteral(", ") + BoxNumber(tilt),
               FineToolTip(ctx_.rig, device, n));
    } else {
      PaintBox(n - 1, UncalibratedColor, QStringLiteral("K") + BoxNumber(n));
    }
  }
}

void FormTBMain::ComboDeviceList_Click(int position) {
  if (position < 0 || position >= kDeviceCount) return;  // not a pick
  ctx_.rig.SelectedDevice = static_cast<std::int16_t>(position + 1);
  RefreshCalibrationBoxes(ctx_.rig.SelectedDevice);
}

void FormTBMain::TxtCalibr_Click(int index) {
  if (index < 0 || index >= kPointCount) return;
  if (ctx_.rig.SelectedDevice < 1) {
    ctx_.messages.Show("Please select device");
    return;
  }
  RefreshCalibrationBoxes(ctx_.rig.SelectedDevice);
  PaintBox(index, MarkedColor, TxtCalibr[index]->text(), TxtCalibr[index]->toolTip());
  activePoint_ = static_cast<std::int16_t>(index);
}

void FormTBMain::CmdGet_Click() {
  RigStore& rig = ctx_.rig;
  const std::int16_t device = rig.SelectedDevice;
  if (device < 1) {
    ctx_.messages.Show("Please select device");
    return;
  }
  const DeviceRecord* record = rig.Device(device);
  const int point = activePoint_ + 1;
  if (record == nullptr || !RigStore::ValidPoint(point)) return;

  // Each read is stored as soon as it arrives; a failing read ends the
  // take-over and names the channel.
  auto read = [&](std::int32_t channel, std::int32_t* into) {
    std::error_code error = make_error_code(Errc::no_host_helper);
    std::int32_t value = 0;
    if (rig.HostHelper != nullptr) error = rig.HostHelper->ReadChannel(channel, value);
    if (error) {
      ctx_.messages.Show("Channel " + std::to_string(channel) +
                         " could not be read: " + error.message());
      return false;
    }
    *into = value;
    return true;
  };
  // A fine byte belongs to the coarse value it was read with: taking a
  // coarse value anew drops the old one's until its own read arrives.
  if (!read(record->PanChannel, rig.Pan(device, point))) return;
  *rig.PanFine(device, point) = 0;
  if (!read(record->TiltChannel, rig.Tilt(device, point))) return;
  *rig.TiltFine(device, point) = 0;
  if (record->PanFineChannel != 0 && !read(record->PanFineChannel, rig.PanFine(device, point)))
    return;
  if (record->TiltFineChannel != 0 && !read(record->TiltFineChannel, rig.TiltFine(device, point)))
    return;
  PaintBox(activePoint_, CalibratedColor,
           BoxNumber(*rig.Pan(device, point)) + QStringLiteral(", ") +
               BoxNumber(*rig.Tilt(device, point)),
           FineToolTip(rig, device, point));
}

void FormTBMain::CmdClear_Click() {
  if (TimerDMX->isActive()) {
    ctx_.messages.Show("Please Stop the Trail Beam Plugin at first");
    return;
  }
  for (int d = 1; d <= kDeviceCount; ++d) {
    for (int i = 0; i < kPointCount; ++i) {
      *ctx_.rig.Tilt(d, i + 1) = Uncalibrated;
      *ctx_.rig.Pan(d, i + 1) = Uncalibrated;
      *ctx_.rig.PanFine(d, i + 1) = *ctx_.rig.TiltFine(d, i + 1) = 0;
      PaintBox(i, UncalibratedColor, QStringLiteral("K") + BoxNumber(i + 1));
    }
  }
}

void FormTBMain::ComboMaster_Click(int position) {
  if (position < 0 || position >= kDeviceCount) return;  // not a pick
  RigStore& rig = ctx_.rig;
  rig.MasterDevice = static_cast<std::int16_t>(position + 1);
  const Checked<VBool> calibrated = rig.IsDeviceCalibrated(rig.MasterDevice);
  if (!calibrated || calibrated.value == VFalse) {
    ctx_.messages.Show("Not accepted, because of missing device calibration");
    rig.MasterDevice = 0;
    // Not a pick: activated is not raised for this, so the choice does not
    // run again.
    ComboMaster->setCurrentIndex(-1);
    ComboMaster->setEditText(QString());
  }
}

void FormTBMain::CmdEnableTB_Click() {
  const std::error_code saved =
      CheckCalibrationPlausibility(ctx_.rig, ctx_.settingsPath, ctx_.messages);
  if (saved) {
    ctx_.messages.Show(kSaveFailed + saved.message());
    return;
  }
  if (ctx_.rig.MasterDevice < 1) {
    ctx_.messages.Show("Please, select master device");
    return;
  }
  if (CmdEnableTB->text() == Text(kEnableCaption)) {
    StartFollowing();
  } else {
    CmdEnableTB->setText(Text(kEnableCaption));
    TimerDMX->stop();
  }
}

// The trigonometric method depends on the ranges entered for each head: a
// calibration that does not fit them is told once here, never by the tick,
// and does not stop the switch.
void FormTBMain::StartFollowing() {
  if (ctx_.rig.FollowMethod == kFollowTrigonometric) {
    for (const RangeFinding& finding : CheckFollowRanges(ctx_.rig))
      ctx_.messages.Show(RangeFindingMessage(finding));
  }
  engine_.Start();
  CmdEnableTB->setText(Text(kStopCaption));
  TimerDMX->start();
}

// Run state only: the next tick follows with the new method, and the next
// loading of the window goes back to linear.
void FormTBMain::OptLin_Click() { ctx_.rig.FollowMethod = kFollowLinear; }
void FormTBMain::OptDist_Click() { ctx_.rig.FollowMethod = kFollowDistance; }
void FormTBMain::OptTrigo_Click() { ctx_.rig.FollowMethod = kFollowTrigonometric; }

void FormTBMain::CmdHelp_Click() { frmAbout::ShowHelp(this); }

// A failing tick is not reported: a message box ten times a second would
// make the window unusable, and the next tick tries afresh.
void FormTBMain::TimerDMX_Timer() { (void)engine_.OnTimer(ctx_.rig); }

}  // namespace tb::ui

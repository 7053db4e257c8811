#include "host/interactive/host_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>

#include "host/interactive/follow_panel.h"
#include "host/interactive/head_table.h"
#include "host/interactive/stage_view.h"
#include "host/session/plugin_session.h"
#include "host/sim/head_channels.h"

namespace tbhost {
namespace {

int HeadOfChannel(const StageRig& rig, int channel) {
  for (std::size_t h = 0; h < rig.heads.size(); ++h)
    if (IsHeadChannel(rig.heads[h], channel)) return static_cast<int>(h);
  return -1;
}

}  // namespace

ChannelMonitor::ChannelMonitor(const Universe& universe, const StageRig& rig, QWidget* parent)
    : QWidget(parent), universe_(universe), rig_(rig) {
  setObjectName("channelMonitor");
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  // Every pixel is painted here: the group box around need not paint beneath.
  setAttribute(Qt::WA_OpaquePaintEvent);
  for (std::int32_t c = 1; c <= Universe::kChannels; ++c)
    shown_[static_cast<std::size_t>(c - 1)] = static_cast<std::uint8_t>(universe_.At(c));
}

QSize ChannelMonitor::sizeHint() const {
  return {kHeaderW + kColumns * kCellW + 1, (Universe::kChannels / kColumns) * kCellH + 1};
}

bool ChannelMonitor::ChannelChanged(int channel) {
  if (!Universe::ValidChannel(channel)) return false;
  const int i = channel - 1;
  // Every write is heard, also one that changes nothing: repaint only a change.
  std::uint8_t& shown = shown_[static_cast<std::size_t>(i)];
  const auto value = static_cast<std::uint8_t>(universe_.At(channel));
  if (shown == value) return false;
  shown = value;
  update(kHeaderW + (i % kColumns) * kCellW, (i / kColumns) * kCellH, kCellW + 1, kCellH + 1);
  return true;
}

void ChannelMonitor::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(0x1e, 0x22, 0x28));
  QFont f = font();
  f.setPointSizeF(7);
  p.setFont(f);
  for (int row = 0; row < Universe::kChannels / kColumns; ++row) {
    p.setPen(QColor(0x90, 0x90, 0x90));
    p.drawText(QRect(0, row * kCellH, kHeaderW - 4, kCellH), Qt::AlignRight | Qt::AlignVCenter,
               QString::number(row * kColumns + 1));
    for (int col = 0; col < kColumns; ++col) {
      const int channel = row * kColumns + col + 1;
      const QRect cell(kHeaderW + col * kCellW, row * kCellH, kCellW, kCellH);
      const int head = HeadOfChannel(rig_, channel);
      const int value = universe_.At(channel);
      QColor back = head >= 0 ? HeadColor(head).darker(250) : QColor(0x2a, 0x2f, 0x36);
      p.fillRect(cell, back);
      // A bar along the bottom shows the level at a glance.
      p.fillRect(QRect(cell.left(), cell.bottom() - 2, cell.width() * value / 255, 3),
                 head >= 0 ? HeadColor(head) : QColor(0x78, 0x90, 0x9c));
      p.setPen(QColor(0x14, 0x17, 0x1b));
      p.drawRect(cell);
      p.setPen(value > 0 || head >= 0 ? QColor(0xee, 0xee, 0xee) : QColor(0x70, 0x70, 0x70));
      p.drawText(cell.adjusted(0, -1, 0, -2), Qt::AlignCenter, QString::number(value));
    }
  }
}

HostWindow::HostWindow(Universe& universe, const StageRig& rig, QWidget* parent)
    : QMainWindow(parent), universe_(universe), rig_(rig) {
  setObjectName("hostWindow");
  setWindowTitle("TrailBeam reference host");
  BuildMenu();

  stage_ = new StageView(rig_, this);
  auto* top = new QHBoxLayout;
  top->addWidget(stage_, 1);
  top->addWidget(BuildSidePanel());

  monitor_ = new ChannelMonitor(universe_, rig_);
  auto* monitorBox = new QGroupBox("DMX universe (channels 1–512)");
  auto* monitorLayout = new QHBoxLayout(monitorBox);
  monitorLayout->setContentsMargins(6, 2, 6, 4);
  monitorLayout->addWidget(monitor_);
  monitorLayout->addStretch(1);

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(6, 6, 6, 2);
  layout->addLayout(top, 1);
  layout->addWidget(monitorBox);
  setCentralWidget(central);
  statusText_ = new QLabel;
  statusText_->setObjectName("statusText");
  statusBar()->addWidget(statusText_, 1);
  SetStatusText("No plug-in loaded");
  Connect();

  // Heads start pointing at the centre mark, where an operator would park them.
  for (std::size_t h = 0; h < rig_.heads.size(); ++h)
    if (const auto aim = AimAt(rig_.heads[h], rig_.MarkAt(Mark::KM)))
      AimHead(static_cast<int>(h), *aim);
  SelectHead(0);
}

void HostWindow::BuildMenu() {
  auto* plugin = menuBar()->addMenu("&Plug-in");
  configure_ = plugin->addAction("&Configure devices…");
  configure_->setObjectName("actionConfigure");
  configure_->setEnabled(false);
  connect(configure_, &QAction::triggered, this, &HostWindow::configureRequested);
  showMain_ = plugin->addAction("Show &main window");
  showMain_->setObjectName("actionShowMain");
  showMain_->setEnabled(false);
  connect(showMain_, &QAction::triggered, this, [this] {
    if (pluginWindow_ == nullptr) return;
    pluginWindow_->show();
    pluginWindow_->raise();
    pluginWindow_->activateWindow();
  });
  plugin->addSeparator();
  auto* quit = plugin->addAction("&Quit");
  quit->setShortcut(QKeySequence::Quit);
  connect(quit, &QAction::triggered, qApp, &QApplication::quit);
}

QWidget* HostWindow::BuildSidePanel() {
  heads_ = new HeadTable(rig_);
  calibrationNote_ = new QLabel;
  calibrationNote_->setObjectName("calibrationNote");
  calibrationNote_->setWordWrap(true);
  auto* headsBox = new QGroupBox("Heads");
  auto* headsLayout = new QVBoxLayout(headsBox);
  headsLayout->setContentsMargins(6, 4, 6, 4);
  headsLayout->setSpacing(2);
  headsLayout->addWidget(heads_);
  headsLayout->addWidget(calibrationNote_);
  // Shown once something keeps them up to date: the scripted modes do not.
  calibrationNote_->hide();
  follow_ = new FollowPanel(rig_);
  follow_->hide();

  auto* side = new QVBoxLayout;
  side->setContentsMargins(0, 0, 0, 0);
  side->addWidget(headsBox);
  side->addWidget(BuildFaders());
  side->addWidget(follow_);
  side->addStretch(1);
  auto* sideWidget = new QWidget;
  sideWidget->setLayout(side);
  sideWidget->setFixedWidth(270);
  return sideWidget;
}

QWidget* HostWindow::BuildFaders() {
  auto fader = [](const char* name) {
    auto* s = new QSlider(Qt::Horizontal);
    s->setObjectName(name);
    s->setRange(0, Universe::kMaxValue);
    s->setPageStep(8);
    return s;
  };
  // The spin boxes give one DMX step per arrow key, wheel notch or click
  // where the fader moves two or more per pixel.
  auto value = [](const char* name) {
    auto* box = new QSpinBox;
    box->setObjectName(name);
    box->setRange(0, Universe::kMaxValue);
    box->setKeyboardTracking(false);
    box->setToolTip("One DMX step per arrow key, wheel notch or click; Page Up/Down: 10");
    return box;
  };
  pan_ = fader("panFader");
  tilt_ = fader("tiltFader");
  panValue_ = value("panValue");
  tiltValue_ = value("tiltValue");
  centre_ = new QPushButton("Centre on stage");
  centre_->setObjectName("centreHead");
  centre_->setToolTip("Aims the selected head at KM, wherever its beam went");
  spotInfo_ = new QLabel;
  spotInfo_->setObjectName("spotInfo");
  spotInfo_->setWordWrap(true);

  auto* faders = new QGroupBox("Selected head");
  faders->setToolTip(
      "Drag a spot on the stage, or a head to fetch its beam, or use the faders. The plug-in "
      "reads and writes these channels through the host.");
  auto* grid = new QGridLayout(faders);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setVerticalSpacing(2);
  grid->addWidget(new QLabel("Pan"), 0, 0);
  grid->addWidget(pan_, 0, 1);
  grid->addWidget(panValue_, 0, 2);
  grid->addWidget(new QLabel("Tilt"), 1, 0);
  grid->addWidget(tilt_, 1, 1);
  grid->addWidget(tiltValue_, 1, 2);
  grid->addWidget(centre_, 2, 0, 1, 3);
  grid->addWidget(spotInfo_, 3, 0, 1, 3);
  return faders;
}

void HostWindow::Connect() {
  connect(heads_, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous, int) {
    if (row == previous) return;
    stage_->SetSelected(row);
    SyncFaders();
  });
  connect(stage_, &StageView::headSelected, this, &HostWindow::SelectHead);
  connect(stage_, &StageView::aimRequested, this, [this](int head, FloorPoint target) {
    if (head < 0 || static_cast<std::size_t>(head) >= rig_.heads.size()) return;
    if (const auto aim = AimAt(rig_.heads[static_cast<std::size_t>(head)], target))
      AimHead(head, *aim);
  });
  auto faderMoved = [this](bool isPan, int value) {
    if (syncing_) return;
    const int head = SelectedHead();
    if (head < 0) return;
    SetAxis(universe_, rig_.heads[static_cast<std::size_t>(head)], isPan, value);
  };
  connect(pan_, &QSlider::valueChanged, this, [faderMoved](int v) { faderMoved(true, v); });
  connect(tilt_, &QSlider::valueChanged, this, [faderMoved](int v) { faderMoved(false, v); });
  connect(panValue_, &QSpinBox::valueChanged, pan_, &QSlider::setValue);
  connect(tiltValue_, &QSpinBox::valueChanged, tilt_, &QSlider::setValue);
  connect(pan_, &QSlider::valueChanged, panValue_, &QSpinBox::setValue);
  connect(tilt_, &QSlider::valueChanged, tiltValue_, &QSpinBox::setValue);
  connect(centre_, &QPushButton::clicked, this, &HostWindow::CentreSelected);
  universe_.AddListener([this](std::int32_t channel, std::int32_t) { OnUniverseWrite(channel); });
}

void HostWindow::SetSession(PluginSession* session) {
  session_ = session;
  configure_->setEnabled(session_ != nullptr);
  showMain_->setEnabled(session_ != nullptr);
  SetStatusText(session_ != nullptr ? "Plug-in loaded: ORVN_TB_plugin2.clsORVNPlugIn"
                                    : "No plug-in loaded");
}

void HostWindow::SetPluginWindow(QWidget* window) {
  if (pluginWindow_ == window) return;
  pluginWindow_ = window;
  emit pluginWindowChanged(window);
}

void HostWindow::ShowCalibration(const std::vector<SavedDevice>& devices, const QString& note) {
  heads_->ShowSaved(devices);
  calibrationNote_->setText(note);
  calibrationNote_->show();
}

void HostWindow::ShowFollow(const FollowSeen& seen) {
  follow_->ShowSeen(seen);
  follow_->show();
  stage_->SetMaster(MasterHead(rig_, seen));
}

void HostWindow::ShowMethod(const QString& method) {
  follow_->ShowMethod(method);
  follow_->show();
}

void HostWindow::CentreSelected() {
  const int head = SelectedHead();
  if (head < 0) return;
  if (const auto aim = AimAt(rig_.heads[static_cast<std::size_t>(head)], rig_.MarkAt(Mark::KM)))
    AimHead(head, *aim);
  else
    spotInfo_->setText("This head cannot reach KM");
}

void HostWindow::SetStatusText(const QString& text) { statusText_->setText(text); }

QString HostWindow::StatusText() const { return statusText_->text(); }

PanTilt HostWindow::CurrentAim(int head) const {
  return AimOf(universe_, rig_.heads[static_cast<std::size_t>(head)]);
}

void HostWindow::AimHead(int head, PanTilt dmx) {
  if (head < 0 || static_cast<std::size_t>(head) >= rig_.heads.size()) return;
  if (head == SelectedHead()) {
    // Through the faders, exactly as the operator's hand would move them.
    pan_->setValue(dmx.pan);
    tilt_->setValue(dmx.tilt);
    return;
  }
  SetAim(universe_, rig_.heads[static_cast<std::size_t>(head)], dmx);
}

void HostWindow::SelectHead(int head) {
  if (head < 0 || static_cast<std::size_t>(head) >= rig_.heads.size()) return;
  if (heads_->currentRow() != head) heads_->setCurrentCell(head, 0);
  stage_->SetSelected(head);
  SyncFaders();
}

void HostWindow::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  QApplication::quit();
}

void HostWindow::SetMaster(int head) { stage_->SetMaster(head); }

int HostWindow::SelectedHead() const { return heads_->currentRow(); }

void HostWindow::SyncFaders() {
  const int head = SelectedHead();
  if (head < 0) return;
  const PanTilt aim = CurrentAim(head);
  const MovingHead& h = rig_.heads[static_cast<std::size_t>(head)];
  syncing_ = true;
  // A head with fine channels moves in 16-bit steps; the boxes first, or
  // they would hold a fader's 16-bit value down to a byte.
  panValue_->setRange(0, PanTop(h));
  tiltValue_->setRange(0, TiltTop(h));
  pan_->setRange(0, PanTop(h));
  tilt_->setRange(0, TiltTop(h));
  pan_->setValue(aim.pan);
  tilt_->setValue(aim.tilt);
  syncing_ = false;
  if (const auto spot = BeamSpot(h, aim))
    spotInfo_->setText(
        QString("Spot at x %1 m, y %2 m").arg(spot->x, 0, 'f', 2).arg(spot->y, 0, 'f', 2));
  else
    spotInfo_->setText("Beam does not reach the floor");
}

void HostWindow::OnUniverseWrite(int channel) {
  // A follow tick rewrites every slave even when the master holds still:
  // nothing to draw then.
  if (!monitor_->ChannelChanged(channel)) return;
  std::vector<PanTilt> aims;
  aims.reserve(rig_.heads.size());
  for (std::size_t h = 0; h < rig_.heads.size(); ++h)
    aims.push_back(CurrentAim(static_cast<int>(h)));
  stage_->SetAims(std::move(aims));
  const int head = HeadOfChannel(rig_, channel);
  if (head >= 0 && head == SelectedHead()) SyncFaders();
}

}  // namespace tbhost

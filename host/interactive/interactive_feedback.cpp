#include "host/interactive/interactive_feedback.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include "host/interactive/host_window.h"
#include "host/interactive/saved_calibration.h"
#include "host/interactive/stage_view.h"
#include "host/session/channel_helper.h"
#include "host/session/method_choice.h"
#include "host/sim/stage_estimate.h"

namespace tbhost {
namespace {

// The plug-in writes the file in one go, 25 short lines; anything much
// larger is not its file and is not read into memory.
constexpr qint64 kMaxSettingsBytes = 64 * 1024;

}  // namespace

QString SettingsFileBeside(const std::string& modulePath) {
  return QFileInfo(QString::fromStdString(modulePath)).absoluteDir().filePath("TrailBeam.ini");
}

SavedMarksWatch::SavedMarksWatch(const QString& settingsFile, HostWindow& window)
    : file_(settingsFile), window_(window) {
  // A save deletes the file and writes it anew, which ends a watch on the
  // file itself: the folder's watch sees it come back.
  watcher_.addPath(QFileInfo(file_).absolutePath());
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &SavedMarksWatch::Reread);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &SavedMarksWatch::Reread);
  Reread();
}

void SavedMarksWatch::Reread() {
  const QFileInfo info(file_);
  QByteArray text;
  QString note;
  if (!info.exists()) {
    note =
        "No TrailBeam.ini yet: the plug-in saves it at Enable TB or Stop TB, or with OK in the "
        "device setup.";
  } else {
    if (!watcher_.files().contains(file_)) watcher_.addPath(file_);
    QFile file(file_);
    const QString saved = info.lastModified().toString("HH:mm:ss");
    if (info.size() > kMaxSettingsBytes)
      note = QString("TrailBeam.ini of %1 is too large to be the plug-in's.").arg(saved);
    else if (!file.open(QIODevice::ReadOnly))
      note = QString("TrailBeam.ini of %1 cannot be read.").arg(saved);
    else
      text = file.read(kMaxSettingsBytes);
    if (note.isEmpty()) note = QString("As saved in TrailBeam.ini at %1.").arg(saved);
  }
  // The time is part of what is shown: a save that changed nothing is news too.
  if (shownOnce_ && text == shownText_ && note == shownNote_) return;
  shownOnce_ = true;
  shownText_ = text;
  shownNote_ = note;
  const std::string_view bytes(text.constData(), static_cast<std::size_t>(text.size()));
  window_.ShowCalibration(ReadSavedCalibration(bytes), note);
  // With a K1-K3 length saved, the heads where the plug-in's fit puts them.
  StageEstimate stage = EstimateSavedStage(window_.Rig(), window_.Stage()->Master(), bytes);
  window_.Stage()->SetEstimates(stage.solved ? std::move(stage.heads)
                                             : std::vector<HeadEstimate>{});
}

FollowMonitor::FollowMonitor(ChannelHelper& helper, HostWindow& window)
    : helper_(helper), window_(window) {
  clock_.start();
  quiet_.setSingleShot(true);
  quiet_.setInterval(static_cast<int>(FollowWatch::kQuietMs));
  connect(&quiet_, &QTimer::timeout, this, &FollowMonitor::OnQuiet);
  helper_.SetReadObserver([this](std::int32_t channel, std::int32_t) { OnRead(channel); });
  connect(&window_, &HostWindow::pluginWindowChanged, this, &FollowMonitor::WatchMethod);
  WatchMethod(window_.PluginWindow());
  window_.ShowFollow(watch_.Seen());
}

FollowMonitor::~FollowMonitor() { helper_.SetReadObserver(nullptr); }

void FollowMonitor::OnRead(int channel) {
  const std::int64_t now = clock_.elapsed();
  if (watch_.OnRead(channel, now)) window_.ShowFollow(watch_.Seen());
  // Armed again at every tick: it fires only once the ticks stop.
  if (watch_.Seen().on && watch_.LastTickMs() == now) quiet_.start();
}

void FollowMonitor::OnQuiet() {
  if (watch_.OnQuiet(clock_.elapsed())) {
    window_.ShowFollow(watch_.Seen());
  } else if (watch_.Seen().on) {
    quiet_.start();  // a tick came in while the timer was due
  }
}

void FollowMonitor::WatchMethod(QWidget* mainWindow) {
  if (mainWindow_ != nullptr) {
    disconnect(mainWindow_, nullptr, this, nullptr);
    for (FollowChoice method : kAllMethods)
      if (auto* option = mainWindow_->findChild<QAbstractButton*>(MethodOption(method)))
        disconnect(option, nullptr, this, nullptr);
  }
  mainWindow_ = mainWindow;
  if (mainWindow != nullptr) {
    for (FollowChoice method : kAllMethods)
      if (auto* option = mainWindow->findChild<QAbstractButton*>(MethodOption(method)))
        connect(option, &QAbstractButton::toggled, this, &FollowMonitor::ShowMethod);
    connect(mainWindow, &QObject::destroyed, this, &FollowMonitor::ShowMethod,
            Qt::QueuedConnection);
  }
  ShowMethod();
}

void FollowMonitor::ShowMethod() {
  QString shown;
  if (mainWindow_ != nullptr)
    for (FollowChoice method : kAllMethods)
      if (auto* option = mainWindow_->findChild<QAbstractButton*>(MethodOption(method));
          option != nullptr && option->isChecked())
        shown = QString::fromUtf8(MethodName(method).data(),
                                  static_cast<qsizetype>(MethodName(method).size()));
  window_.ShowMethod(shown);
}

}  // namespace tbhost

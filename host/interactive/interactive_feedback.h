// Keeps the interactive host's feedback up to date, on change only: the
// marks the plug-in's last save holds (TrailBeam.ini beside the module,
// read again whenever the file changes), and follow mode as the plug-in's
// reads show it, with the method picked in its main window.
#pragma once

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <string>

#include "host/interactive/follow_watch.h"

namespace tbhost {

class ChannelHelper;
class HostWindow;

// The plug-in keeps its settings beside its module file.
QString SettingsFileBeside(const std::string& modulePath);

class SavedMarksWatch : public QObject {
  Q_OBJECT

 public:
  // `settingsFile` is the plug-in's TrailBeam.ini; it need not exist yet.
  SavedMarksWatch(const QString& settingsFile, HostWindow& window);

 private:
  void Reread();

  QString file_;
  HostWindow& window_;
  QFileSystemWatcher watcher_;
  QByteArray shownText_;
  QString shownNote_;
  bool shownOnce_ = false;
};

class FollowMonitor : public QObject {
  Q_OBJECT

 public:
  // Listens to the helper's reads until destroyed; both must outlive it.
  FollowMonitor(ChannelHelper& helper, HostWindow& window);
  ~FollowMonitor() override;

 private:
  void OnRead(int channel);
  void OnQuiet();
  void WatchMethod(QWidget* mainWindow);
  void ShowMethod();

  ChannelHelper& helper_;
  HostWindow& window_;
  FollowWatch watch_;
  QElapsedTimer clock_;
  QTimer quiet_;
  QPointer<QWidget> mainWindow_;
};

}  // namespace tbhost

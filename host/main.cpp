// trailbeam-host: the reference host. With a display it opens the stage,
// the faders and the plug-in's main window; without one (or with --demo) it
// plays the headless operator session and prints its report.
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "host/demo.h"
#include "host/host_options.h"
#include "host/host_window.h"
#if TB_HOST_OLA
#include "host/ola_bridge.h"
#endif
#include "host/plugin_session.h"
#include "host/stage_rig.h"
#include "orvn/comrt.h"

namespace fs = std::filesystem;

namespace {

bool HasDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (x != nullptr && *x != '\0') || (w != nullptr && *w != '\0');
}

fs::path ProgramFolder() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path() : self.parent_path();
}

fs::path RuntimeLibrary() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&orvn::SysAllocString), &info) != 0 &&
      info.dli_fname != nullptr)
    return fs::path(info.dli_fname);
  return {};
}

// A private folder for the registry (and, for the demo, the module copy), so
// that neither the operator's registry nor their TrailBeam.ini is touched.
struct WorkFolder {
  fs::path path;
  bool keep = false;
  ~WorkFolder() {
    if (path.empty() || keep) return;
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  bool Create() {
    std::string pattern = (fs::temp_directory_path() / "trailbeam-host-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return false;
    path = pattern;
    return true;
  }
};

bool CopyInto(const fs::path& from, const fs::path& folder, std::string& error) {
  std::error_code ec;
  fs::copy_file(from, folder / from.filename(), fs::copy_options::overwrite_existing, ec);
  if (ec) error = "could not copy " + from.string() + ": " + ec.message();
  return !ec;
}

// The offscreen platform warns about every window feature it lacks (raise,
// keyboard grabs), and Qt about a missing runtime folder; none of that
// matters to a headless session.
QtMessageHandler previousHandler = nullptr;
void QuietOffscreenWarnings(QtMsgType type, const QMessageLogContext& context,
                            const QString& text) {
  if (type == QtWarningMsg && (text.startsWith("This plugin does not support") ||
                               text.startsWith("QStandardPaths: XDG_RUNTIME_DIR not set")))
    return;
  if (previousHandler != nullptr)
    previousHandler(type, context, text);
  else
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// SIGTERM and SIGINT end the event loop, so that a host run by a script shuts
// down as it does when its window is closed.
int quitPipe[2] = {-1, -1};
void OnQuitSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(quitPipe[1], &byte, 1);
}
void QuitOnSignals(QApplication& app) {
  if (pipe(quitPipe) != 0) return;
  auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, &QApplication::quit);
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "trailbeam-host: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  tbhost::HostOptions options = tbhost::ParseHostOptions(argc, argv);
  if (options.help) {
    std::fputs(tbhost::HostUsage(), stdout);
    return 0;
  }
  if (!options.error.empty()) {
    std::fprintf(stderr, "trailbeam-host: %s\n%s", options.error.c_str(), tbhost::HostUsage());
    return 2;
  }
  const bool display = HasDisplay();
  // A screenshot shows the demo session on the real screen.
  const bool demo = !options.follow && (options.demo || !display || !options.screenshot.empty());
  // Both play the operator's set-up, on a scratch copy of the module.
  const bool scripted = demo || options.follow;
  if (!display && std::getenv("QT_QPA_PLATFORM") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

  fs::path module =
      options.plugin.empty() ? ProgramFolder() / "TrailBeam.so" : fs::path(options.plugin);
  std::error_code ec;
  module = fs::absolute(module, ec);
  if (!fs::exists(module, ec)) return Fail("no plug-in module at " + module.string());

  WorkFolder work;
  if (!work.Create()) return Fail("could not create a work folder");
  if (scripted) {
    std::string error;
    if (!CopyInto(module, work.path, error)) return Fail(error);
    const fs::path runtime = RuntimeLibrary();
    if (!runtime.empty() && !CopyInto(runtime, work.path, error)) return Fail(error);
    module = work.path / module.filename();
    setenv("ORVNCOM_REGISTRY", (work.path / "registry").c_str(), 1);
  } else if (std::getenv("ORVNCOM_REGISTRY") == nullptr) {
    setenv("ORVNCOM_REGISTRY", (work.path / "registry").c_str(), 1);
  }

  if (scripted) previousHandler = qInstallMessageHandler(QuietOffscreenWarnings);
#if !TB_HOST_OLA
  if (options.olaIn || options.olaOut) return Fail("this host was built without OLA support");
#endif
  QApplication app(argc, argv);
  QApplication::setApplicationName("trailbeam-host");

  const tbhost::StageRig rig = tbhost::DefaultRig();
  tbhost::Universe universe;
  tbhost::HostCallCounts counts;
  tbhost::HostWindow window(universe, rig);
  tbhost::PluginSession session(universe, counts);

  if (orvn::FAILED(session.OfferHostClasses()) ||
      orvn::FAILED(session.RegisterModule(module.string())) || orvn::FAILED(session.Start()))
    return Fail(session.LastError());
  window.SetSession(&session);
  QuitOnSignals(app);

#if TB_HOST_OLA
  std::unique_ptr<tbhost::OlaBridge> ola;
  if (options.olaIn || options.olaOut) {
    ola = std::make_unique<tbhost::OlaBridge>(
        universe, tbhost::OlaBridgeConfig{options.olaIn, options.olaOut, options.olaPort});
    window.statusBar()->addPermanentWidget(tbhost::MakeOlaStatusLabel(*ola, &window));
    // Every change of state once on stderr: a headless host has no window to look at.
    QObject::connect(ola.get(), &tbhost::OlaBridge::stateChanged, ola.get(),
                     [last = tbhost::OlaBridge::State::Stopped](tbhost::OlaBridge::State state,
                                                                const QString& text) mutable {
                       if (state == last) return;
                       last = state;
                       std::fprintf(stderr, "trailbeam-host: %s\n", text.toUtf8().constData());
                     });
    ola->Start();
  }
#endif

  if (demo) {
    window.resize(1000, 760);
    window.move(0, 0);
    window.show();
    tbhost::DemoSettings settings;
    settings.seconds = options.seconds;
    settings.png = QString::fromStdString(options.png.empty() ? "trailbeam-demo.png" : options.png);
    settings.report = QString::fromStdString(options.report);
    settings.screenshot = QString::fromStdString(options.screenshot);
    tbhost::Demo run(rig, universe, counts, window, session, settings);
    const tbhost::DemoOutcome outcome = run.Run();
    std::fputs(tbhost::Demo::ReportText(rig, settings, outcome).toUtf8().constData(), stdout);
    QString error;
    bool written = tbhost::Demo::WritePicture(rig, settings, outcome, error);
    written = tbhost::Demo::WriteJson(rig, settings, outcome, error) && written;
    if (!written)
      std::fprintf(stderr, "trailbeam-host: %s\n", error.toUtf8().constData());
    else
      std::printf("\npicture of the stage: %s\n", settings.png.toUtf8().constData());
    return outcome.completed && written ? 0 : 1;
  }

  if (options.follow) {
    window.resize(1000, 760);
    window.move(0, 0);
    window.show();
    tbhost::Demo run(rig, universe, counts, window, session, tbhost::DemoSettings{});
    QString failure;
    if (!run.StartFollowing(failure)) return Fail(failure.toStdString());
    const auto& master = rig.heads[static_cast<std::size_t>(tbhost::DemoSettings{}.master)];
    std::printf("follow mode on: master \"%s\" on channels %d/%d\n", master.name.c_str(),
                master.panChannel, master.tiltChannel);
    std::fflush(stdout);
    return app.exec();
  }

  // The master is the head whose channels the plug-in reads at the follow
  // timer's pace; Get Value reads are far rarer.
  QElapsedTimer clock;
  clock.start();
  std::vector<qint64> lastPanRead(rig.heads.size(), -1000000);
  session.Helper()->SetReadObserver([&](std::int32_t channel, std::int32_t) {
    for (std::size_t h = 0; h < rig.heads.size(); ++h) {
      if (rig.heads[h].panChannel != channel) continue;
      const qint64 now = clock.elapsed();
      const qint64 gap = now - lastPanRead[h];
      lastPanRead[h] = now;
      if (gap >= 50 && gap <= 250) window.SetMaster(static_cast<int>(h));
    }
  });
  QObject::connect(&window, &tbhost::HostWindow::configureRequested, &window, [&] {
    if (orvn::FAILED(session.Configure()))
      std::fprintf(stderr, "trailbeam-host: %s\n", session.LastError().c_str());
  });

  window.resize(1000, 760);
  window.move(20, 20);
  window.show();
  // Shown from inside the event loop: the main window may greet the operator
  // with a modal message.
  QTimer::singleShot(0, &window, [&] {
    void* widget = nullptr;
    if (orvn::FAILED(session.ShowMainForm(&widget))) {
      std::fprintf(stderr, "trailbeam-host: %s\n", session.LastError().c_str());
      return;
    }
    if (auto* form = static_cast<QWidget*>(widget)) {
      window.SetPluginWindow(form);
      form->move(window.frameGeometry().right() + 12, window.frameGeometry().top());
      form->show();
    }
  });
  return app.exec();
}

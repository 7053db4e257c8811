#include <stdlib.h>

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <cstdio>
#include <memory>
#include <optional>

#include "host/host_modes.h"
#include "host/host_startup.h"
#include "host/interactive/host_window.h"
#if TB_HOST_OLA
#include "host/ola/ola_bridge.h"
#endif
#include "host/session/plugin_session.h"
#include "host/session/read_log.h"
#include "orvn/comrt.h"

namespace tbhost {
namespace {

#if TB_HOST_OLA
// `announce`: every change of state once on stderr, for a headless host
// with no window to look at (the show box tells it in its status line).
std::unique_ptr<OlaBridge> AttachOla(const HostOptions& options, Universe& universe,
                                     HostWindow* window, bool announce) {
  if (!options.olaIn && !options.olaOut) return nullptr;
  auto ola = std::make_unique<OlaBridge>(
      universe, OlaBridgeConfig{options.olaIn, options.olaOut, options.olaPort});
  if (window != nullptr) window->statusBar()->addPermanentWidget(MakeOlaStatusLabel(*ola, window));
  if (announce) {
    QObject::connect(
        ola.get(), &OlaBridge::stateChanged, ola.get(),
        [last = OlaBridge::State::Stopped](OlaBridge::State state, const QString& text) mutable {
          if (state == last) return;
          last = state;
          std::fprintf(stderr, "trailbeam-host: %s\n", text.toUtf8().constData());
        });
  }
  ola->Start();
  return ola;
}
#endif

}  // namespace

int RunHost(HostMode mode, const HostOptions& options, int& argc, char** argv) {
  // The demo and --follow play the operator's set-up on a scratch copy of
  // the module; the interactive host and the show box use it in place,
  // since its TrailBeam.ini is the operator's rig.
  const bool scratch = mode == HostMode::Demo || mode == HostMode::Follow;
  // The show box never shows a window, also where a display is at hand.
  const bool headless = mode == HostMode::Run || !HasDisplay();
  if (headless && std::getenv("QT_QPA_PLATFORM") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

  std::string error;
  std::filesystem::path module = FindModule(options.plugin, error);
  if (module.empty()) return Fail(error);
  WorkFolder work;
  if (!work.Create()) return Fail("could not create a work folder");
  if (scratch) {
    module = CopyModuleInto(module, work.path, error);
    if (module.empty()) return Fail(error);
  }
  UsePrivateRegistry(work.path, mode != HostMode::Interactive);

  if (mode != HostMode::Interactive) QuietOffscreenWarnings();
#if !TB_HOST_OLA
  if (options.olaIn || options.olaOut) return Fail("this host was built without OLA support");
#endif
  QApplication app(argc, argv);
  QApplication::setApplicationName("trailbeam-host");

  // Before the session: the plug-in may read until the session has ended.
  const std::unique_ptr<ReadLog> readLog = ReadLog::FromEnvironment();
  Universe universe;
  HostCallCounts counts;
  // Only the show box goes without: it drives no simulated heads.
  std::optional<StageRig> rig;
  std::optional<HostWindow> window;
  if (mode != HostMode::Run) {
    // The command line admits only names RigByName knows.
    rig = RigByName(options.rig).value_or(DefaultRig());
    if (options.fine) rig = WithFineChannels(*rig);
    window.emplace(universe, *rig);
  }
  PluginSession session(universe, counts);

  if (orvn::FAILED(session.OfferHostClasses()) ||
      orvn::FAILED(session.RegisterModule(module.string())) || orvn::FAILED(session.Start()))
    return Fail(session.LastError());
  if (window) window->SetSession(&session);
  session.Helper()->SetReadLog(readLog.get());
  QuitOnSignals(app);
#if TB_HOST_OLA
  const std::unique_ptr<OlaBridge> ola =
      AttachOla(options, universe, window ? &*window : nullptr, mode != HostMode::Run);
  OlaBridge* const bridge = ola.get();
#else
  OlaBridge* const bridge = nullptr;
#endif

  if (mode == HostMode::Run) {
    ShowParts parts{session, counts, bridge, module};
    return RunShow(parts, options, app);
  }
  HostParts parts{*rig, universe, counts, *window, session, bridge};
  switch (mode) {
    case HostMode::Demo:
      return RunDemo(parts, options);
    case HostMode::Follow:
      return RunFollow(parts, options, app);
    case HostMode::Interactive:
      return RunInteractive(parts, app);
    case HostMode::Run:
      break;
  }
  return 1;
}

}  // namespace tbhost

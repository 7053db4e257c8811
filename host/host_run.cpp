#include <stdlib.h>

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <cstdio>
#include <memory>

#include "host/host_modes.h"
#include "host/host_startup.h"
#include "host/host_window.h"
#if TB_HOST_OLA
#include "host/ola_bridge.h"
#endif
#include "host/plugin_session.h"
#include "orvn/comrt.h"

namespace tbhost {
namespace {

#if TB_HOST_OLA
std::unique_ptr<OlaBridge> AttachOla(const HostOptions& options, Universe& universe,
                                     HostWindow& window) {
  if (!options.olaIn && !options.olaOut) return nullptr;
  auto ola = std::make_unique<OlaBridge>(
      universe, OlaBridgeConfig{options.olaIn, options.olaOut, options.olaPort});
  window.statusBar()->addPermanentWidget(MakeOlaStatusLabel(*ola, &window));
  // Every change of state once on stderr: a headless host has no window to look at.
  QObject::connect(
      ola.get(), &OlaBridge::stateChanged, ola.get(),
      [last = OlaBridge::State::Stopped](OlaBridge::State state, const QString& text) mutable {
        if (state == last) return;
        last = state;
        std::fprintf(stderr, "trailbeam-host: %s\n", text.toUtf8().constData());
      });
  ola->Start();
  return ola;
}
#endif

}  // namespace

int RunHost(HostMode mode, const HostOptions& options, int& argc, char** argv) {
  // The scripted modes play the operator's set-up on a scratch copy of the module.
  const bool scripted = mode != HostMode::Interactive;
  if (!HasDisplay() && std::getenv("QT_QPA_PLATFORM") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

  std::string error;
  std::filesystem::path module = FindModule(options.plugin, error);
  if (module.empty()) return Fail(error);
  WorkFolder work;
  if (!work.Create()) return Fail("could not create a work folder");
  if (scripted) {
    module = CopyModuleInto(module, work.path, error);
    if (module.empty()) return Fail(error);
  }
  UsePrivateRegistry(work.path, scripted);

  if (scripted) QuietOffscreenWarnings();
#if !TB_HOST_OLA
  if (options.olaIn || options.olaOut) return Fail("this host was built without OLA support");
#endif
  QApplication app(argc, argv);
  QApplication::setApplicationName("trailbeam-host");

  // The command line admits only names RigByName knows.
  const StageRig rig = RigByName(options.rig).value_or(DefaultRig());
  Universe universe;
  HostCallCounts counts;
  HostWindow window(universe, rig);
  PluginSession session(universe, counts);

  if (orvn::FAILED(session.OfferHostClasses()) ||
      orvn::FAILED(session.RegisterModule(module.string())) || orvn::FAILED(session.Start()))
    return Fail(session.LastError());
  window.SetSession(&session);
  QuitOnSignals(app);
#if TB_HOST_OLA
  const std::unique_ptr<OlaBridge> ola = AttachOla(options, universe, window);
#endif

  HostParts parts{rig, universe, counts, window, session};
  switch (mode) {
    case HostMode::Demo:
      return RunDemo(parts, options);
    case HostMode::Follow:
      return RunFollow(parts, options, app);
    case HostMode::Interactive:
      return RunInteractive(parts, app);
  }
  return 1;
}

}  // namespace tbhost

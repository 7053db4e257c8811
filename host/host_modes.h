// The host's ways to run. Three share the same parts: the simulated rig and
// its universe, the host window and the plug-in session, started. The show
// box has no simulated rig and no window: only the session, on the module
// in place.
#pragma once

#include <filesystem>

#include "host/host_options.h"
#include "host/session/channel_helper.h"
#include "host/sim/stage_rig.h"

class QApplication;

namespace tbhost {

class HostWindow;
class OlaBridge;
class PluginSession;

struct HostParts {
  const StageRig& rig;
  Universe& universe;
  HostCallCounts& counts;
  HostWindow& window;
  PluginSession& session;
  OlaBridge* ola = nullptr;  // when the host is on OLA
};

// Sets up the parts every mode shares, then runs the one `mode` names.
// Returns the program's exit status.
int RunHost(HostMode mode, const HostOptions& options, int& argc, char** argv);

// The headless operator session: report on stdout, the files it asks for.
int RunDemo(HostParts& parts, const HostOptions& options);
// The demo's set-up, then follow mode kept running until the host quits.
int RunFollow(HostParts& parts, const HostOptions& options, QApplication& app);
// The stage, the faders and the plug-in's windows for an operator.
int RunInteractive(HostParts& parts, QApplication& app);

struct ShowParts {
  PluginSession& session;
  HostCallCounts& counts;
  OlaBridge* ola;                // null only in a host built without OLA
  std::filesystem::path module;  // whose TrailBeam.ini is the rig
};
// The operator's calibrated rig in follow mode until SIGTERM or SIGINT.
int RunShow(ShowParts& parts, const HostOptions& options, QApplication& app);

}  // namespace tbhost

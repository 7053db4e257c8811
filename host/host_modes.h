// The host's three ways to run, each on the same parts: the simulated rig
// and its universe, the host window and the plug-in session, started.
#pragma once

#include "host/channel_helper.h"
#include "host/host_options.h"
#include "host/stage_rig.h"

class QApplication;

namespace tbhost {

class HostWindow;
class PluginSession;

struct HostParts {
  const StageRig& rig;
  Universe& universe;
  HostCallCounts& counts;
  HostWindow& window;
  PluginSession& session;
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

}  // namespace tbhost

// The demo's report as text, for the terminal.
#pragma once

#include <QString>

#include "host/demo/demo.h"

namespace tbhost {

QString DemoReportText(const StageRig& rig, const DemoSettings& settings,
                       const DemoOutcome& outcome);

// What the ideal is rounded to: "8 bit", or "16 bit" when the master has
// fine channels (every rig gives all its heads the same).
QString IdealResolution(const StageRig& rig, int master);

}  // namespace tbhost

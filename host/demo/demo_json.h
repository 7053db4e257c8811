// The demo's outcome as JSON, every tick included, for scripts and tests.
#pragma once

#include <QString>

#include "host/demo/demo.h"

namespace tbhost {

// Writes settings.report; nothing when it is empty. False, with the reason
// in `error`, when the file could not be written.
bool WriteDemoJson(const StageRig& rig, const DemoSettings& settings, const DemoOutcome& outcome,
                   QString& error);

}  // namespace tbhost

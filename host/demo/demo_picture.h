// The demo's pictures: the stage from above with the master's path and the
// slaves' traces, and the screen grabbed halfway through follow mode.
#pragma once

#include <QString>

#include "host/demo/demo.h"

namespace tbhost {

// Each writes the file the settings name; nothing when that is empty. False,
// with the reason in `error`, when the file could not be written.
bool WriteDemoPicture(const StageRig& rig, const DemoSettings& settings, const DemoOutcome& outcome,
                      QString& error);
bool WriteDemoScreenshot(const DemoSettings& settings, const DemoOutcome& outcome, QString& error);

}  // namespace tbhost

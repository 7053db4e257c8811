// The demo's report as text, for the terminal.
#pragma once

#include <QString>

#include "host/demo.h"

namespace tbhost {

QString DemoReportText(const StageRig& rig, const DemoSettings& settings,
                       const DemoOutcome& outcome);

}  // namespace tbhost

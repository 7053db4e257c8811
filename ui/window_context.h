// What every window of the component works with, handed in so that tests
// can drive the windows with their own store, file and message recorder.
#pragma once

#include <string>

#include "follow/follow.h"
#include "rig/rig_store.h"

namespace tb::ui {

struct WindowContext {
  RigStore& rig;
  MessageSink& messages;
  std::string settingsPath;  // TrailBeam.ini
};

// The component's application title, which message boxes without a title
// of their own carry as their caption.
inline constexpr const char* kAppTitle = "ORVN_TB_plugin2";

}  // namespace tb::ui

// The help window's layout.
#pragma once

#include "ui/layout.h"

namespace tb::ui {

// The author named in the help window and in the module description.
inline constexpr const char* kAuthor = "TrailBeam Team";
// lblVersion: the version and kAuthor.
inline constexpr const char* kVersionText = "Version 0.2 (TrailBeam Team)";

// The picture in picIcon is this many pixels square.
inline constexpr int kAboutPictureSize = 55;

const WindowLayout& AboutWindowLayout();

}  // namespace tb::ui

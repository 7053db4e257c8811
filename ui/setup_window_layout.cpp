#include "ui/setup_window_layout.h"

namespace tb::ui {

namespace {

using K = ControlKind;

// The fine columns widen the window, the list and OK's place by their width.
constexpr int kFineColumns = 1800;

// The list ends at the client area's right edge, so that its scroll bar for
// the rows past the fourth is in sight; the first column gives up the
// scroll bar's width, so that every column still shows beside it.
constexpr double kScrollBarRoom = 300;
// clang-format off
constexpr ControlLayout kControls[] = {
    {.name = "lblConf", .kind = K::Label,
     .left = 0, .top = 120, .width = 6015, .height = 735, .wrap = true},
    {.name = "lvConf", .kind = K::List,
     .left = 120, .top = 960, .width = 5955 + kFineColumns, .height = 1215, .tab = 0,
     .font = {.family = "Verdana", .points = 8.25}},
    // The stage's measured lengths and the height channel, in a row beside
    // OK, filled in before it in the keyboard order.
    {.name = "lblK1K3", .kind = K::Label,
     .left = 120, .top = 2340, .width = 900, .height = 255, .text = "K1-K3 (m)"},
    {.name = "txtK1K3", .kind = K::Edit,
     .left = 1020, .top = 2325, .width = 735, .height = 285, .tab = 1},
    {.name = "lblK1K2", .kind = K::Label,
     .left = 1920, .top = 2340, .width = 900, .height = 255, .text = "K1-K2 (m)"},
    {.name = "txtK1K2", .kind = K::Edit,
     .left = 2820, .top = 2325, .width = 735, .height = 285, .tab = 2},
    {.name = "lblHeightChannel", .kind = K::Label,
     .left = 3720, .top = 2340, .width = 1380, .height = 255, .text = "Height channel"},
    {.name = "txtHeightChannel", .kind = K::Edit,
     .left = 5100, .top = 2325, .width = 735, .height = 285, .tab = 3},
    // The follow rate on a row of its own below, before OK in the keyboard
    // order.
    {.name = "lblFollowRate", .kind = K::Label,
     .left = 120, .top = 2775, .width = 1500, .height = 255, .text = "Follow rate (Hz)"},
    {.name = "txtFollowRate", .kind = K::Edit,
     .left = 1620, .top = 2760, .width = 735, .height = 285, .tab = 4},
    // Neither default nor cancel: Enter belongs to the list's editor, and
    // Escape must not throw the edits away.
    {.name = "cmdOK", .kind = K::Button,
     .left = 5160 + kFineColumns, .top = 2280, .width = 855, .height = 375, .tab = 5,
     .text = "OK"},
};

// The range and fine columns fit their headers in Verdana; all end inside
// the part of the list that the window shows, beside the scroll bar.
constexpr ColumnLayout kColumns[] = {
    {"Gerät", 1809.811 - kScrollBarRoom}, {"Pan Channel", 1039.858}, {"Tilt Channel", 1039.858},
    {"Pan range", 990}, {"Tilt range", 990}, {"Pan fine", 900}, {"Tilt fine", 900},
};
// clang-format on

constexpr WindowLayout kWindow{
    .name = "frmTBConfig",
    .caption = "TrailBeam Configuration",
    .width = 6075 + kFineColumns,
    .height = 3105,
    .frame = WindowFrame::Sizable,
    .controls = kControls,
    .lines = {},
};

}  // namespace

const WindowLayout& SetupWindowLayout() { return kWindow; }
std::span<const ColumnLayout> SetupListColumns() { return kColumns; }

}  // namespace tb::ui

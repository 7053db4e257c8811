#include "ui/about_window_layout.h"

namespace tb::ui {

namespace {

using K = ControlKind;

constexpr Colour kBlack = 0x000000;
constexpr Colour kGrey = 0x808080;
constexpr Colour kWhite = 0xFFFFFF;

// clang-format off
constexpr ControlLayout kControls[] = {
    {.name = "picIcon", .kind = K::Picture,
     .left = 120, .top = 240, .width = 885, .height = 885},
    // First in the tab order: it has the focus when the window opens.
    {.name = "cmdOK", .kind = K::Button,
     .left = 4200, .top = 4560, .width = 1260, .height = 345, .tab = 0,
     .text = "OK", .isDefault = true, .isCancel = true},
    {.name = "lblDescription", .kind = K::Label,
     .left = 840, .top = 1320, .width = 3885, .height = 2970,
     .wrap = true, .textColour = kBlack},
    {.name = "lblTitle", .kind = K::Label,
     .left = 1050, .top = 240, .width = 3885, .height = 480,
     .text = "Orvane Plugin \"Trail Beam\"", .textColour = kBlack,
     .font = {.points = 12, .bold = true}},
    {.name = "lblVersion", .kind = K::Label,
     .left = 1080, .top = 840, .width = 3885, .height = 225,
     .text = kVersionText, .textColour = kBlack},
    {.name = "lblDisclaimer", .kind = K::Label,
     .left = 120, .top = 4920, .width = 2790, .height = 825,
     .text = "", .wrap = true, .textColour = kBlack},
};

// Beneath the controls.
constexpr LineLayout kLines[] = {
    {.name = "Line1", .index = 1, .x1 = -120, .y1 = 3480, .x2 = 5444, .y2 = 3480,
     .colour = kGrey, .widthPixels = 1},
    {.name = "Line1", .index = 0, .x1 = 0, .y1 = 4560, .x2 = 5549, .y2 = 4560,
     .colour = kWhite, .widthPixels = 2},
};
// clang-format on

constexpr WindowLayout kWindow{
    .name = "frmAbout",
    .caption = nullptr,
    .width = 5760,
    .height = 5115,
    .frame = WindowFrame::FixedDialog,
    .controls = kControls,
    .lines = kLines,
};

}  // namespace

const WindowLayout& AboutWindowLayout() { return kWindow; }

}  // namespace tb::ui

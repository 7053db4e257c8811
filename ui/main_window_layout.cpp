#include "ui/main_window_layout.h"

namespace tb::ui {

namespace {

using K = ControlKind;

// clang-format off
constexpr ControlLayout kControls[] = {
    {.name = "Label1", .kind = K::Label,
     .left = 120, .top = 120, .width = 2055, .height = 375, .text = "Kalibrierung"},
    {.name = "ComboDeviceList", .kind = K::Combo,
     .left = 120, .top = 480, .width = 2055, .height = 315, .tab = 4,
     .text = kDeviceListText, .tooltip = "dev1, dev2"},
    {.name = "Label2", .kind = K::Label,
     .left = 120, .top = 1440, .width = 2055, .height = 255, .text = "Master"},
    {.name = "ComboMaster", .kind = K::Combo,
     .left = 120, .top = 1800, .width = 2055, .height = 315, .tab = 5,
     .text = kMasterListText},
    // The point boxes mirror the stage: K1 bottom left, K2 top left, K3
    // bottom right, K4 top right, KM in the middle.
    {.name = "TxtCalibr", .kind = K::TextBox,
     .left = 2280, .top = 480, .width = 855, .height = 285, .tab = 9,
     .text = kBoxTexts[1], .index = 1},
    {.name = "TxtCalibr", .kind = K::TextBox,
     .left = 3360, .top = 480, .width = 855, .height = 285, .tab = 11,
     .text = kBoxTexts[3], .index = 3},
    {.name = "TxtCalibr", .kind = K::TextBox,
     .left = 2880, .top = 840, .width = 855, .height = 285, .tab = 16,
     .text = kBoxTexts[4], .index = 4},
    {.name = "TxtCalibr", .kind = K::TextBox,
     .left = 2280, .top = 1200, .width = 855, .height = 285, .tab = 8,
     .text = kBoxTexts[0], .index = 0},
    {.name = "TxtCalibr", .kind = K::TextBox,
     .left = 3360, .top = 1200, .width = 855, .height = 285, .tab = 10,
     .text = kBoxTexts[2], .index = 2},
    {.name = "CmdGet", .kind = K::Button,
     .left = 4560, .top = 840, .width = 855, .height = 375, .tab = 1, .text = "Get Value"},
    {.name = "CmdClear", .kind = K::Button,
     .left = 5640, .top = 840, .width = 855, .height = 375, .tab = 2, .text = "Clear"},
    {.name = "Frame1", .kind = K::Frame,
     .left = 2280, .top = 1680, .width = 4215, .height = 735, .text = "Method"},
    {.name = "OptLin", .kind = K::Option,
     .left = 120, .top = 280, .width = 855, .height = 255, .tab = 13,
     .text = "linear", .parent = "Frame1"},
    {.name = "OptDist", .kind = K::Option,
     .left = 1260, .top = 240, .width = 975, .height = 375, .tab = 14,
     .text = "distance", .parent = "Frame1"},
    {.name = "OptTrigo", .kind = K::Option,
     .left = 2340, .top = 180, .width = 1575, .height = 495, .tab = 15,
     .text = "trigonometric", .parent = "Frame1"},
    // The follow height, under the method it serves; offered only with a
    // measured stage.
    {.name = "LblHeight", .kind = K::Label,
     .left = 2280, .top = 2580, .width = 900, .height = 255, .text = "Height (m)"},
    {.name = "TxtHeight", .kind = K::Edit,
     .left = 3195, .top = 2565, .width = 585, .height = 285, .tab = 17, .text = kHeightText,
     .tooltip = kHeightToolTip},
    {.name = "CmdEnableTB", .kind = K::Button,
     .left = 3840, .top = 2520, .width = 1215, .height = 375, .tab = 0,
     .text = kEnableCaption, .tooltip = "trail beam mode"},
    {.name = "CmdHelp", .kind = K::Button,
     .left = 5640, .top = 2520, .width = 855, .height = 375, .tab = 3, .text = "Help"},
    {.name = "TimerDMX", .kind = K::Timer, .interval = 100},
};
// clang-format on

constexpr WindowLayout kWindow{
    .name = "FormTBMain",
    .caption = "TrailBeam Plugin",
    .width = 6600,
    .height = 2955,
    .frame = WindowFrame::FixedSingle,
    .controls = kControls,
    .lines = {},
};

}  // namespace

const WindowLayout& MainWindowLayout() { return kWindow; }

}  // namespace tb::ui

// Every text of the three windows shows whole in its control, measured with
// the control's own font (GetTextExtentPoint32) against the room the
// control gives it. ctest runs this at 96 dots per inch in the Windows
// tests' prefix and at 120 in a prefix of its own (LogPixels); where the
// layout's face is missing or wider, a fallback must take its place.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rig/settings_file.h"
#include "ui/layout.h"
#include "ui/win32/about_window.h"
#include "ui/win32/dpi.h"
#include "ui/win32/extlv.h"
#include "ui/win32/font_fit.h"
#include "ui/win32/form_window.h"
#include "ui/win32/main_window.h"
#include "ui/win32/setup_window.h"
#include "ui/win32/text.h"
#include "ui/win32/win32_windows.h"
#include "win32/win32_test_support.h"

namespace tb::ui::win32 {
namespace {

namespace fs = std::filesystem;
using tb::testing::InsideModal;
using tb::testing::Text;

HFONT FontOf(HWND control) {
  return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
}

std::wstring FaceOf(HFONT font) {
  LOGFONTW logFont{};
  GetObjectW(font, sizeof logFont, &logFont);
  return logFont.lfFaceName;
}

// The face the font mapper really draws a font in.
std::wstring DrawnFace(HFONT font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ before = SelectObject(dc, font);
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  SelectObject(dc, before);
  ReleaseDC(nullptr, dc);
  return face;
}

int ClientWidth(HWND control) {
  RECT r{};
  GetClientRect(control, &r);
  return r.right;
}

// What a one-line control leaves its text, by kind.
int Room(HWND control, ControlKind kind) {
  const int width = ClientWidth(control);
  switch (kind) {
    case ControlKind::TextBox: {
      const auto margins = static_cast<DWORD>(SendMessageW(control, EM_GETMARGINS, 0, 0));
      return width - LOWORD(margins) - HIWORD(margins);
    }
    case ControlKind::Button:
      return ButtonTextRoom(control, width);
    case ControlKind::Option:
      return OptionTextRoom(control, width);
    case ControlKind::Frame:
      return FrameTextRoom(width);
    default:
      return width;
  }
}

// Every labelled control of the window whose text must show whole: its
// extent in its own font within its room (a wrapping label: its height).
void ExpectTextsWhole(const FormWindow& form) {
  SCOPED_TRACE(form.Layout().name);
  for (const ControlLayout& control : form.Layout().controls) {
    if (control.kind == ControlKind::Combo || control.kind == ControlKind::List ||
        control.kind == ControlKind::Timer || control.kind == ControlKind::Picture)
      continue;
    HWND hwnd = form.Control(ControlName(control));
    ASSERT_NE(hwnd, nullptr) << ControlName(control);
    const std::wstring text = Text(hwnd);
    HFONT font = FontOf(hwnd);
    ASSERT_NE(font, nullptr) << ControlName(control);
    const std::string shown = ControlName(control) + " \"" + Utf8(text) + "\" in " +
                              Utf8(DrawnFace(font)) + " at " + std::to_string(form.Dpi()) + " dpi";
    if (control.kind == ControlKind::Label && control.wrap) {
      RECT client{};
      GetClientRect(hwnd, &client);
      EXPECT_LE(WrappedHeight(font, text, client.right), client.bottom) << shown;
      continue;
    }
    EXPECT_LE(TextExtent(font, text).cx, Room(hwnd, control.kind)) << shown;
  }
}

class TextFitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tb-text-fit-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    path = (folder / "TrailBeam.ini").string();
    const char* names[4] = {"Spot links", "Spot rechts", "Wash Mitte", ""};
    for (int d = 1; d <= 4; ++d) {
      rig.Device(d)->Name = names[d - 1];
      rig.Device(d)->PanChannel = 16 * d - 15;
      rig.Device(d)->TiltChannel = 16 * d - 13;
    }
    rig.Device(2)->PanRange = 630;
    rig.Device(2)->PanFineChannel = 512;
    windows = std::make_unique<ComponentWindows>(WindowContext{rig, MessageBoxSink(), path},
                                                 GetModuleHandleW(nullptr));
  }
  void TearDown() override {
    windows.reset();
    tb::testing::Pump();
    fs::remove_all(folder);
  }

  fs::path folder;
  std::string path;
  RigStore rig;
  std::unique_ptr<ComponentWindows> windows;
};

TEST(TextFit, RunsAtTheResolutionItWasStartedFor) {
  const char* expected = std::getenv("TB_EXPECTED_DPI");
  ASSERT_NE(expected, nullptr) << "ctest sets TB_EXPECTED_DPI";
  EXPECT_EQ(ScreenDpi(), std::atoi(expected));
}

// The widest values a box shows, and the ones that were seen cut off.
TEST_F(TextFitTest, CalibrationBoxesShowEveryValueWhole) {
  const struct {
    int pan, tilt;
  } values[] = {{66, 204}, {226, 44}, {255, 255}, {188, 188}, {0, 0}, {8, 128}};
  for (const auto& value : values) {
    for (int p = 1; p <= 5; ++p) {
      *rig.Pan(1, p) = value.pan;
      *rig.Tilt(1, p) = value.tilt;
    }
    windows->ShowMain();
    tb::testing::Pump();
    MainWindow& main = *windows->ExistingMain();
    HWND combo = main.Control("ComboDeviceList");
    // What a pick in the drop-down list sends.
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    tb::testing::Pump();
    SCOPED_TRACE(std::to_string(value.pan) + ", " + std::to_string(value.tilt));
    EXPECT_EQ(Text(main.Control("TxtCalibr_4")),
              Wide(BoxNumber(value.pan) + ", " + BoxNumber(value.tilt)));
    ExpectTextsWhole(main);
    windows->HideMain();
  }
}

TEST_F(TextFitTest, HelpTextEndsAboveItsLineAndTitlesFit) {
  windows->ShowHelp();
  tb::testing::Pump();
  AboutWindow* help = windows->ExistingHelp();
  ASSERT_NE(help, nullptr);
  ExpectTextsWhole(*help);
  // The grey line crosses the description's box: the text ends above it.
  HWND description = help->Control("lblDescription");
  RECT place{};
  GetWindowRect(description, &place);
  MapWindowPoints(nullptr, help->Handle(), reinterpret_cast<POINT*>(&place), 2);
  const int line = TwipsToPixels(help->Layout().lines[0].y1, help->Dpi());
  ASSERT_GT(line, place.top);
  EXPECT_LE(
      place.top + WrappedHeight(FontOf(description), Text(description), ClientWidth(description)),
      line);
}

TEST_F(TextFitTest, SetupWindowHeadersAndCellsFitTheirColumns) {
  ASSERT_FALSE(save_config(rig, path));
  bool measured = false;
  InsideModal inside([&] {
    SetupWindow& setup = *windows->ExistingSetup();
    ExpectTextsWhole(setup);
    ExtLV& list = *setup.ListOf("lvConf");
    HWND header = ListView_GetHeader(list.List());
    HFONT font = FontOf(list.List());
    ASSERT_NE(font, nullptr);
    ASSERT_EQ(list.ColumnCount(), 7);
    for (int c = 0; c < list.ColumnCount(); ++c) {
      wchar_t text[64] = {};
      HDITEMW item{};
      item.mask = HDI_TEXT | HDI_WIDTH;
      item.pszText = text;
      item.cchTextMax = 64;
      ASSERT_TRUE(Header_GetItem(header, c, &item));
      const int room = HeaderTextRoom(header, item.cxy);
      EXPECT_LE(TextExtent(FontOf(header), text).cx, room)
          << Utf8(text) << " in " << Utf8(DrawnFace(FontOf(header))) << " at " << setup.Dpi();
      for (int row = 1; row <= list.RowCount(); ++row) {
        const std::wstring cell = Wide(list.Cell(row, c));
        EXPECT_LE(TextExtent(font, cell).cx, room) << "row " << row << ": " << Utf8(cell);
      }
    }
    // Four rows show beside the scroll bar to the later ones, which is
    // whole in the window; no second scroll bar takes a row's place.
    const LONG style = GetWindowLongW(list.List(), GWL_STYLE);
    EXPECT_NE(style & WS_VSCROLL, 0);
    EXPECT_EQ(style & WS_HSCROLL, 0);
    EXPECT_EQ(ListView_GetCountPerPage(list.List()), 4);
    RECT place{};
    GetWindowRect(list.List(), &place);
    MapWindowPoints(nullptr, setup.Handle(), reinterpret_cast<POINT*>(&place), 2);
    RECT client{};
    GetClientRect(setup.Handle(), &client);
    EXPECT_LE(place.right, client.right);
    measured = true;
    PostMessageW(setup.Control("cmdOK"), BM_CLICK, 0, 0);
  });
  windows->ShowConfigModal();
  EXPECT_TRUE(measured);
}

// A window of its own layout: each control names a face that is missing or
// too wide for its place, or a size too large.
class Probe final : public FormWindow {
 public:
  bool Make(const WindowLayout& layout) {
    return Build(GetModuleHandleW(nullptr), layout, nullptr);
  }

 private:
  void OnControl(const ControlLayout&, int) override {}
};

TEST(TextFit, AMissingOrTooWideFontGivesWayToOneThatFits) {
  using K = ControlKind;
  // clang-format off
  const ControlLayout controls[] = {
      {.name = "Missing", .kind = K::TextBox, .left = 0, .top = 0, .width = 855, .height = 285,
       .text = " 226,  44", .font = {.family = "No Such Face At All"}},
      {.name = "Large", .kind = K::TextBox, .left = 0, .top = 400, .width = 855, .height = 285,
       .text = " 255,  255", .font = {.points = 12}},
      {.name = "Caption", .kind = K::Button, .left = 0, .top = 800, .width = 800, .height = 375,
       .text = "Get Value", .font = {.family = "Tahoma", .points = 10}},
      {.name = "Label", .kind = K::Label, .left = 0, .top = 1200, .width = 900, .height = 255,
       .text = "Pan Channel", .font = {.family = "Verdana", .points = 9}},
      {.name = "Option", .kind = K::Option, .left = 0, .top = 1600, .width = 1300, .height = 255,
       .text = "trigonometric"},
  };
  // clang-format on
  const WindowLayout layout{.name = "Probe",
                            .caption = "Probe",
                            .width = 2000,
                            .height = 2000,
                            .frame = WindowFrame::FixedSingle,
                            .controls = controls,
                            .lines = {}};
  Probe probe;
  ASSERT_TRUE(probe.Make(layout));
  ExpectTextsWhole(probe);
  HFONT missing = FontOf(probe.Control("Missing"));
  EXPECT_NE(FaceOf(missing), L"No Such Face At All") << "drawn in " << Utf8(DrawnFace(missing));
  // Set later, as the window sets values: fitted again.
  SetWindowTextW(probe.Control("Missing"), L" 188,  188");
  ExpectTextsWhole(probe);
}

}  // namespace
}  // namespace tb::ui::win32

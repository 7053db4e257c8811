// The three windows on native controls, driven through window messages as
// the operator's mouse and keyboard send them, with the real message boxes
// answered by clicking their OK button.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/fake_host.h"
#include "follow/follow_methods.h"
#include "rig/settings_file.h"
#include "trace/follow_scenario.h"
#include "ui/about_window_layout.h"
#include "ui/main_window_layout.h"
#include "ui/setup_window_layout.h"
#include "ui/setup_window_logic.h"
#include "ui/win32/about_window.h"
#include "ui/win32/dpi.h"
#include "ui/win32/extlv.h"
#include "ui/win32/main_window.h"
#include "ui/win32/setup_window.h"
#include "ui/win32/text.h"
#include "ui/win32/timer.h"
#include "ui/win32/win32_windows.h"
#include "win32/win32_test_support.h"

namespace tb::ui::win32 {
namespace {

namespace fs = std::filesystem;
using tb::testing::FakeHost;
using tb::testing::HostCall;
using tb::testing::InsideModal;
using tb::testing::MessageBoxAnswerer;
using tb::testing::Text;

// The back colour a control is painted with, asked the way the control
// asks its window.
COLORREF BackColour(HWND control) {
  HDC dc = CreateCompatibleDC(nullptr);
  const UINT message =
      tb::testing::ClassOf(control) == L"Edit" && (GetWindowLongW(control, GWL_STYLE) & ES_READONLY)
          ? WM_CTLCOLORSTATIC
          : WM_CTLCOLOREDIT;
  SendMessageW(GetParent(control), message, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(control));
  const COLORREF colour = GetBkColor(dc);
  DeleteDC(dc);
  return colour;
}

struct FindToolTips {
  HWND owner;
  HWND found;
};

BOOL CALLBACK FindToolTipsOf(HWND hwnd, LPARAM data) {
  auto* find = reinterpret_cast<FindToolTips*>(data);
  if (tb::testing::ClassOf(hwnd) == L"tooltips_class32" && GetWindow(hwnd, GW_OWNER) == find->owner)
    find->found = hwnd;
  return find->found == nullptr;
}

// The text the window's tooltip control shows over control; empty when it
// has none for it.
std::wstring ToolTipOver(HWND control) {
  HWND window = GetParent(control);
  FindToolTips find{window, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindToolTipsOf, reinterpret_cast<LPARAM>(&find));
  if (find.found == nullptr) return L"<no tooltip control>";
  wchar_t text[256] = {};
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = text;
  if (!SendMessageW(find.found, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool))) return L"";
  SendMessageW(find.found, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
  return text;
}

RECT ClientPlace(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Pick(HWND combo, int position) {
  // What a pick in the drop-down list sends.
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
  SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  tb::testing::Pump();
}

void Press(HWND button) {
  ASSERT_NE(button, nullptr);
  PostMessageW(button, BM_CLICK, 0, 0);
  tb::testing::Pump();
}

std::vector<std::wstring> Entries(HWND combo) {
  std::vector<std::wstring> entries;
  const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::wstring text(static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)) + 1,
                      L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
    entries.push_back(text);
  }
  return entries;
}

class WindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tb-windows-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    path = (folder / "TrailBeam.ini").string();
    const char* names[4] = {"Spot A", "Spot B", "Wash \xC3\xA4", ""};
    for (int d = 1; d <= 4; ++d) {
      rig.Device(d)->Name = names[d - 1];
      rig.Device(d)->PanChannel = 10 * d + 1;
      rig.Device(d)->TiltChannel = 10 * d + 2;
      Uncalibrate(d);
    }
    auto fake = std::make_unique<FakeHost>();
    host = fake.get();
    rig.SetHostHelper(std::move(fake));
    windows = std::make_unique<ComponentWindows>(WindowContext{rig, MessageBoxSink(), path},
                                                 GetModuleHandleW(nullptr));
  }
  void TearDown() override {
    windows.reset();
    tb::testing::Pump();
    fs::remove_all(folder);
  }

  void Uncalibrate(int device) {
    for (int p = 1; p <= 5; ++p) *rig.Pan(device, p) = *rig.Tilt(device, p) = Uncalibrated;
  }
  static constexpr int kPan[5] = {60, 60, 220, 220, 140};
  static constexpr int kTilt[5] = {40, 200, 40, 200, 120};
  void Calibrate(int device, int offset) {
    for (int p = 1; p <= 5; ++p) {
      *rig.Pan(device, p) = kPan[p - 1] + offset;
      *rig.Tilt(device, p) = kTilt[p - 1] + offset;
    }
  }

  MainWindow& Main() {
    windows->ShowMain();
    tb::testing::Pump();
    return *windows->ExistingMain();
  }
  HWND MainControl(const std::string& name) { return windows->ExistingMain()->Control(name); }
  void ClickBox(int index) {
    HWND box = MainControl("TxtCalibr_" + std::to_string(index));
    RECT r{};
    GetClientRect(box, &r);
    tb::testing::Click(box, tb::testing::Centre(r));
  }

  fs::path folder;
  std::string path;
  RigStore rig;
  FakeHost* host = nullptr;
  std::unique_ptr<ComponentWindows> windows;
};

// Every control where the layout puts it, at the screen's resolution, with
// its text; the windows' client areas as laid out.
TEST_F(WindowsTest, ControlsStandWhereTheirLayoutsPutThemWithTheirTexts) {
  Main();
  windows->ShowHelp();
  AboutWindow* help = windows->ExistingHelp();
  ASSERT_NE(help, nullptr);
  SetupWindow setup(WindowContext{rig, MessageBoxSink(), path}, GetModuleHandleW(nullptr));
  const FormWindow* forms[] = {windows->ExistingMain(), help, &setup};
  for (const FormWindow* form : forms) {
    const WindowLayout& layout = form->Layout();
    SCOPED_TRACE(layout.name);
    const int dpi = form->Dpi();
    RECT client{};
    GetClientRect(form->Handle(), &client);
    EXPECT_EQ(client.right, TwipsToPixels(layout.width, dpi));
    EXPECT_EQ(client.bottom, TwipsToPixels(layout.height, dpi));
    for (const ControlLayout& control : layout.controls) {
      if (control.kind == ControlKind::Timer) continue;
      const std::string name = ControlName(control);
      SCOPED_TRACE(name);
      HWND hwnd = form->Control(name);
      ASSERT_NE(hwnd, nullptr);
      int left = control.left;
      int top = control.top;
      if (control.parent != nullptr) {
        const auto frame = std::find_if(
            layout.controls.begin(), layout.controls.end(),
            [&](const ControlLayout& c) { return std::string(c.name) == control.parent; });
        ASSERT_NE(frame, layout.controls.end());
        left += frame->left;
        top += frame->top;
      }
      const RECT place = ClientPlace(hwnd);
      EXPECT_EQ(place.left, TwipsToPixels(left, dpi));
      EXPECT_EQ(place.top, TwipsToPixels(top, dpi));
      EXPECT_EQ(place.right - place.left, TwipsToPixels(control.width, dpi));
      if (control.kind != ControlKind::Combo) {  // the edit field's height is the font's
        EXPECT_EQ(place.bottom - place.top, TwipsToPixels(control.height, dpi));
      }
      if (control.text != nullptr && control.kind != ControlKind::Combo) {
        EXPECT_EQ(Text(hwnd), Wide(control.text));
      }
    }
  }
  EXPECT_EQ(windows->MainCaption(), u"TrailBeam Plugin");
  EXPECT_EQ(Text(help->Handle()), L"Info zu ORVN_TB_plugin2");
  EXPECT_EQ(Text(setup.Handle()), L"TrailBeam Configuration");
}

TEST_F(WindowsTest, ToolTipsOfTheLayoutAndOfPointsWithFineValues) {
  rig.Device(2)->PanFineChannel = 23;
  rig.Device(2)->TiltFineChannel = 24;
  host->channels = {{21, 130}, {22, 40}, {23, 128}, {24, 255}};
  Main();
  EXPECT_EQ(ToolTipOver(MainControl("ComboDeviceList")), L"dev1, dev2");
  EXPECT_EQ(ToolTipOver(MainControl("CmdEnableTB")), L"trail beam mode");
  EXPECT_EQ(ToolTipOver(MainControl("CmdGet")), L"");
  Pick(MainControl("ComboDeviceList"), 1);
  ClickBox(2);
  Press(MainControl("CmdGet"));
  EXPECT_EQ(
      ToolTipOver(MainControl("TxtCalibr_2")),
      L"16 bit: " + std::to_wstring(130 * 256 + 128) + L", " + std::to_wstring(40 * 256 + 255));
  // Another device without fine channels: the tip goes with the values.
  Pick(MainControl("ComboDeviceList"), 0);
  EXPECT_EQ(ToolTipOver(MainControl("TxtCalibr_2")), L"");
}

TEST_F(WindowsTest, LoadingFillsBothListsWithTheNamedDevices) {
  rig.SelectedDevice = 3;
  EXPECT_FALSE(windows->MainVisible());
  Main();
  EXPECT_TRUE(windows->MainVisible());
  for (const char* name : {"ComboDeviceList", "ComboMaster"}) {
    HWND combo = MainControl(name);
    EXPECT_EQ(Entries(combo), (std::vector<std::wstring>{L"Spot A", L"Spot B", L"Wash \u00E4"}));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  }
  EXPECT_EQ(Text(MainControl("ComboDeviceList")), L"Select Device");
  EXPECT_EQ(Text(MainControl("ComboMaster")), L"Select Master");
  EXPECT_EQ(rig.SelectedDevice, 0);
  EXPECT_EQ(GetFocus(), MainControl("CmdEnableTB"));
  EXPECT_EQ(SendMessageW(MainControl("OptLin"), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(WindowsTest, FewerThanTwoNamedDevicesAreToldInAMessageBoxWithOnlyOK) {
  rig.Device(2)->Name.clear();
  rig.Device(3)->Name.clear();
  MessageBoxAnswerer answerer;
  Main();
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].caption, L"ORVN_TB_plugin2");
  EXPECT_EQ(answerer.Seen()[0].text, L"Bitte weitere Ger\u00E4te konfigurieren");
  EXPECT_EQ(answerer.Seen()[0].buttons, std::vector<std::wstring>{L"OK"});
}

TEST_F(WindowsTest, CalibrationThroughPickClickAndGetValue) {
  host->channels = {{21, 130}, {22, 40}, {31, 7}, {32, 9}};
  MessageBoxAnswerer answerer;
  Main();
  // Without a device: told, nothing read.
  Press(MainControl("CmdGet"));
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].text, L"Please select device");
  EXPECT_TRUE(host->calls.empty());

  Pick(MainControl("ComboDeviceList"), 1);
  EXPECT_EQ(rig.SelectedDevice, 2);
  for (int i = 0; i < 5; ++i) {
    HWND box = MainControl("TxtCalibr_" + std::to_string(i));
    EXPECT_EQ(Text(box), L"K " + std::to_wstring(i + 1));
    EXPECT_EQ(BackColour(box), UncalibratedColor);
  }
  ClickBox(3);
  EXPECT_EQ(BackColour(MainControl("TxtCalibr_3")), MarkedColor);
  Press(MainControl("CmdGet"));
  EXPECT_EQ(host->calls,
            (std::vector<HostCall>{{HostCall::Read, 21, 130}, {HostCall::Read, 22, 40}}));
  EXPECT_EQ(*rig.Pan(2, 4), 130);
  EXPECT_EQ(*rig.Tilt(2, 4), 40);
  EXPECT_EQ(Text(MainControl("TxtCalibr_3")), L" 130,  40");
  EXPECT_EQ(BackColour(MainControl("TxtCalibr_3")), CalibratedColor);

  // Clear: every box back to orange, every point uncalibrated.
  Press(MainControl("CmdClear"));
  EXPECT_EQ(*rig.Pan(2, 4), Uncalibrated);
  EXPECT_EQ(BackColour(MainControl("TxtCalibr_3")), UncalibratedColor);
  EXPECT_EQ(answerer.Seen().size(), 1u);
}

// Devices past the fourth: listed in device order, and once one is named
// every entry stands for its own device, for Get Value and the master too.
TEST_F(WindowsTest, LaterDevicesAreListedAndEachEntryIsItsOwnDevice) {
  const std::vector<std::vector<int>> rigs = {{1, 5, 14}, {6, 16}};
  for (const std::vector<int>& named : rigs) {
    SCOPED_TRACE(::testing::Message() << named.size() << " named, the last " << named.back());
    // Windows of their own for each rig: loading reads the names afresh.
    windows.reset();
    tb::testing::Pump();
    windows = std::make_unique<ComponentWindows>(WindowContext{rig, MessageBoxSink(), path},
                                                 GetModuleHandleW(nullptr));
    std::vector<std::wstring> names;
    for (int d = 1; d <= kDeviceCount; ++d) {
      const bool isNamed = std::find(named.begin(), named.end(), d) != named.end();
      rig.Device(d)->Name = isNamed ? "Head " + std::to_string(d) : "";
      rig.Device(d)->PanChannel = 10 * d + 1;
      rig.Device(d)->TiltChannel = 10 * d + 2;
      Uncalibrate(d);
      host->channels[10 * d + 1] = 100 + d;
      host->channels[10 * d + 2] = 200 + d;
      if (isNamed) names.push_back(L"Head " + std::to_wstring(d));
    }
    Calibrate(named.back(), 0);
    MessageBoxAnswerer answerer;
    Main();
    EXPECT_EQ(Entries(MainControl("ComboDeviceList")), names);
    EXPECT_EQ(Entries(MainControl("ComboMaster")), names);
    for (std::size_t position = 0; position < named.size(); ++position) {
      const int device = named[position];
      SCOPED_TRACE(::testing::Message() << "entry " << position << ", device " << device);
      Pick(MainControl("ComboDeviceList"), static_cast<int>(position));
      EXPECT_EQ(rig.SelectedDevice, device);
      ClickBox(1);
      host->calls.clear();
      Press(MainControl("CmdGet"));
      EXPECT_EQ(host->calls,
                (std::vector<HostCall>{{HostCall::Read, 10 * device + 1, 100 + device},
                                       {HostCall::Read, 10 * device + 2, 200 + device}}));
      EXPECT_EQ(*rig.Pan(device, 2), 100 + device);
      EXPECT_EQ(BackColour(MainControl("TxtCalibr_1")), CalibratedColor);
    }
    Pick(MainControl("ComboMaster"), static_cast<int>(named.size() - 1));
    EXPECT_EQ(rig.MasterDevice, named.back());
    EXPECT_TRUE(answerer.Seen().empty());
    if (HasFailure()) return;
  }
}

TEST_F(WindowsTest, AnUncalibratedMasterIsRefusedAndTheListCleared) {
  MessageBoxAnswerer answerer;
  Main();
  Pick(MainControl("ComboMaster"), 0);
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].text, L"Not accepted, because of missing device calibration");
  EXPECT_EQ(rig.MasterDevice, 0);
  EXPECT_EQ(SendMessageW(MainControl("ComboMaster"), CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(Text(MainControl("ComboMaster")), L"");
}

// Follow mode from the window's own timer: the host sees exactly the calls
// the core's engine makes on the same rig and readings.
TEST_F(WindowsTest, EnableRunsFollowTicksFromTheWindowTimerUntilStop) {
  Calibrate(1, 0);
  Calibrate(2, 10);
  Calibrate(3, -20);
  host->channels = {{11, 100}, {12, 90}};
  MessageBoxAnswerer answerer;
  Main();
  Pick(MainControl("ComboMaster"), 0);
  ASSERT_EQ(rig.MasterDevice, 1);
  Press(MainControl("OptDist"));
  EXPECT_EQ(rig.FollowMethod, kFollowDistance);
  Press(MainControl("OptLin"));
  EXPECT_EQ(rig.FollowMethod, kFollowLinear);
  Press(MainControl("CmdEnableTB"));
  EXPECT_TRUE(answerer.Seen().empty());
  EXPECT_EQ(Text(MainControl("CmdEnableTB")), L"Stop TB");
  const auto start = GetTickCount();
  while (host->calls.size() < 18 && GetTickCount() - start < 5000)
    tb::testing::PumpFor(std::chrono::milliseconds(20));
  Press(MainControl("CmdEnableTB"));
  EXPECT_EQ(Text(MainControl("CmdEnableTB")), L"Enable TB");
  const std::vector<HostCall> seen = host->calls;
  ASSERT_GE(seen.size(), 6u);

  // The same ticks on a copy of the rig through the core alone.
  RigStore reference;
  reference.DeviceTable = rig.DeviceTable;
  reference.PanCalibration = rig.PanCalibration;
  reference.TiltCalibration = rig.TiltCalibration;
  reference.DeviceCalibrated = rig.DeviceCalibrated;
  reference.MasterDevice = rig.MasterDevice;
  reference.FollowMethod = rig.FollowMethod;
  auto fake = std::make_unique<FakeHost>();
  FakeHost* expected = fake.get();
  expected->channels = {{11, 100}, {12, 90}};
  reference.SetHostHelper(std::move(fake));
  FollowEngine engine;
  engine.Start();
  while (expected->calls.size() < seen.size()) ASSERT_FALSE(engine.OnTimer(reference));
  EXPECT_EQ(seen, expected->calls);

  tb::testing::PumpFor(std::chrono::milliseconds(250));
  EXPECT_EQ(host->calls.size(), seen.size()) << "stopped";
}

// The scenario's master readings, played by the window's own timer after a
// press of Enable, make the calls the Linux build makes (kept in the trace
// files), call for call.
TEST_F(WindowsTest, FollowTicksMakeTheCallsOfTheLinuxBuild) {
  const struct {
    std::int16_t method;
    const char* option;
  } methods[] = {
      {kFollowLinear, "OptLin"}, {kFollowDistance, "OptDist"}, {kFollowTrigonometric, "OptTrigo"}};
  for (const auto& m : methods) {
    SCOPED_TRACE(tb::testing::MethodName(m.method));
    windows->DeleteWindows();
    tb::testing::ScenarioRig(rig);
    auto owned = std::make_unique<tb::testing::ScenarioHost>(rig.Device(1)->PanChannel,
                                                             rig.Device(1)->TiltChannel);
    tb::testing::ScenarioHost* scenario = owned.get();
    rig.SetHostHelper(std::move(owned));
    MessageBoxAnswerer answerer;
    Main();
    Pick(MainControl("ComboMaster"), 0);
    Press(MainControl(m.option));
    Press(MainControl("CmdEnableTB"));
    const auto start = GetTickCount();
    while (!scenario->Done() && GetTickCount() - start < 10000)
      tb::testing::PumpFor(std::chrono::milliseconds(20));
    Press(MainControl("CmdEnableTB"));
    EXPECT_TRUE(scenario->Done());
    // The side head fails the plausibility rules made for heads above the
    // stage: with linear told at each press of Enable and Stop, it follows
    // all the same. The other two methods check what they need, which this
    // rig has.
    if (m.method == kFollowLinear) {
      ASSERT_EQ(answerer.Seen().size(), 2u);
      for (const auto& box : answerer.Seen())
        EXPECT_EQ(box.text.rfind(L"Check Values for device 4", 0), 0u);
    } else {
      EXPECT_TRUE(answerer.Seen().empty());
    }

    std::ifstream kept(
        std::string("Z:") + TB_TRACE_DIR + "/" + tb::testing::MethodName(m.method) + ".trace",
        std::ios::binary);
    ASSERT_TRUE(kept);
    std::stringstream lines;
    lines << kept.rdbuf();
    EXPECT_EQ(scenario->Lines(), lines.str());
  }
}

TEST_F(WindowsTest, ClosingUnloadsTheMainWindowAndStopsFollowing) {
  Calibrate(1, 0);
  Calibrate(2, 10);
  host->channels = {{11, 100}, {12, 90}};
  Main();
  Pick(MainControl("ComboMaster"), 0);
  Press(MainControl("CmdEnableTB"));
  ASSERT_EQ(Text(MainControl("CmdEnableTB")), L"Stop TB");
  PostMessageW(windows->MainWindow(), WM_CLOSE, 0, 0);
  tb::testing::Pump();
  EXPECT_FALSE(windows->MainVisible());
  EXPECT_TRUE(windows->Alive());
  EXPECT_EQ(Text(MainControl("CmdEnableTB")), L"Enable TB");
  EXPECT_TRUE(Entries(MainControl("ComboMaster")).empty());
  const std::size_t calls = host->calls.size();
  tb::testing::PumpFor(std::chrono::milliseconds(250));
  EXPECT_EQ(host->calls.size(), calls);
  windows->DeleteWindows();
  EXPECT_FALSE(windows->Alive());
}

TEST_F(WindowsTest, HelpOpensOnceAndClosesWithOKEnterEscapeOrTheCloseBox) {
  Main();
  enum class How { OK, Enter, Escape, CloseBox };
  for (How how : {How::OK, How::Enter, How::Escape, How::CloseBox}) {
    SCOPED_TRACE(static_cast<int>(how));
    Press(MainControl("CmdHelp"));
    AboutWindow* help = windows->ExistingHelp();
    ASSERT_NE(help, nullptr);
    HWND first = help->Handle();
    EXPECT_TRUE(IsWindowVisible(first));
    EXPECT_EQ(GetFocus(), help->Control("cmdOK"));
    EXPECT_EQ(Text(help->Control("lblDescription")).substr(0, 27), L"Markieren Sie sich 4 Eckpun");
    Press(MainControl("CmdHelp"));
    ASSERT_NE(windows->ExistingHelp(), nullptr);
    EXPECT_EQ(windows->ExistingHelp()->Handle(), first) << "one help window";
    SetFocus(help->Control("cmdOK"));
    switch (how) {
      case How::OK:
        Press(help->Control("cmdOK"));
        break;
      case How::Enter:
        tb::testing::Key(VK_RETURN);
        break;
      case How::Escape:
        tb::testing::Key(VK_ESCAPE);
        break;
      case How::CloseBox:
        PostMessageW(first, WM_CLOSE, 0, 0);
        tb::testing::Pump();
        break;
    }
    EXPECT_EQ(windows->ExistingHelp(), nullptr);
    EXPECT_FALSE(IsWindow(first));
  }
}

// The height box takes a height on Enter or when the focus leaves it,
// refuses one outside 0.00 to 3.00 m in a message box, and is offered only
// with a K1-K3 length.
TEST_F(WindowsTest, HeightBoxTakesTheHeightOnEnterOrLeavingIt) {
  rig.StageK1K3 = 8.0;
  Main();
  HWND height = MainControl("TxtHeight");
  ASSERT_NE(height, nullptr);
  ASSERT_TRUE(IsWindowEnabled(height));
  EXPECT_EQ(Text(height), L"0.00");
  MessageBoxAnswerer answerer;
  struct Step {
    const wchar_t* typed;
    UINT confirm;
    double height;
    const wchar_t* shown;
    bool refused;
  };
  const Step steps[] = {
      {L"1,5", VK_RETURN, 1.5, L"1.50", false}, {L"4", VK_RETURN, 1.5, L"1.50", true},
      {L"2.25", VK_TAB, 2.25, L"2.25", false},  {L"x", VK_TAB, 2.25, L"2.25", true},
      {L"", VK_RETURN, 0.0, L"0.00", false},
  };
  std::size_t boxes = 0;  // message boxes so far
  for (const Step& step : steps) {
    SCOPED_TRACE(Utf8(step.typed));
    const double before = rig.FollowHeight;
    RECT r{};
    GetClientRect(height, &r);
    tb::testing::Click(height, tb::testing::Centre(r));
    SendMessageW(height, EM_SETSEL, 0, -1);
    tb::testing::Type(*step.typed != 0 ? std::wstring(step.typed) : std::wstring(L"\b"));
    EXPECT_EQ(rig.FollowHeight, before) << "typing alone takes nothing";
    tb::testing::Key(step.confirm);
    tb::testing::Pump();
    EXPECT_DOUBLE_EQ(rig.FollowHeight, step.height);
    EXPECT_EQ(Text(height), step.shown);
    if (step.refused) {
      ++boxes;
      ASSERT_EQ(answerer.Seen().size(), boxes);
      EXPECT_EQ(answerer.Seen().back().text, Wide(kHeightRefused));
    }
    EXPECT_EQ(answerer.Seen().size(), boxes);
  }
}

// The setup window, shown modally: the steps run inside its loop.
class SetupWindowTest : public WindowsTest {
 protected:
  HWND Setup(const char* name) { return windows->ExistingSetup()->Control(name); }
  ExtLV& List() { return *windows->ExistingSetup()->ListOf("lvConf"); }
  POINT Cell(int row, int column) {
    RECT cell{};
    cell.top = column;
    cell.left = column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
    SendMessageW(List().List(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(row - 1),
                 reinterpret_cast<LPARAM>(&cell));
    return tb::testing::Centre(cell);
  }
  // A double-click on the cell, the text typed, and Enter.
  void Edit(int row, int column, const std::wstring& text) {
    tb::testing::DoubleClick(List().List(), Cell(row, column));
    ASSERT_NE(List().Editor(), nullptr);
    SendMessageW(List().Editor(), EM_SETSEL, 0, -1);
    tb::testing::Type(text);
    tb::testing::Key(VK_RETURN);
  }
  // Runs steps inside the modal window; true when the window closed after.
  bool RunSetup(std::function<void()> steps) {
    InsideModal inside(std::move(steps));
    windows->ShowConfigModal();
    return inside.Ran();
  }
};

TEST_F(SetupWindowTest, EditsGoToTheListAndOKStoresAndSavesThem) {
  rig.DeviceTable = {};
  bool checked = false;
  ASSERT_TRUE(RunSetup([&] {
    EXPECT_TRUE(IsWindowVisible(windows->ExistingSetup()->Handle()));
    EXPECT_EQ(List().RowCount(), kDeviceCount);
    EXPECT_EQ(List().Cell(1, 0), "Device1");
    EXPECT_EQ(List().Cell(3, 0), "");
    EXPECT_EQ(List().Cell(2, 3), "540");
    Edit(2, 1, L"12abc");
    Edit(1, 0, L"B\u00FChne");
    Edit(3, 4, L"5000");
    EXPECT_EQ(List().Cell(2, 1), "12abc");
    EXPECT_EQ(rig.Device(2)->PanChannel, 0) << "only OK changes the devices";
    checked = true;
    Press(Setup("cmdOK"));
  }));
  EXPECT_TRUE(checked);
  EXPECT_FALSE(IsWindowVisible(windows->ExistingSetup()->Handle()));
  EXPECT_EQ(rig.Device(1)->Name, "B\xC3\xBChne");
  EXPECT_EQ(rig.Device(2)->Name, "Device2");
  EXPECT_EQ(rig.Device(2)->PanChannel, 12);
  EXPECT_EQ(rig.Device(3)->TiltRange, kMaxRange);
  EXPECT_TRUE(fs::exists(path));
}

// Four rows show, as in the list of four devices; Page Down and the arrow
// keys reach the later ones, whose edits OK stores as devices 5 to 16.
TEST_F(SetupWindowTest, LaterRowsAreReachedByTheKeysAndOKStoresThem) {
  rig.DeviceTable = {};
  ASSERT_TRUE(RunSetup([&] {
    HWND list = List().List();
    EXPECT_EQ(ListView_GetTopIndex(list), 0);
    const int perPage = ListView_GetCountPerPage(list);
    EXPECT_EQ(perPage, 4);
    EXPECT_EQ(List().Key(16), "Item16");
    tb::testing::Click(list, Cell(1, 0));
    for (int i = 0; i < 8 && List().CurrentRow() < 16; ++i) tb::testing::Key(VK_NEXT);
    ASSERT_EQ(List().CurrentRow(), 16);
    EXPECT_EQ(ListView_GetTopIndex(list), 16 - perPage);
    Edit(16, 0, L"Par 16");
    Edit(16, 2, L"302");
    for (int i = 0; i < 16 && List().CurrentRow() > 5; ++i) tb::testing::Key(VK_UP);
    ASSERT_EQ(List().CurrentRow(), 5);
    EXPECT_EQ(ListView_GetTopIndex(list), 4);
    Edit(5, 0, L"Spot 5");
    Press(Setup("cmdOK"));
  }));
  EXPECT_EQ(rig.Device(16)->Name, "Par 16");
  EXPECT_EQ(rig.Device(16)->TiltChannel, 302);
  EXPECT_EQ(rig.Device(5)->Name, "Spot 5");
  RigStore read;
  read_config(read, path);
  EXPECT_EQ(read.Device(16)->Name, "Par 16");
  EXPECT_EQ(read.Device(5)->Name, "Spot 5");
}

TEST_F(SetupWindowTest, RefusedNamesAreToldAndTheCellKeepsItsText) {
  MessageBoxAnswerer answerer;
  ASSERT_TRUE(RunSetup([&] {
    const std::string before = List().Cell(1, 0);
    Edit(1, 0, L"a,b");
    EXPECT_EQ(List().Cell(1, 0), before);
    EXPECT_EQ(List().Editor(), nullptr);
    PostMessageW(windows->ExistingSetup()->Handle(), WM_CLOSE, 0, 0);
  }));
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].text, Wide(kNameRefused));
}

TEST_F(SetupWindowTest, TheCloseBoxDiscardsEvenAnOpenEditAndEscapeDoesNotClose) {
  const auto before = rig.DeviceTable;
  ASSERT_TRUE(RunSetup([&] {
    Edit(1, 1, L"77");
    tb::testing::Key(VK_ESCAPE);
    EXPECT_TRUE(IsWindowVisible(windows->ExistingSetup()->Handle()));
    tb::testing::DoubleClick(List().List(), Cell(2, 2));
    ASSERT_NE(List().Editor(), nullptr);
    tb::testing::Type(L"88");
    PostMessageW(windows->ExistingSetup()->Handle(), WM_CLOSE, 0, 0);
  }));
  EXPECT_FALSE(IsWindowVisible(windows->ExistingSetup()->Handle()));
  for (int i = 0; i < kDeviceCount; ++i) {
    EXPECT_EQ(rig.DeviceTable[i].Name, before[i].Name);
    EXPECT_EQ(rig.DeviceTable[i].PanChannel, before[i].PanChannel);
    EXPECT_EQ(rig.DeviceTable[i].TiltChannel, before[i].TiltChannel);
  }
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(SetupWindowTest, AFailedSaveIsToldAndTheWindowKeepsTheEdits) {
  path = (folder / "missing" / "TrailBeam.ini").string();
  windows = std::make_unique<ComponentWindows>(WindowContext{rig, MessageBoxSink(), path},
                                               GetModuleHandleW(nullptr));
  MessageBoxAnswerer answerer;
  ASSERT_TRUE(RunSetup([&] {
    Edit(1, 1, L"55");
    Press(Setup("cmdOK"));
    EXPECT_TRUE(IsWindowVisible(windows->ExistingSetup()->Handle()));
    EXPECT_EQ(List().Cell(1, 1), "55");
    PostMessageW(windows->ExistingSetup()->Handle(), WM_CLOSE, 0, 0);
  }));
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].text.rfind(L"TrailBeam.ini could not be saved: ", 0), 0u);
}

// A field OK cannot take is named and keeps the window open; put right, OK
// stores the lengths and the channel, and the main window offers the height
// as soon as the window has closed.
TEST_F(SetupWindowTest, StageFieldsAreCheckedOnOKAndOfferTheHeight) {
  Main();
  HWND height = MainControl("TxtHeight");
  ASSERT_NE(height, nullptr);
  EXPECT_FALSE(IsWindowEnabled(height));
  MessageBoxAnswerer answerer;
  const auto typeInto = [&](const char* field, const std::wstring& text) {
    RECT r{};
    GetClientRect(Setup(field), &r);
    tb::testing::Click(Setup(field), tb::testing::Centre(r));
    SendMessageW(Setup(field), EM_SETSEL, 0, -1);
    tb::testing::Type(text);
  };
  ASSERT_TRUE(RunSetup([&] {
    typeInto("txtK1K3", L"8,5");
    typeInto("txtHeightChannel", L"513");
    Press(Setup("cmdOK"));
    EXPECT_TRUE(IsWindowVisible(windows->ExistingSetup()->Handle()));
    EXPECT_EQ(rig.StageK1K3, 0.0);
    EXPECT_FALSE(fs::exists(path));
    typeInto("txtHeightChannel", L"\b\b\b");
    Press(Setup("cmdOK"));
  }));
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].text, Wide(kHeightChannelRefused));
  EXPECT_FALSE(IsWindowVisible(windows->ExistingSetup()->Handle()));
  EXPECT_DOUBLE_EQ(rig.StageK1K3, 8.5);
  EXPECT_EQ(rig.HeightChannel, 0);
  EXPECT_TRUE(IsWindowEnabled(height));
  RigStore back;
  read_config(back, path);
  EXPECT_DOUBLE_EQ(back.StageK1K3, 8.5);
}

// The rate typed in the device setup is checked on OK, stored and saved, and
// Enable TB starts the window's timer at its interval.
TEST_F(SetupWindowTest, FollowRateIsCheckedOnOKAndSetsTheTimerAtEnable) {
  Calibrate(1, 0);
  Calibrate(2, 10);
  Main();
  Pick(MainControl("ComboMaster"), 0);
  ASSERT_EQ(rig.MasterDevice, 1);
  Timer* timer = windows->ExistingMain()->TimerOf("TimerDMX");
  ASSERT_NE(timer, nullptr);
  MessageBoxAnswerer answerer;
  const auto typeRate = [&](const std::wstring& text) {
    HWND field = Setup("txtFollowRate");
    RECT r{};
    GetClientRect(field, &r);
    tb::testing::Click(field, tb::testing::Centre(r));
    SendMessageW(field, EM_SETSEL, 0, -1);
    tb::testing::Type(text.empty() ? L"\b" : text);
  };
  ASSERT_TRUE(RunSetup([&] {
    EXPECT_EQ(Text(Setup("txtFollowRate")), L"10");
    typeRate(L"30");
    Press(Setup("cmdOK"));
    EXPECT_TRUE(IsWindowVisible(windows->ExistingSetup()->Handle()));
    EXPECT_FALSE(fs::exists(path));
    typeRate(L"25");
    Press(Setup("cmdOK"));
  }));
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].text, Wide(kFollowRateRefused));
  EXPECT_EQ(rig.FollowRate, 25);
  RigStore back;
  read_config(back, path);
  EXPECT_EQ(back.FollowRate, 25);

  const struct {
    const char* name;
    const wchar_t* typed;
    UINT interval;
  } cases[] = {{"25", L"25", 40}, {"20", L"20", 50}, {"40", L"40", 25}, {"emptied", L"", 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(RunSetup([&] {
      typeRate(c.typed);
      Press(Setup("cmdOK"));
    }));
    Press(MainControl("CmdEnableTB"));
    ASSERT_EQ(Text(MainControl("CmdEnableTB")), L"Stop TB");
    EXPECT_TRUE(timer->Active());
    EXPECT_EQ(timer->Interval(), c.interval);
    Press(MainControl("CmdEnableTB"));
    EXPECT_FALSE(timer->Active());
  }
  EXPECT_EQ(answerer.Seen().size(), 1u);
}

// Enter on the list or in a field does nothing; Tab goes through the
// stage's fields to OK, where Enter presses it.
TEST_F(SetupWindowTest, TabGoesThroughTheFieldsToOKWhereEnterPressesIt) {
  ASSERT_TRUE(RunSetup([&] {
    tb::testing::Click(List().List(), Cell(2, 1));
    EXPECT_EQ(GetFocus(), List().List());
    tb::testing::Key(VK_RETURN);
    EXPECT_TRUE(IsWindowVisible(windows->ExistingSetup()->Handle()));
    for (const char* next : {"txtK1K3", "txtK1K2", "txtHeightChannel", "txtFollowRate", "cmdOK"}) {
      tb::testing::Key(VK_TAB);
      EXPECT_EQ(GetFocus(), Setup(next)) << next;
      if (std::string(next) == "txtK1K2") {
        tb::testing::Key(VK_RETURN);
        EXPECT_TRUE(IsWindowVisible(windows->ExistingSetup()->Handle()));
      }
    }
    tb::testing::Key(VK_TAB);
    EXPECT_EQ(GetFocus(), List().List());
    tb::testing::Key(VK_TAB, true);
    EXPECT_EQ(GetFocus(), Setup("cmdOK"));
    tb::testing::Key(VK_RETURN);
  }));
  EXPECT_FALSE(IsWindowVisible(windows->ExistingSetup()->Handle()));
  EXPECT_TRUE(fs::exists(path));
}

}  // namespace
}  // namespace tb::ui::win32

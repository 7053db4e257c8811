// Shows one of the three windows with a sample rig, for the documentation's
// pictures: win32_screenshots main|config|about <geometry file>. The
// window stands at the screen's top left corner; its outer size goes to
// the geometry file as "WxH" once it is drawn, and the program ends five
// seconds later. scripts/win32-screenshots.sh takes the pictures.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "rig/settings_file.h"
#include "ui/win32/about_window.h"
#include "ui/win32/main_window.h"
#include "ui/win32/setup_window.h"
#include "ui/win32/win32_windows.h"
#include "win32/win32_test_support.h"

namespace {

class NoMessages final : public tb::MessageSink {
 public:
  void Show(const std::string&) override {}
};

void SampleRig(tb::RigStore& rig) {
  const char* names[4] = {"Spot links", "Spot rechts", "Wash Mitte", ""};
  const int pan[5] = {60, 60, 220, 220, 140};
  const int tilt[5] = {40, 200, 40, 200, 120};
  for (int d = 1; d <= 4; ++d) {
    rig.Device(d)->Name = names[d - 1];
    rig.Device(d)->PanChannel = 16 * d - 15;
    rig.Device(d)->TiltChannel = 16 * d - 13;
    if (d == 3) {
      rig.Device(d)->PanRange = 630;
      rig.Device(d)->TiltRange = 265;
    }
    for (int p = 1; p <= 5; ++p) {
      const bool taken = d == 1 || (d == 2 && p != 4 && p != 5);
      *rig.Pan(d, p) = taken ? pan[p - 1] + 3 * d : tb::Uncalibrated;
      *rig.Tilt(d, p) = taken ? tilt[p - 1] + 2 * d : tb::Uncalibrated;
    }
  }
}

void Pick(HWND combo, int position) {
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
  SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

void ClickBox(HWND box) {
  RECT r{};
  GetClientRect(box, &r);
  tb::testing::Click(box, tb::testing::Centre(r));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: win32_screenshots main|config|about <geometry file>\n");
    return 2;
  }
  const std::string which = argv[1];
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("tb-shots-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(folder);
  tb::RigStore rig;
  NoMessages messages;
  const tb::ui::WindowContext context{rig, messages, (folder / "TrailBeam.ini").string()};
  SampleRig(rig);
  // A measured stage, so that the main window offers the follow height.
  rig.StageK1K3 = 8.0;
  rig.StageK1K2 = 6.0;
  if (tb::save_config(rig, context.settingsPath)) return 1;

  HINSTANCE module = GetModuleHandleW(nullptr);
  tb::ui::win32::ComponentWindows windows(context, module);
  HWND shown = nullptr;
  tb::ui::win32::SetupWindow setup(context, module);
  if (which == "main") {
    windows.ShowMain();
    tb::ui::win32::MainWindow& main = *windows.ExistingMain();
    Pick(main.Control("ComboDeviceList"), 1);
    Pick(main.Control("ComboMaster"), 0);
    ClickBox(main.Control("TxtCalibr_3"));
    shown = main.Handle();
  } else if (which == "config") {
    setup.Logic().Form_Load();
    setup.ShowActive();
    shown = setup.Handle();
  } else if (which == "about") {
    windows.ShowHelp();
    shown = windows.ExistingHelp()->Handle();
  } else {
    std::fprintf(stderr, "no window %s\n", which.c_str());
    return 2;
  }
  SetWindowPos(shown, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  tb::testing::PumpFor(std::chrono::milliseconds(1500));
  RECT outer{};
  GetWindowRect(shown, &outer);
  std::ofstream(argv[2]) << (outer.right - outer.left) << "x" << (outer.bottom - outer.top) << "\n";
  tb::testing::PumpFor(std::chrono::milliseconds(5000));
  windows.DeleteWindows();
  std::filesystem::remove_all(folder);
  return 0;
}

// What the main window does: calibration of the devices on the five
// reference points, the master choice, follow mode on and off, the method.
// It works on the window's controls through the toolkit-neutral views.
//
// Loading happens when the window is first shown (or Load() is called) and
// again after each closing: closing unloads the window, which puts every
// control back to its layout state (lists empty, "Enable TB", timer
// stopped). ActivePoint belongs to the window object and survives that.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "follow/follow_methods.h"
#include "rig/rig_store.h"
#include "ui/controls.h"
#include "ui/window_context.h"

namespace tb::ui {

inline constexpr Colour UncalibratedColor = 0xC0E0FF;
inline constexpr Colour CalibratedColor = 0x80FF80;
inline constexpr Colour MarkedColor = 0x80FFFF;

// A number as the point boxes write it: a leading blank for 0 and above,
// the minus sign alone for negatives.
std::string BoxNumber(std::int32_t value);

inline constexpr const char* kHeightRefused =
    "The follow height must be given in metres from 0.00 to 3.00, with at most two decimals.";
inline constexpr const char* kHeightNeedsStage =
    "Enter the K1-K3 length in the device setup to follow at a height.";

// The controls the behaviour touches. TxtCalibr by box index.
struct MainWindowControls {
  ComboControl& ComboDeviceList;
  ComboControl& ComboMaster;
  std::array<TextBoxControl*, kPointCount> TxtCalibr;
  ButtonControl& CmdEnableTB;
  OptionControl& OptLin;
  EditControl& TxtHeight;
  TimerControl& TimerDMX;
  // Opens the help window or brings the open one forward.
  std::function<void()> ShowHelp;
};

class MainWindowLogic {
 public:
  MainWindowLogic(WindowContext context, MainWindowControls controls);

  // Runs the loading now unless the window is loaded already.
  void Load();
  bool Loaded() const { return loaded_; }
  // Closing: back to the layout state.
  void Unload();

  std::int16_t ActivePoint() const { return activePoint_; }

  // Repaints the five boxes from the device's calibration; device 1..16,
  // anything else leaves the boxes as they are.
  void RefreshCalibrationBoxes(std::int16_t device);

  void Form_Load();
  // position: the picked entry, 0 first; anything else is not a pick.
  void ComboDeviceList_Click(int position);
  void TxtCalibr_Click(int index);
  void CmdGet_Click();
  void CmdClear_Click();
  void ComboMaster_Click(int position);
  void CmdEnableTB_Click();
  void OptLin_Click();
  void OptDist_Click();
  void OptTrigo_Click();
  void CmdHelp_Click();
  // The operator confirmed the height box (Enter, or leaving it).
  void TxtHeight_Validate();
  void TimerDMX_Timer();

  // Offers the height box when the stage has its K1-K3 length and no
  // height channel sets the height; run whenever those may have changed.
  void RefreshHeightBox();

 private:
  void ResetControls();
  void PaintBox(int index, Colour colour, const std::string& text, const std::string& toolTip = {});
  bool ReadInto(std::int32_t channel, std::int32_t* into);
  void StartFollowing();
  std::int16_t DeviceAt(int position) const;

  WindowContext ctx_;
  MainWindowControls c_;
  // What the trigonometric method keeps between ticks of this window's timer.
  FollowEngine engine_;
  // The devices the two lists name, in their order.
  std::array<std::int16_t, kDeviceCount> listed_{};
  int listedCount_ = 0;
  bool loaded_ = false;
  std::int16_t activePoint_ = 0;
};

}  // namespace tb::ui

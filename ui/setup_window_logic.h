// What the device setup window does. Loading reads TrailBeam.ini into the
// rig store and lists the sixteen devices (name, pan and tilt channel, pan
// and tilt range, pan and tilt fine channel, 0 for none), and shows the
// stage's measured lengths, the height channel and the follow rate; OK
// checks those four fields, then copies the list into the device table, ranges limited to
// 1..1080, stores the fields and saves the file; the close box discards the
// edits.
#pragma once

#include <string>
#include <system_error>

#include "ui/controls.h"
#include "ui/window_context.h"

namespace tb::ui {

// Refused names are told so, and the cell keeps its text.
inline constexpr const char* kNameRefused =
    "This name cannot be stored in TrailBeam.ini: commas, line breaks and characters "
    "outside Windows-1252 are not allowed. The previous name is kept.";

// A field OK cannot take is told so; the window stays open with every edit
// and nothing is stored or saved.
inline constexpr const char* kK1K3Refused =
    "The K1-K3 length must be given in metres from 0.10 to 100.00, with at most two decimals, "
    "or left empty when it was not measured.";
inline constexpr const char* kK1K2Refused =
    "The K1-K2 length must be given in metres from 0.10 to 100.00, with at most two decimals, "
    "or left empty when it was not measured.";
inline constexpr const char* kHeightChannelRefused =
    "The height channel must be a DMX channel from 1 to 512, or left empty for none.";
inline constexpr const char* kFollowRateRefused =
    "The follow rate must be 10, 20, 25 or 40 times a second; left empty it is 10.";

struct SetupWindowControls {
  WindowControl& window;
  LabelControl& lblConf;
  ListControl& lvConf;
  EditControl& txtK1K3;
  EditControl& txtK1K2;
  EditControl& txtHeightChannel;
  EditControl& txtFollowRate;
};

class SetupWindowLogic {
 public:
  SetupWindowLogic(WindowContext context, SetupWindowControls controls);

  // The settings file, on the window's store and path.
  std::error_code save_config();
  void read_config();

  // Each opening starts with a new list; Unload drops it.
  void Form_Load();
  void Unload();

  void cmdOK_Click();
  // The row the control reports is not used: its current cell is.
  void lvConf_ItemMouseEvent(int button, int flag);
  void lvConf_EditEnd(const std::string& oldText, const std::string& newText);
  // The close box: every edit is discarded, also one still open.
  void CloseBox();

 private:
  void AddDeviceRow(int device);

  WindowContext ctx_;
  SetupWindowControls c_;
};

}  // namespace tb::ui

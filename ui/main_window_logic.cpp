#include "ui/main_window_logic.h"

#include <utility>

#include "follow/calibration_checks.h"
#include "follow/resolution.h"
#include "rig/settings_extension.h"
#include "ui/main_window_layout.h"
#include "ui/stage_entries.h"

namespace tb::ui {

namespace {

constexpr const char* kSaveFailed = "TrailBeam.ini could not be saved: ";

std::string PointText(int point) { return "K" + BoxNumber(point); }

// The box shows the coarse values; a device with fine channels adds the
// 16-bit values the follow step uses (an axis without a fine channel counts
// its fine byte 0).
std::string FineToolTip(const RigStore& rig, int device, int point) {
  const DeviceRecord* record = rig.Device(device);
  if (record == nullptr || !HasFineChannels(*record) || !RigStore::ValidPoint(point)) return {};
  return "16 bit: " + std::to_string(Join16(*rig.Pan(device, point), *rig.PanFine(device, point))) +
         ", " + std::to_string(Join16(*rig.Tilt(device, point), *rig.TiltFine(device, point)));
}

}  // namespace

std::string BoxNumber(std::int32_t value) {
  return value >= 0 ? " " + std::to_string(value) : std::to_string(value);
}

MainWindowLogic::MainWindowLogic(WindowContext context, MainWindowControls controls)
    : ctx_(std::move(context)), c_(std::move(controls)) {
  ResetControls();
}

// The controls as the layout gives them.
void MainWindowLogic::ResetControls() {
  c_.TimerDMX.Stop();
  c_.CmdEnableTB.SetCaption(kEnableCaption);
  c_.ComboDeviceList.Clear();
  c_.ComboMaster.Clear();
  listedCount_ = 0;
  c_.ComboDeviceList.Deselect(kDeviceListText);
  c_.ComboMaster.Deselect(kMasterListText);
  for (int i = 0; i < kPointCount; ++i) {
    c_.TxtCalibr[i]->ResetColours();
    c_.TxtCalibr[i]->SetToolTip({});
    c_.TxtCalibr[i]->SetText(kBoxTexts[i]);
  }
  c_.OptLin.Select();
  c_.TxtHeight.SetText(kHeightText);
  RefreshHeightBox();
}

void MainWindowLogic::Load() {
  if (loaded_) return;
  loaded_ = true;
  Form_Load();
}

void MainWindowLogic::Unload() {
  loaded_ = false;
  ResetControls();
}

// The height, like the method, is run state: each loading starts on the
// floor.
void MainWindowLogic::Form_Load() {
  ctx_.rig.InitRunState();
  ctx_.rig.FollowHeight = 0.0;
  c_.TxtHeight.SetText(FollowHeightText(ctx_.rig.FollowHeight));
  RefreshHeightBox();
  listedCount_ = 0;
  for (int d = 1; d <= kDeviceCount; ++d) {
    const DeviceRecord* device = ctx_.rig.Device(d);
    if (device == nullptr || device->Name.empty()) continue;
    c_.ComboDeviceList.Add(device->Name);
    c_.ComboMaster.Add(device->Name);
    listed_[static_cast<std::size_t>(listedCount_++)] = static_cast<std::int16_t>(d);
  }
  // The lists open without a selection, showing their initial texts.
  c_.ComboDeviceList.Deselect(kDeviceListText);
  c_.ComboMaster.Deselect(kMasterListText);
  c_.CmdEnableTB.Focus();
  if (listedCount_ < 2) ctx_.messages.Show("Bitte weitere Geräte konfigurieren");
}

void MainWindowLogic::PaintBox(int index, Colour colour, const std::string& text,
                               const std::string& toolTip) {
  c_.TxtCalibr[index]->SetBackColour(colour);
  c_.TxtCalibr[index]->SetText(text);
  c_.TxtCalibr[index]->SetToolTip(toolTip);
}

void MainWindowLogic::RefreshCalibrationBoxes(std::int16_t device) {
  if (!RigStore::ValidDevice(device)) return;
  for (int n = 1; n <= kPointCount; ++n) {
    const std::int32_t pan = *ctx_.rig.Pan(device, n);
    const std::int32_t tilt = *ctx_.rig.Tilt(device, n);
    if (pan != Uncalibrated && tilt != Uncalibrated) {
      PaintBox(n - 1, CalibratedColor, BoxNumber(pan) + ", " + BoxNumber(tilt),
               FineToolTip(ctx_.rig, device, n));
    } else {
      PaintBox(n - 1, UncalibratedColor, PointText(n));
    }
  }
}

// A rig of the first four devices keeps its lists' old rule, position + 1,
// even across an unnamed device; once a later device is named, an entry
// stands for its own device, as position + 1 could never reach device 14
// of a rig that names only 1, 5 and 14.
std::int16_t MainWindowLogic::DeviceAt(int position) const {
  if (position < 0 || position >= kDeviceCount) return 0;
  const bool laterNamed =
      listedCount_ > 0 && listed_[static_cast<std::size_t>(listedCount_ - 1)] > kDescribedDevices;
  if (!laterNamed) return static_cast<std::int16_t>(position + 1);
  return position < listedCount_ ? listed_[static_cast<std::size_t>(position)] : 0;
}

void MainWindowLogic::ComboDeviceList_Click(int position) {
  const std::int16_t device = DeviceAt(position);
  if (device < 1) return;  // not a pick
  ctx_.rig.SelectedDevice = device;
  RefreshCalibrationBoxes(ctx_.rig.SelectedDevice);
}

void MainWindowLogic::TxtCalibr_Click(int index) {
  if (index < 0 || index >= kPointCount) return;
  if (ctx_.rig.SelectedDevice < 1) {
    ctx_.messages.Show("Please select device");
    return;
  }
  RefreshCalibrationBoxes(ctx_.rig.SelectedDevice);
  PaintBox(index, MarkedColor, c_.TxtCalibr[index]->Text(), c_.TxtCalibr[index]->ToolTip());
  activePoint_ = static_cast<std::int16_t>(index);
}

// Each read is stored as soon as it arrives; a failing read ends the
// take-over and names the channel.
bool MainWindowLogic::ReadInto(std::int32_t channel, std::int32_t* into) {
  std::error_code error = make_error_code(Errc::no_host_helper);
  std::int32_t value = 0;
  if (ctx_.rig.HostHelper != nullptr) error = ctx_.rig.HostHelper->ReadChannel(channel, value);
  if (error) {
    ctx_.messages.Show("Channel " + std::to_string(channel) +
                       " could not be read: " + error.message());
    return false;
  }
  *into = value;
  return true;
}

void MainWindowLogic::CmdGet_Click() {
  RigStore& rig = ctx_.rig;
  const std::int16_t device = rig.SelectedDevice;
  if (device < 1) {
    ctx_.messages.Show("Please select device");
    return;
  }
  const DeviceRecord* record = rig.Device(device);
  const int point = activePoint_ + 1;
  if (record == nullptr || !RigStore::ValidPoint(point)) return;
  // A fine byte belongs to the coarse value it was read with: taking a
  // coarse value anew drops the old one's until its own read arrives.
  if (!ReadInto(record->PanChannel, rig.Pan(device, point))) return;
  *rig.PanFine(device, point) = 0;
  if (!ReadInto(record->TiltChannel, rig.Tilt(device, point))) return;
  *rig.TiltFine(device, point) = 0;
  if (record->PanFineChannel != 0 && !ReadInto(record->PanFineChannel, rig.PanFine(device, point)))
    return;
  if (record->TiltFineChannel != 0 &&
      !ReadInto(record->TiltFineChannel, rig.TiltFine(device, point)))
    return;
  PaintBox(activePoint_, CalibratedColor,
           BoxNumber(*rig.Pan(device, point)) + ", " + BoxNumber(*rig.Tilt(device, point)),
           FineToolTip(rig, device, point));
}

void MainWindowLogic::CmdClear_Click() {
  if (c_.TimerDMX.Running()) {
    ctx_.messages.Show("Please Stop the Trail Beam Plugin at first");
    return;
  }
  for (int d = 1; d <= kDeviceCount; ++d) {
    for (int i = 0; i < kPointCount; ++i) {
      *ctx_.rig.Tilt(d, i + 1) = Uncalibrated;
      *ctx_.rig.Pan(d, i + 1) = Uncalibrated;
      *ctx_.rig.PanFine(d, i + 1) = *ctx_.rig.TiltFine(d, i + 1) = 0;
      PaintBox(i, UncalibratedColor, PointText(i + 1));
    }
  }
}

void MainWindowLogic::ComboMaster_Click(int position) {
  const std::int16_t device = DeviceAt(position);
  if (device < 1) return;  // not a pick
  RigStore& rig = ctx_.rig;
  rig.MasterDevice = device;
  const Checked<VBool> calibrated = rig.IsDeviceCalibrated(rig.MasterDevice);
  if (!calibrated || calibrated.value == VFalse) {
    ctx_.messages.Show("Not accepted, because of missing device calibration");
    rig.MasterDevice = 0;
    c_.ComboMaster.Deselect("");
  }
}

void MainWindowLogic::CmdEnableTB_Click() {
  const std::error_code saved =
      CheckCalibrationForMethod(ctx_.rig, ctx_.settingsPath, ctx_.messages);
  if (saved) {
    ctx_.messages.Show(kSaveFailed + saved.message());
    return;
  }
  if (ctx_.rig.MasterDevice < 1) {
    ctx_.messages.Show("Please, select master device");
    return;
  }
  if (c_.CmdEnableTB.Caption() == kEnableCaption) {
    StartFollowing();
  } else {
    c_.CmdEnableTB.SetCaption(kEnableCaption);
    c_.TimerDMX.Stop();
  }
}

// Channels that cannot be right are told once here, never by the tick, and
// do not stop the switch, as a doubtful calibration does not.
void MainWindowLogic::StartFollowing() {
  if (const std::string channels = CheckFollowChannels(ctx_.rig); !channels.empty())
    ctx_.messages.Show(channels);
  // Solved here whatever the method, so that a switch to trigonometric
  // while following finds the stage ready; the tick never solves. The
  // ranges were told by the check before the switch.
  const std::vector<StageFinding> stage = engine_.PrepareStage(ctx_.rig);
  if (ctx_.rig.FollowMethod == kFollowTrigonometric)
    for (const StageFinding& finding : stage) ctx_.messages.Show(StageFindingMessage(finding));
  engine_.Start();
  c_.CmdEnableTB.SetCaption(kStopCaption);
  // The rate counts from here: a rate changed while following waits for the
  // next Enable TB.
  c_.TimerDMX.SetInterval(FollowIntervalMs(ctx_.rig.FollowRate));
  c_.TimerDMX.Start();
}

// Run state only: the next tick follows with the new method, and the next
// loading of the window goes back to linear.
void MainWindowLogic::OptLin_Click() { ctx_.rig.FollowMethod = kFollowLinear; }
void MainWindowLogic::OptDist_Click() { ctx_.rig.FollowMethod = kFollowDistance; }
void MainWindowLogic::OptTrigo_Click() { ctx_.rig.FollowMethod = kFollowTrigonometric; }

void MainWindowLogic::CmdHelp_Click() {
  if (c_.ShowHelp) c_.ShowHelp();
}

void MainWindowLogic::RefreshHeightBox() {
  const bool stage = StageCentimetres(ctx_.rig.StageK1K3).has_value();
  const std::int32_t channel = ctx_.rig.HeightChannel;
  c_.TxtHeight.SetEnabled(stage && channel == 0);
  if (!stage) {
    c_.TxtHeight.SetToolTip(kHeightNeedsStage);
  } else if (channel != 0) {
    c_.TxtHeight.SetToolTip("The follow height comes from channel " + std::to_string(channel) +
                            ".");
  } else {
    c_.TxtHeight.SetToolTip(kHeightToolTip);
  }
}

// Run state only, like the method: the next tick follows at the new
// height. The box is put right before a refusal is shown, so that the focus
// the message box takes cannot confirm the same wrong text again.
void MainWindowLogic::TxtHeight_Validate() {
  if (!c_.TxtHeight.Enabled()) return;
  const auto height = FollowHeightEntry(c_.TxtHeight.Text());
  if (height) ctx_.rig.FollowHeight = *height;
  c_.TxtHeight.SetText(FollowHeightText(ctx_.rig.FollowHeight));
  if (!height) ctx_.messages.Show(kHeightRefused);
}

// A failing tick is not reported: a message box ten times a second would
// make the window unusable, and the next tick tries afresh.
void MainWindowLogic::TimerDMX_Timer() { (void)engine_.OnTimer(ctx_.rig); }

}  // namespace tb::ui

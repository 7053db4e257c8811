#include "ui/setup_window_logic.h"

#include <algorithm>
#include <utility>

#include "rig/settings_file.h"
#include "ui/leading_number.h"
#include "ui/setup_window_layout.h"
#include "ui/stage_entries.h"

namespace tb::ui {

namespace {

constexpr const char* kInstruction =
    "Weil noch keine Geräteinfos von ORVN gelesen werden können, müssen diese hier konfiguriert "
    "werden. Tragen Sie hier bis zu 4 Geräte ein. Klicken Sie zweimal in das zu ändernde Feld.";

std::int32_t CellRange(const std::string& text) {
  return std::clamp(LeadingNumber(text), kMinRange, kMaxRange);
}

}  // namespace

SetupWindowLogic::SetupWindowLogic(WindowContext context, SetupWindowControls controls)
    : ctx_(std::move(context)), c_(controls) {}

std::error_code SetupWindowLogic::save_config() {
  return tb::save_config(ctx_.rig, ctx_.settingsPath);
}
void SetupWindowLogic::read_config() { tb::read_config(ctx_.rig, ctx_.settingsPath); }

void SetupWindowLogic::Form_Load() {
  Unload();
  c_.lblConf.SetText(kInstruction);
  for (const ColumnLayout& column : SetupListColumns())
    c_.lvConf.AddColumn(column.header, column.widthTwips);
  read_config();
  for (int i = 1; i <= kDeviceCount; ++i) AddDeviceRow(i);
  c_.txtK1K3.SetText(StageLengthText(ctx_.rig.StageK1K3));
  c_.txtK1K2.SetText(StageLengthText(ctx_.rig.StageK1K2));
  c_.txtHeightChannel.SetText(HeightChannelText(ctx_.rig.HeightChannel));
  c_.txtFollowRate.SetText(FollowRateText(ctx_.rig.FollowRate));
  c_.lvConf.Focus();
}

// An unnamed device shows channels 0 and 0, the default ranges and no fine
// channels, whatever its record holds.
void SetupWindowLogic::AddDeviceRow(int i) {
  DeviceRecord shown = *ctx_.rig.Device(i);
  std::string text = shown.Name;
  if (shown.Name.empty()) {
    shown = DeviceRecord{};
    if (i <= 2) text = "Device" + std::to_string(i);
  }
  c_.lvConf.AddRow("Item" + std::to_string(i), text);
  const int row = c_.lvConf.RowCount();
  c_.lvConf.SetCell(row, 1, std::to_string(shown.PanChannel));
  c_.lvConf.SetCell(row, 2, std::to_string(shown.TiltChannel));
  c_.lvConf.SetCell(row, 3, std::to_string(shown.PanRange));
  c_.lvConf.SetCell(row, 4, std::to_string(shown.TiltRange));
  c_.lvConf.SetCell(row, 5, std::to_string(shown.PanFineChannel));
  c_.lvConf.SetCell(row, 6, std::to_string(shown.TiltFineChannel));
}

void SetupWindowLogic::Unload() { c_.lvConf.Clear(); }

void SetupWindowLogic::lvConf_ItemMouseEvent(int button, int flag) {
  if (button != 1 || flag == 0) return;
  const int row = c_.lvConf.CurrentCellRow();
  if (row < 1 || row > c_.lvConf.RowCount()) return;
  c_.lvConf.BeginEdit(c_.lvConf.Cell(row, c_.lvConf.CurrentCellColumn()));
}

void SetupWindowLogic::lvConf_EditEnd(const std::string&, const std::string& newText) {
  const int column = c_.lvConf.CurrentCellColumn();
  const int row = c_.lvConf.CurrentCellRow();
  if (row < 1 || row > c_.lvConf.RowCount()) return;
  if (column == 0 && !IsStorableName(newText)) {
    ctx_.messages.Show(kNameRefused);
    return;
  }
  c_.lvConf.SetCell(row, column, newText);
}

// The four fields are checked before anything is stored, so that a
// refused one leaves the store and the file as the window found them.
void SetupWindowLogic::cmdOK_Click() {
  const auto k1k3 = StageLengthEntry(c_.txtK1K3.Text());
  const auto k1k2 = StageLengthEntry(c_.txtK1K2.Text());
  const auto channel = HeightChannelEntry(c_.txtHeightChannel.Text());
  const auto rate = FollowRateEntry(c_.txtFollowRate.Text());
  if (!k1k3 || !k1k2 || !channel || !rate) {
    ctx_.messages.Show(!k1k3      ? kK1K3Refused
                       : !k1k2    ? kK1K2Refused
                       : !channel ? kHeightChannelRefused
                                  : kFollowRateRefused);
    return;
  }
  const int rows = std::min(c_.lvConf.RowCount(), kDeviceCount);
  for (int i = 1; i <= rows; ++i) {
    DeviceRecord* device = ctx_.rig.Device(i);
    if (device == nullptr) continue;
    device->Name = c_.lvConf.Cell(i, 0);
    device->PanChannel = LeadingNumber(c_.lvConf.Cell(i, 1));
    device->TiltChannel = LeadingNumber(c_.lvConf.Cell(i, 2));
    device->PanRange = CellRange(c_.lvConf.Cell(i, 3));
    device->TiltRange = CellRange(c_.lvConf.Cell(i, 4));
    device->PanFineChannel = LeadingNumber(c_.lvConf.Cell(i, 5));
    device->TiltFineChannel = LeadingNumber(c_.lvConf.Cell(i, 6));
  }
  ctx_.rig.StageK1K3 = *k1k3;
  ctx_.rig.StageK1K2 = *k1k2;
  ctx_.rig.HeightChannel = *channel;
  ctx_.rig.FollowRate = *rate;
  // A failed save keeps the window open with the operator's edits.
  if (const std::error_code error = save_config()) {
    ctx_.messages.Show("TrailBeam.ini could not be saved: " + error.message());
    return;
  }
  c_.window.Close();
}

// Without this an editor still open would be confirmed when the hiding
// window takes its focus.
void SetupWindowLogic::CloseBox() { c_.lvConf.CancelEdit(); }

}  // namespace tb::ui

// The rig's heads, one row each: name, channels and, per mark, whether the
// plug-in's last save holds a calibration for the device on those channels.
// Picking a row picks the head the faders drive.
#pragma once

#include <QTableWidget>
#include <vector>

#include "host/interactive/saved_calibration.h"
#include "host/sim/stage_rig.h"

namespace tbhost {

class HeadTable : public QTableWidget {
  Q_OBJECT

 public:
  static constexpr int kFirstMarkColumn = 2;

  explicit HeadTable(const StageRig& rig, QWidget* parent = nullptr);
  // Marks taken by the device patched to each head's channels; a head no
  // saved device is patched to shows none. The mark columns stay hidden
  // until the first call.
  void ShowSaved(const std::vector<SavedDevice>& devices);
  // "✓" calibrated, "(✓)" taken but the device is incomplete, "·" not taken,
  // "–" no saved device on the head's channels.
  QString MarkText(int head, Mark mark) const;

  // Every row, where there is room; at least this many where there is not.
  static constexpr int kRowsAtLeast = 4;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 private:
  int HeightFor(int rows) const;
  void ShowHead(int row, const SavedDevice* device);

  const StageRig& rig_;
};

// The saved device patched to a head's channels, if any (the first one).
const SavedDevice* DeviceOfHead(const std::vector<SavedDevice>& devices, const MovingHead& head);

}  // namespace tbhost

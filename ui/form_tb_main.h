// FormTBMain: the working window. Calibration of the devices on the five
// reference points, the master choice, follow mode on and off, the method.
//
// Loading happens when the window is first shown (or Load() is called) and
// again after each closing: closing unloads the window, which puts every
// control back to its layout state (lists empty, "Enable TB", timer
// stopped). ActivePoint belongs to the window object and survives that.
#pragma once

#include <QLineEdit>
#include <QWidget>
#include <array>
#include <cstdint>

#include "follow/follow_methods.h"
#include "ui/window_context.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

namespace tb::ui {

// Colours as the platform takes them: 0x00BBGGRR.
inline constexpr std::uint32_t UncalibratedColor = 0xC0E0FF;
inline constexpr std::uint32_t CalibratedColor = 0x80FF80;
inline constexpr std::uint32_t MarkedColor = 0x80FFFF;
QColor PlatformColor(std::uint32_t bbggrr);

// A number as the point boxes write it: a leading blank for 0 and above,
// the minus sign alone for negatives.
QString BoxNumber(std::int32_t value);

// One of the five point boxes. Its objectName is "TxtCalibr_<index>" and
// its "index" property the box index 0..4; a click reports that index.
// The boxes are read-only: their text is only ever shown, never read.
class TxtCalibrBox final : public QLineEdit {
  Q_OBJECT

 public:
  TxtCalibrBox(int index, QWidget* parent);
  int Index() const { return index_; }

 signals:
  void Click(int index);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int index_;
};

class FormTBMain final : public QWidget {
  Q_OBJECT

 public:
  explicit FormTBMain(WindowContext context, QWidget* parent = nullptr);
  ~FormTBMain() override;

  // Does nothing; callers may use it to make sure the window object exists.
  void Main() {}

  // Runs the loading now unless the window is loaded already.
  void Load();
  bool Loaded() const { return loaded_; }
  // Closing without a close event: back to the layout state.
  void Unload();

  std::int16_t ActivePoint() const { return activePoint_; }
  QTimer* Timer() const { return TimerDMX; }

  // Repaints the five boxes from the device's calibration; device 1..4,
  // anything else leaves the boxes as they are.
  void RefreshCalibrationBoxes(std::int16_t device);

  void setVisible(bool visible) override;

 public slots:
  void Form_Load();
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
  void TimerDMX_Timer();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Build();
  void ResetControls();
  void PaintBox(int index, std::uint32_t colour, const QString& text, const QString& toolTip = {});
  void StartFollowing();

  WindowContext ctx_;
  // What the trigonometric method keeps between ticks of this window's timer.
  FollowEngine engine_;
  bool loaded_ = false;
  std::int16_t activePoint_ = 0;

  QLabel* Label1 = nullptr;
  QComboBox* ComboDeviceList = nullptr;
  QLabel* Label2 = nullptr;
  QComboBox* ComboMaster = nullptr;
  std::array<TxtCalibrBox*, 5> TxtCalibr{};
  QPushButton* CmdGet = nullptr;
  QPushButton* CmdClear = nullptr;
  QGroupBox* Frame1 = nullptr;
  QRadioButton* OptLin = nullptr;
  QRadioButton* OptDist = nullptr;
  QRadioButton* OptTrigo = nullptr;
  QPushButton* CmdEnableTB = nullptr;
  QPushButton* CmdHelp = nullptr;
  QTimer* TimerDMX = nullptr;
};

}  // namespace tb::ui

// The main window driven as the operator does: device choice, point marks,
// Get Value, Clear, master choice, Enable/Stop, method, Help and the timer.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <memory>

#include "core/fake_host.h"
#include "core/stage_geometry.h"
#include "follow/follow_methods.h"
#include "rig/settings_file.h"
#include "ui/component_windows.h"
#include "ui/form_tb_main.h"
#include "ui/frm_about.h"
#include "ui/frm_tb_config.h"
#include "ui/main_window_layout.h"
#include "ui_test_support.h"

namespace tb::testing {
namespace {

using ui::FormTBMain;

constexpr const char* kSelectDevice = "Please select device";

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    path = dir.filePath("TrailBeam.ini").toStdString();
    const char* names[4] = {"Spot A", "Spot B", "Wash C", ""};
    for (int d = 1; d <= 4; ++d) {
      rig.Device(d)->Name = names[d - 1];
      rig.Device(d)->PanChannel = 10 * d + 1;
      rig.Device(d)->TiltChannel = 10 * d + 2;
    }
    auto fake = std::make_unique<FakeHost>();
    host = fake.get();
    rig.SetHostHelper(std::move(fake));
    // As after reading a settings file without calibration.
    for (int d = 1; d <= 4; ++d) Uncalibrate(d);
  }

  void TearDown() override {
    if (ui::frmAbout::Open() != nullptr) delete ui::frmAbout::Open();
  }

  FormTBMain& Open() {
    form = std::make_unique<FormTBMain>(ui::WindowContext{rig, sink, path});
    form->show();
    return *form;
  }

  void Uncalibrate(int device) {
    for (int p = 1; p <= 5; ++p) *rig.Pan(device, p) = *rig.Tilt(device, p) = Uncalibrated;
  }
  // A plausible stage: K1 bottom left, K2 top left, K3 bottom right, K4 top
  // right, KM in the middle; shifted by offset on both axes.
  static constexpr int kPan[5] = {60, 60, 220, 220, 140};
  static constexpr int kTilt[5] = {40, 200, 40, 200, 120};
  void Calibrate(int device, int offset) {
    for (int p = 1; p <= 5; ++p) {
      *rig.Pan(device, p) = kPan[p - 1] + offset;
      *rig.Tilt(device, p) = kTilt[p - 1] + offset;
    }
  }

  QLineEdit* Box(int index) {
    return Control<QLineEdit>(*form, ("TxtCalibr_" + std::to_string(index)).c_str());
  }
  QColor BoxColour(int index) { return Box(index)->palette().color(QPalette::Base); }
  QComboBox* Devices() { return Control<QComboBox>(*form, "ComboDeviceList"); }
  QComboBox* Masters() { return Control<QComboBox>(*form, "ComboMaster"); }
  QPushButton* Button(const char* name) { return Control<QPushButton>(*form, name); }
  QTimer* Timer() { return form->findChild<QTimer*>("TimerDMX"); }
  // Lets the timer run until the host has seen n calls; false when it never
  // does. (Qt's QTRY_ macros would only return from the test silently.)
  bool WaitForCalls(std::size_t n) {
    return QTest::qWaitFor([&] { return host->calls.size() >= n; }, 5000);
  }

  QTemporaryDir dir;
  std::string path;
  RigStore rig;
  RecordingSink sink;
  FakeHost* host = nullptr;
  std::unique_ptr<FormTBMain> form;
};

const QColor kOrange(255, 224, 192);
const QColor kGreen(128, 255, 128);
const QColor kYellow(255, 255, 128);

TEST(BoxNumber, LeadingBlankOnlyForZeroAndAbove) {
  struct Case {
    std::int32_t value;
    const char* text;
  } cases[] = {{0, " 0"},
               {128, " 128"},
               {-5, "-5"},
               {-1, "-1"},
               {2147483647, " 2147483647"},
               {-2147483647 - 1, "-2147483648"}};
  for (const Case& c : cases) EXPECT_EQ(ui::BoxNumber(c.value), c.text) << c.value;
}

TEST(PlatformColor, BlueInTheHighByte) {
  EXPECT_EQ(ui::PlatformColor(ui::UncalibratedColor), kOrange);
  EXPECT_EQ(ui::PlatformColor(ui::CalibratedColor), kGreen);
  EXPECT_EQ(ui::PlatformColor(ui::MarkedColor), kYellow);
}

TEST_F(MainWindowTest, LoadingFillsBothListsWithNamedDevicesAndWarnsBelowTwo) {
  struct Case {
    const char* names[4];
    std::vector<QString> entries;
    bool warned;
  } cases[] = {
      {{"Spot A", "Spot B", "Wash C", ""}, {"Spot A", "Spot B", "Wash C"}, false},
      {{"Spot A", "", "Wash C", ""}, {"Spot A", "Wash C"}, false},
      {{"", "", "   ", ""}, {"   "}, true},
      {{"", "", "", ""}, {}, true},
      {{"Bühne 1", "", "", "Bühne 4"}, {"Bühne 1", "Bühne 4"}, false},
  };
  for (const Case& c : cases) {
    for (int d = 1; d <= 4; ++d) rig.Device(d)->Name = c.names[d - 1];
    sink.shown.clear();
    rig.SelectedDevice = 3;
    rig.MasterDevice = 2;
    rig.FollowMethod = 0;
    Open();
    for (QComboBox* list : {Devices(), Masters()}) {
      std::vector<QString> entries;
      for (int i = 0; i < list->count(); ++i) entries.push_back(list->itemText(i));
      EXPECT_EQ(entries, c.entries) << list->objectName().toStdString();
      EXPECT_EQ(list->currentIndex(), -1);
    }
    EXPECT_EQ(Devices()->currentText(), "Select Device");
    EXPECT_EQ(Masters()->currentText(), "Select Master");
    EXPECT_EQ(sink.shown, c.warned ? std::vector<std::string>{"Bitte weitere Geräte konfigurieren"}
                                   : std::vector<std::string>{});
    EXPECT_TRUE(form->isVisible());
    // The run state starts afresh, except for the master.
    EXPECT_EQ(rig.SelectedDevice, 0);
    EXPECT_EQ(rig.FollowMethod, 1);
    EXPECT_EQ(rig.MasterDevice, 2);
    EXPECT_EQ(Button("CmdEnableTB")->text(), "Enable TB");
    EXPECT_FALSE(Timer()->isActive());
    EXPECT_TRUE(Control<QRadioButton>(*form, "OptLin")->isChecked());
  }
}

TEST_F(MainWindowTest, DeviceChoicePaintsAllFiveBoxesFromItsCalibration) {
  Uncalibrate(1);
  *rig.Pan(1, 1) = 128;
  *rig.Tilt(1, 1) = 64;
  *rig.Pan(1, 2) = -5;
  *rig.Tilt(1, 2) = 64;
  *rig.Pan(1, 3) = 7;  // tilt missing
  Calibrate(2, 5);
  Open();

  PickEntry(Devices(), 0);
  EXPECT_EQ(rig.SelectedDevice, 1);
  const char* texts[5] = {" 128,  64", "-5,  64", "K 3", "K 4", "K 5"};
  const QColor colours[5] = {kGreen, kGreen, kOrange, kOrange, kOrange};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Box(i)->text().toStdString(), texts[i]) << i;
    EXPECT_EQ(BoxColour(i), colours[i]) << i;
  }

  PickEntry(Devices(), 1);
  EXPECT_EQ(rig.SelectedDevice, 2);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Box(i)->text(), QString(" %1,  %2").arg(kPan[i] + 5).arg(kTilt[i] + 5)) << i;
    EXPECT_EQ(BoxColour(i), kGreen) << i;
  }
  EXPECT_TRUE(sink.shown.empty());
}

TEST_F(MainWindowTest, GetValueWithoutBoxClickFillsK1InPanThenTiltOrder) {
  Uncalibrate(2);
  host->channels = {{21, 130}, {22, 40}};
  Open();
  PickEntry(Devices(), 1);
  Click(Button("CmdGet"));
  EXPECT_EQ(host->calls,
            (std::vector<HostCall>{{HostCall::Read, 21, 130}, {HostCall::Read, 22, 40}}));
  EXPECT_EQ(*rig.Pan(2, 1), 130);
  EXPECT_EQ(*rig.Tilt(2, 1), 40);
  EXPECT_EQ(Box(0)->text(), " 130,  40");
  EXPECT_EQ(BoxColour(0), kGreen);
  // Nothing else moved: the other points and the other boxes.
  EXPECT_EQ(*rig.Pan(2, 2), Uncalibrated);
  EXPECT_EQ(Box(1)->text(), "K 2");
  // DeviceCalibrated is not touched by the take-over.
  EXPECT_EQ(*rig.Calibrated(2), VFalse);
}

TEST_F(MainWindowTest, GetValueReadsFineChannelsAfterPanAndTilt) {
  struct Case {
    const char* what;
    std::int32_t panFine, tiltFine;  // channels
    std::vector<std::int32_t> read;  // channels in the order read
    std::int32_t storedPanFine, storedTiltFine;
    const char* toolTip;
  } cases[] = {
      {"none", 0, 0, {21, 22}, 0, 0, ""},
      {"both", 23, 24, {21, 22, 23, 24}, 200, 7, "16 bit: 33480, 10247"},
      {"pan fine only", 23, 0, {21, 22, 23}, 200, 0, "16 bit: 33480, 10240"},
      {"tilt fine only", 0, 24, {21, 22, 24}, 0, 7, "16 bit: 33280, 10247"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Uncalibrate(2);
    rig.Device(2)->PanFineChannel = c.panFine;
    rig.Device(2)->TiltFineChannel = c.tiltFine;
    // What an earlier take of K4 left: dropped with the coarse values.
    *rig.PanFine(2, 4) = *rig.TiltFine(2, 4) = 99;
    host->calls.clear();
    host->channels = {{21, 130}, {22, 40}, {23, 200}, {24, 7}};
    Open();
    PickEntry(Devices(), 1);
    Click(Box(3));
    Click(Button("CmdGet"));
    std::vector<HostCall> expected;
    for (std::int32_t channel : c.read)
      expected.push_back({HostCall::Read, channel, host->channels[channel]});
    EXPECT_EQ(host->calls, expected);
    EXPECT_EQ(*rig.Pan(2, 4), 130);
    EXPECT_EQ(*rig.Tilt(2, 4), 40);
    EXPECT_EQ(*rig.PanFine(2, 4), c.storedPanFine);
    EXPECT_EQ(*rig.TiltFine(2, 4), c.storedTiltFine);
    // The box keeps showing the coarse values, also after a repaint.
    EXPECT_EQ(Box(3)->text(), " 130,  40");
    EXPECT_EQ(Box(3)->toolTip().toStdString(), c.toolTip);
    PickEntry(Devices(), 1);
    EXPECT_EQ(Box(3)->text(), " 130,  40");
    EXPECT_EQ(Box(3)->toolTip().toStdString(), c.toolTip);
    EXPECT_EQ(Box(0)->toolTip().toStdString(), "");  // not calibrated
  }
}

TEST_F(MainWindowTest, FailedFineReadKeepsTheCoarseValuesAndLeavesTheBox) {
  struct Case {
    const char* what;
    int failCall;
    std::int32_t panFine, tiltFine;  // stored afterwards
    std::int32_t channel;            // named in the message
  } cases[] = {
      {"pan fine fails", 3, 0, 0, 13},
      {"tilt fine fails", 4, 250, 0, 14},
  };
  rig.Device(1)->PanFineChannel = 13;
  rig.Device(1)->TiltFineChannel = 14;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Uncalibrate(1);
    *rig.PanFine(1, 1) = *rig.TiltFine(1, 1) = 99;
    auto fake = std::make_unique<FakeHost>();
    fake->channels = {{11, 77}, {12, 66}, {13, 250}, {14, 251}};
    fake->failCallNumber = c.failCall;
    host = fake.get();
    rig.SetHostHelper(std::move(fake));
    Open();
    sink.shown.clear();
    PickEntry(Devices(), 0);
    Click(Button("CmdGet"));
    EXPECT_EQ(sink.shown, std::vector<std::string>{
                              "Channel " + std::to_string(c.channel) + " could not be read: " +
                              std::make_error_code(std::errc::io_error).message()});
    EXPECT_EQ(*rig.Pan(1, 1), 77);
    EXPECT_EQ(*rig.Tilt(1, 1), 66);
    EXPECT_EQ(*rig.PanFine(1, 1), c.panFine);
    EXPECT_EQ(*rig.TiltFine(1, 1), c.tiltFine);
    EXPECT_EQ(Box(0)->text(), "K 1");
  }
}

TEST_F(MainWindowTest, MarkedBoxIsTheOneGetValueFillsAcrossDeviceChoices) {
  Uncalibrate(1);
  Uncalibrate(2);
  host->channels = {{21, 9}, {22, 8}};
  Open();
  PickEntry(Devices(), 0);
  Click(Box(2));  // K3
  EXPECT_EQ(form->ActivePoint(), 2);
  EXPECT_EQ(BoxColour(2), kYellow);
  EXPECT_EQ(Box(2)->text(), "K 3");
  EXPECT_EQ(BoxColour(0), kOrange);

  PickEntry(Devices(), 1);
  EXPECT_EQ(BoxColour(2), kOrange);  // the mark is gone
  EXPECT_EQ(form->ActivePoint(), 2);
  Click(Button("CmdGet"));
  EXPECT_EQ(*rig.Pan(2, 3), 9);
  EXPECT_EQ(*rig.Tilt(2, 3), 8);
  EXPECT_EQ(*rig.Pan(1, 3), Uncalibrated);
  EXPECT_EQ(Box(2)->text(), " 9,  8");
  // Pressing again reads the same point again.
  host->channels[21] = 10;
  Click(Button("CmdGet"));
  EXPECT_EQ(*rig.Pan(2, 3), 10);
}

TEST_F(MainWindowTest, ListPositionPlusOneIsTheDeviceEvenAcrossAGap) {
  rig.Device(2)->Name = "";
  Open();
  ASSERT_EQ(Devices()->count(), 2);
  EXPECT_EQ(Devices()->itemText(1), "Wash C");
  PickEntry(Devices(), 1);
  EXPECT_EQ(rig.SelectedDevice, 2);
  Click(Button("CmdGet"));
  EXPECT_EQ(host->calls.at(0).channel, 21);  // device 2's channels
  EXPECT_EQ(host->calls.at(1).channel, 22);
}

// Once a device above the fourth is named, position + 1 could reach neither
// it nor any device after a gap: every entry then stands for its own device,
// for the device choice, Get Value and the master alike.
TEST_F(MainWindowTest, LaterDevicesAreListedInOrderAndEachEntryIsItsOwnDevice) {
  const std::vector<std::vector<int>> rigs = {
      {1, 5, 14}, {6, 7, 16}, {3, 9}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
  for (const std::vector<int>& named : rigs) {
    SCOPED_TRACE(::testing::Message() << named.size() << " named, the last " << named.back());
    std::vector<QString> names;
    for (int d = 1; d <= kDeviceCount; ++d) {
      const bool isNamed = std::find(named.begin(), named.end(), d) != named.end();
      rig.Device(d)->Name = isNamed ? "Head " + std::to_string(d) : "";
      rig.Device(d)->PanChannel = 10 * d + 1;
      rig.Device(d)->TiltChannel = 10 * d + 2;
      Uncalibrate(d);
      host->channels[10 * d + 1] = 100 + d;
      host->channels[10 * d + 2] = 200 + d;
      if (isNamed) names.push_back(QString::fromStdString(rig.Device(d)->Name));
    }
    Calibrate(named.back(), 0);
    Open();
    for (QComboBox* list : {Devices(), Masters()}) {
      std::vector<QString> entries;
      for (int i = 0; i < list->count(); ++i) entries.push_back(list->itemText(i));
      EXPECT_EQ(entries, names) << list->objectName().toStdString();
    }
    for (std::size_t position = 0; position < named.size(); ++position) {
      const int device = named[position];
      SCOPED_TRACE(::testing::Message() << "entry " << position << ", device " << device);
      PickEntry(Devices(), static_cast<int>(position));
      EXPECT_EQ(rig.SelectedDevice, device);
      Click(Box(2));
      host->calls.clear();
      Click(Button("CmdGet"));
      ASSERT_EQ(host->calls.size(), 2u);
      EXPECT_EQ(host->calls[0].channel, 10 * device + 1);
      EXPECT_EQ(host->calls[1].channel, 10 * device + 2);
      EXPECT_EQ(*rig.Pan(device, 3), 100 + device);
      EXPECT_EQ(*rig.Tilt(device, 3), 200 + device);
      EXPECT_EQ(Box(2)->text().toStdString(),
                ui::BoxNumber(100 + device) + ",  " + std::to_string(200 + device));
      EXPECT_EQ(BoxColour(2), kGreen);
    }
    PickEntry(Masters(), static_cast<int>(named.size() - 1));
    EXPECT_EQ(rig.MasterDevice, named.back());
    EXPECT_EQ(sink.shown, std::vector<std::string>{});
    if (::testing::Test::HasFailure()) return;
  }
}

TEST_F(MainWindowTest, MinusOneIsStoredAsReadAndShowsUncalibratedOnRepaint) {
  Uncalibrate(1);
  host->channels = {{11, -1}, {12, 64}};
  Open();
  PickEntry(Devices(), 0);
  Click(Button("CmdGet"));
  EXPECT_EQ(*rig.Pan(1, 1), -1);
  EXPECT_EQ(Box(0)->text(), "-1,  64");
  EXPECT_EQ(BoxColour(0), kGreen);
  PickEntry(Devices(), 0);
  EXPECT_EQ(Box(0)->text(), "K 1");
  EXPECT_EQ(BoxColour(0), kOrange);
}

TEST_F(MainWindowTest, WithoutDeviceBoxClicksAndGetValueOnlyAsk) {
  Open();
  const QPalette before = Box(3)->palette();
  Click(Box(3));
  Click(Button("CmdGet"));
  EXPECT_EQ(sink.shown, (std::vector<std::string>{kSelectDevice, kSelectDevice}));
  EXPECT_EQ(form->ActivePoint(), 0);
  EXPECT_EQ(Box(3)->palette().color(QPalette::Base), before.color(QPalette::Base));
  EXPECT_EQ(Box(3)->text(), "K4");
  EXPECT_TRUE(host->calls.empty());
}

TEST_F(MainWindowTest, FailedReadNamesTheChannelAndKeepsWhatWasStored) {
  struct Case {
    const char* what;
    bool noHelper;
    int failCall;
    std::int32_t pan;  // K1 pan afterwards
    std::string message;
  } cases[] = {
      {"no helper", true, 0, Uncalibrated,
       "Channel 11 could not be read: " + make_error_code(Errc::no_host_helper).message()},
      {"pan fails", false, 1, Uncalibrated,
       "Channel 11 could not be read: " + std::make_error_code(std::errc::io_error).message()},
      {"tilt fails", false, 2, 77,
       "Channel 12 could not be read: " + std::make_error_code(std::errc::io_error).message()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Uncalibrate(1);
    auto fake = std::make_unique<FakeHost>();
    fake->channels = {{11, 77}, {12, 66}};
    fake->failCallNumber = c.failCall;
    host = fake.get();
    rig.SetHostHelper(c.noHelper ? nullptr : std::move(fake));
    sink.shown.clear();
    Open();
    sink.shown.clear();
    PickEntry(Devices(), 0);
    Click(Button("CmdGet"));
    EXPECT_EQ(sink.shown, std::vector<std::string>{c.message});
    EXPECT_EQ(*rig.Pan(1, 1), c.pan);
    EXPECT_EQ(*rig.Tilt(1, 1), Uncalibrated);
    EXPECT_EQ(Box(0)->text(), "K 1");  // not updated
  }
}

TEST_F(MainWindowTest, ClearDiscardsEveryDevicesCalibrationUnlessFollowing) {
  for (int d = 1; d <= 4; ++d) Calibrate(d, d);
  rig.Device(2)->PanFineChannel = 23;
  for (int p = 1; p <= 5; ++p) *rig.PanFine(2, p) = *rig.TiltFine(2, p) = 5;
  Open();
  PickEntry(Devices(), 1);
  Click(Box(4));
  EXPECT_FALSE(Box(4)->toolTip().isEmpty());
  Click(Button("CmdClear"));
  for (int d = 1; d <= 4; ++d)
    for (int p = 1; p <= 5; ++p) {
      EXPECT_EQ(*rig.Pan(d, p), Uncalibrated);
      EXPECT_EQ(*rig.Tilt(d, p), Uncalibrated);
      EXPECT_EQ(*rig.PanFine(d, p), 0);
      EXPECT_EQ(*rig.TiltFine(d, p), 0);
    }
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Box(i)->text(), QString("K %1").arg(i + 1));
    EXPECT_EQ(BoxColour(i), kOrange);
    EXPECT_EQ(Box(i)->toolTip(), "");
  }
  EXPECT_EQ(rig.SelectedDevice, 2);
  EXPECT_EQ(form->ActivePoint(), 4);
  EXPECT_EQ(Devices()->currentIndex(), 1);
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));

  // While following, Clear is refused.
  Calibrate(1, 50);
  PickEntry(Masters(), 0);
  Click(Button("CmdEnableTB"));
  ASSERT_TRUE(Timer()->isActive());
  sink.shown.clear();
  Click(Button("CmdClear"));
  EXPECT_EQ(sink.shown, std::vector<std::string>{"Please Stop the Trail Beam Plugin at first"});
  EXPECT_EQ(*rig.Pan(1, 3), 270);
}

TEST_F(MainWindowTest, CentreBoxReadsK5AfterTheFirstRepaint) {
  Uncalibrate(1);
  Open();
  EXPECT_EQ(Box(4)->text(), "      KM");
  PickEntry(Devices(), 0);
  EXPECT_EQ(Box(4)->text(), "K 5");
}

TEST_F(MainWindowTest, MasterChoiceAcceptsOnlyCalibratedDevicesAndClearsItsOwnSelection) {
  Calibrate(1, 0);
  Uncalibrate(2);
  *rig.Pan(2, 1) = 5;  // partly calibrated is not calibrated
  Open();
  PickEntry(Masters(), 0);
  EXPECT_EQ(rig.MasterDevice, 1);
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_EQ(Masters()->currentIndex(), 0);

  PickEntry(Masters(), 1);
  // Exactly one message: the window's own clearing is not a pick.
  EXPECT_EQ(sink.shown,
            std::vector<std::string>{"Not accepted, because of missing device calibration"});
  EXPECT_EQ(rig.MasterDevice, 0);  // the earlier master is gone too
  EXPECT_EQ(Masters()->currentIndex(), -1);
  EXPECT_EQ(Masters()->currentText(), "");
  EXPECT_EQ(*rig.Calibrated(2), VFalse);
}

TEST_F(MainWindowTest, EnableWithoutMasterRunsTheCheckThenAsks) {
  Calibrate(1, 0);
  Open();
  Click(Button("CmdEnableTB"));
  EXPECT_EQ(sink.shown, std::vector<std::string>{"Please, select master device"});
  EXPECT_TRUE(QFile::exists(QString::fromStdString(path)));  // the check saved
  EXPECT_EQ(Button("CmdEnableTB")->text(), "Enable TB");
  EXPECT_FALSE(Timer()->isActive());
}

TEST_F(MainWindowTest, EnableAndStopSwitchTheTimerAndSaveOnEveryPress) {
  for (int d = 1; d <= 3; ++d) Calibrate(d, d);
  Open();
  PickEntry(Masters(), 0);
  const QString file = QString::fromStdString(path);

  Click(Button("CmdEnableTB"));
  EXPECT_EQ(Button("CmdEnableTB")->text(), "Stop TB");
  EXPECT_TRUE(Timer()->isActive());
  EXPECT_EQ(Timer()->interval(), 100);
  EXPECT_EQ(Timer()->timerType(), Qt::PreciseTimer);
  ASSERT_TRUE(QFile::exists(file));
  // The file holds what the store holds: reading it back gives the same.
  RigStore back;
  read_config(back, path);
  EXPECT_EQ(back.DeviceTable[1].Name, "Spot B");
  EXPECT_EQ(*back.Pan(3, 5), 143);

  ASSERT_TRUE(QFile::remove(file));
  Click(Button("CmdEnableTB"));
  EXPECT_EQ(Button("CmdEnableTB")->text(), "Enable TB");
  EXPECT_FALSE(Timer()->isActive());
  EXPECT_TRUE(QFile::exists(file));  // saved again
  EXPECT_TRUE(sink.shown.empty());
}

TEST_F(MainWindowTest, ImplausibleCalibrationIsToldButFollowModeStartsAllTheSame) {
  Calibrate(1, 0);
  // Device 2: every point the same, which no stage allows.
  for (int p = 1; p <= 5; ++p) *rig.Pan(2, p) = *rig.Tilt(2, p) = 100;

  Open();
  PickEntry(Masters(), 0);
  Click(Button("CmdEnableTB"));
  EXPECT_EQ(sink.shown, std::vector<std::string>{
                            "Check Values for device 2:  Plausibility check failed, reason: 4"});
  EXPECT_TRUE(Timer()->isActive());
  EXPECT_EQ(Button("CmdEnableTB")->text(), "Stop TB");
}

TEST_F(MainWindowTest, FailedSaveIsToldAndSwitchesNothing) {
  Calibrate(1, 0);
  path = dir.filePath("missing/TrailBeam.ini").toStdString();
  Open();
  PickEntry(Masters(), 0);
  Click(Button("CmdEnableTB"));
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0],
            "TrailBeam.ini could not be saved: " +
                std::make_error_code(std::errc::no_such_file_or_directory).message());
  EXPECT_FALSE(Timer()->isActive());
  EXPECT_EQ(Button("CmdEnableTB")->text(), "Enable TB");
}

TEST_F(MainWindowTest, AnyCaptionOtherThanEnableTBCountsAsOn) {
  Calibrate(1, 0);
  Open();
  PickEntry(Masters(), 0);
  Button("CmdEnableTB")->setText("enable TB");
  Click(Button("CmdEnableTB"));
  EXPECT_EQ(Button("CmdEnableTB")->text(), "Enable TB");
  EXPECT_FALSE(Timer()->isActive());
}

TEST_F(MainWindowTest, RefusedMasterWhileFollowingKeepsTheTimerAndStopIsRefused) {
  Calibrate(1, 0);
  Uncalibrate(2);
  Open();
  PickEntry(Masters(), 0);
  Click(Button("CmdEnableTB"));
  ASSERT_TRUE(Timer()->isActive());
  PickEntry(Masters(), 1);
  EXPECT_EQ(rig.MasterDevice, 0);
  EXPECT_TRUE(Timer()->isActive());
  sink.shown.clear();
  Click(Button("CmdEnableTB"));
  EXPECT_EQ(sink.shown, std::vector<std::string>{"Please, select master device"});
  EXPECT_TRUE(Timer()->isActive());
  PickEntry(Masters(), 0);
  Click(Button("CmdEnableTB"));
  EXPECT_FALSE(Timer()->isActive());
}

TEST_F(MainWindowTest, TimerTicksMoveTheSlavesAndNeverShowAMessage) {
  Calibrate(1, 0);
  Calibrate(2, 10);
  Open();
  PickEntry(Masters(), 0);
  // The master points at its own centre.
  host->channels[11] = 140;
  host->channels[12] = 120;
  Click(Button("CmdEnableTB"));
  ASSERT_TRUE(Timer()->isActive());
  ASSERT_TRUE(WaitForCalls(4));
  // The centre zone: the slave gets its own centre values.
  const std::vector<HostCall> firstTick{{HostCall::Read, 11, 140},
                                        {HostCall::Read, 12, 120},
                                        {HostCall::Write, 21, 150},
                                        {HostCall::Write, 22, 130}};
  EXPECT_EQ(std::vector<HostCall>(host->calls.begin(), host->calls.begin() + 4), firstTick);
  // Every read fails from now on: the ticks go on silently.
  host->failReads = true;
  const std::size_t before = host->calls.size();
  QTest::qWait(350);
  EXPECT_EQ(host->calls.size(), before);
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_TRUE(Timer()->isActive());
}

// What one tick of a method writes for the window's rig as it stands, from
// the core on a store of its own.
std::vector<HostCall> OneTick(const RigStore& from, std::int16_t method, std::int32_t pan,
                              std::int32_t tilt) {
  RigStore copy;
  copy.DeviceTable = from.DeviceTable;
  copy.PanCalibration = from.PanCalibration;
  copy.TiltCalibration = from.TiltCalibration;
  copy.MasterDevice = from.MasterDevice;
  copy.FollowMethod = method;
  auto fake = std::make_unique<FakeHost>();
  FakeHost* host = fake.get();
  copy.SetHostHelper(std::move(fake));
  host->channels[copy.Device(copy.MasterDevice)->PanChannel] = pan;
  host->channels[copy.Device(copy.MasterDevice)->TiltChannel] = tilt;
  FollowEngine engine;
  engine.Start();
  EXPECT_FALSE(engine.OnTimer(copy));
  return host->calls;
}

// A modelled head as device d, calibrated as an operator would.
void Install(RigStore& rig, int d, const Head& head) {
  const Pairs pairs = Calibrate(head, kPositiveSide);
  for (int p = 1; p <= 5; ++p) {
    *rig.Pan(d, p) = pairs[p - 1].first;
    *rig.Tilt(d, p) = pairs[p - 1].second;
  }
  rig.Device(d)->PanRange = static_cast<std::int32_t>(head.panRange);
  rig.Device(d)->TiltRange = static_cast<std::int32_t>(head.tiltRange);
}

TEST_F(MainWindowTest, EachOptionSetsItsMethodAndTheNextTickFollowsIt) {
  // The master in front of the stage, the slave on a side boom: the three
  // methods place it differently for a master between the marks.
  Install(rig, 1, FrontMaster());
  Install(rig, 2, Mountings()[1].head);
  Open();
  PickEntry(Masters(), 0);
  const auto aim = AimNear(FrontMaster(), {2.5, 4.0}, kPositiveSide);
  ASSERT_TRUE(aim);
  const auto pan = static_cast<std::int32_t>(std::lround(aim->pan));
  const auto tilt = static_cast<std::int32_t>(std::lround(aim->tilt));
  host->channels[11] = pan;
  host->channels[12] = tilt;
  ASSERT_EQ(rig.FollowMethod, kFollowLinear);
  Click(Button("CmdEnableTB"));
  ASSERT_TRUE(Timer()->isActive());
  // Seen from the side, the slave's marks fail the plausibility check, which
  // does not stop follow mode; from here on nothing may be shown.
  sink.shown.clear();

  const struct {
    const char* option;
    std::int16_t method;
  } options[] = {{"OptDist", kFollowDistance},
                 {"OptTrigo", kFollowTrigonometric},
                 {"OptLin", kFollowLinear},
                 {"OptTrigo", kFollowTrigonometric},
                 {"OptDist", kFollowDistance}};
  std::vector<std::vector<HostCall>> seen;
  for (const auto& o : options) {
    SCOPED_TRACE(o.option);
    auto* option = Control<QRadioButton>(*form, o.option);
    Click(option);
    EXPECT_TRUE(option->isChecked());
    EXPECT_EQ(rig.FollowMethod, o.method);
    // The next tick, while follow mode runs, is the new method's.
    host->calls.clear();
    ASSERT_TRUE(WaitForCalls(4));
    const std::vector<HostCall> tick(host->calls.begin(), host->calls.begin() + 4);
    EXPECT_EQ(tick, OneTick(rig, o.method, pan, tilt));
    seen.push_back(tick);
  }
  // The reading lies where the methods disagree, so the check above tells
  // them apart.
  EXPECT_NE(seen[0], seen[1]);
  EXPECT_NE(seen[1], seen[2]);
  EXPECT_NE(seen[0], seen[2]);
  EXPECT_TRUE(sink.shown.empty());

  // Loading the window again starts from linear.
  form->close();
  form->show();
  EXPECT_EQ(rig.FollowMethod, kFollowLinear);
  EXPECT_TRUE(Control<QRadioButton>(*form, "OptLin")->isChecked());
}

// With "trigonometric" chosen each press checks what that method needs in
// place of the plausibility check: every finding is told, a device without a
// map stops the save, and follow mode switches all the same.
TEST_F(MainWindowTest, TrigonometricEnableAndStopTellEachDeviceThatCannotFollow) {
  Install(rig, 1, FrontMaster());
  Install(rig, 2, Mountings()[0].head);
  // A 630/265 head over the stage, entered with the default ranges.
  Install(rig, 3, HungDown({2.5, 3.5, 7.0}, 90.0, 630.0, 265.0));
  rig.Device(3)->PanRange = kDefaultPanRange;
  rig.Device(3)->TiltRange = kDefaultTiltRange;
  Open();
  PickEntry(Masters(), 0);
  // Device 2's points all end up on one ray.
  for (int p = 1; p <= 5; ++p) *rig.Pan(2, p) = *rig.Tilt(2, p) = 100;

  const std::string cannotFollow =
      "Device 2 cannot follow trigonometrically: its five points do not span the stage.";
  const std::string prefix =
      "Device 3: its five points do not fit a 540\u00b0/270\u00b0 head (KM is off by ";
  const std::string suffix = "\u00b0). Check its pan and tilt range.";
  const std::string plausibility = "Check Values for device ";
  auto expectFindings = [&](const std::vector<std::string>& shown) {
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], cannotFollow);
    EXPECT_TRUE(shown[1].starts_with(prefix)) << shown[1];
    EXPECT_TRUE(shown[1].ends_with(suffix)) << shown[1];
    // One decimal: "N.N".
    const std::string angle =
        shown[1].substr(prefix.size(), shown[1].size() - prefix.size() - suffix.size());
    EXPECT_EQ(angle.size() - angle.find('.'), 2u) << angle;
  };
  const QString file = QString::fromStdString(path);

  // Linear: the plausibility check alone, which these marks fail.
  Click(Button("CmdEnableTB"));
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_TRUE(sink.shown[0].starts_with(plausibility)) << sink.shown[0];
  Click(Button("CmdEnableTB"));
  ASSERT_FALSE(Timer()->isActive());
  EXPECT_FALSE(QFile::exists(file));

  Click(Control<QRadioButton>(*form, "OptTrigo"));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    sink.shown.clear();
    Click(Button("CmdEnableTB"));
    // Told, and follow mode starts all the same.
    expectFindings(sink.shown);
    EXPECT_TRUE(Timer()->isActive());
    host->calls.clear();
    ASSERT_TRUE(WaitForCalls(2));
    QTest::qWait(250);
    // Never from the ticks; Stop checks again.
    sink.shown.clear();
    Click(Button("CmdEnableTB"));
    expectFindings(sink.shown);
    EXPECT_FALSE(Timer()->isActive());
    EXPECT_FALSE(QFile::exists(file));
  }

  // Device 2 retaken on the marks: the range message stays a warning, and
  // the calibration is saved.
  Install(rig, 2, Mountings()[0].head);
  sink.shown.clear();
  Click(Button("CmdEnableTB"));
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_TRUE(sink.shown[0].starts_with(prefix)) << sink.shown[0];
  EXPECT_TRUE(Timer()->isActive());
  ASSERT_TRUE(QFile::exists(file));
  RigStore back;
  read_config(back, path);
  EXPECT_EQ(back.PanCalibration, rig.PanCalibration);
  EXPECT_EQ(back.TiltCalibration, rig.TiltCalibration);
}

// Side heads fail the plausibility check at every press; with the method
// they need chosen, their calibration is kept.
TEST_F(MainWindowTest, SideHeadsAreSavedWithDistanceOrTrigonometricChosen) {
  Install(rig, 1, FrontMaster());
  Install(rig, 2, Mountings()[1].head);  // boom left, turned 90
  Install(rig, 3, Mountings()[3].head);  // boom right, on its negative tilt side
  Open();
  PickEntry(Masters(), 0);
  const QString file = QString::fromStdString(path);
  const struct {
    const char* option;
    bool saved;
  } choices[] = {{"OptLin", false}, {"OptDist", true}, {"OptTrigo", true}};
  for (const auto& choice : choices) {
    SCOPED_TRACE(choice.option);
    Click(Control<QRadioButton>(*form, choice.option));
    for (const char* press : {"Enable TB", "Stop TB"}) {
      SCOPED_TRACE(press);
      QFile::remove(file);
      sink.shown.clear();
      ASSERT_EQ(Button("CmdEnableTB")->text(), press);
      Click(Button("CmdEnableTB"));
      EXPECT_EQ(QFile::exists(file), choice.saved);
      EXPECT_EQ(sink.shown.empty(), choice.saved) << (sink.shown.empty() ? "" : sink.shown[0]);
    }
  }
}

// Channels no follow step can be right with are told once, at Enable, after
// the checks; follow mode starts all the same.
TEST_F(MainWindowTest, EnableNamesChannelsThatCannotBeRight) {
  for (int d = 1; d <= 3; ++d) Calibrate(d, d);
  rig.Device(1)->PanChannel = 0;
  rig.Device(3)->TiltChannel = rig.Device(2)->PanChannel;
  Open();
  PickEntry(Masters(), 1);
  Click(Button("CmdEnableTB"));
  EXPECT_EQ(sink.shown, std::vector<std::string>{
                            "Check the channels in the device setup: device 1 has pan channel 0; "
                            "devices 2 and 3 share channel 21."});
  EXPECT_TRUE(Timer()->isActive());
  sink.shown.clear();
  Click(Button("CmdEnableTB"));
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_FALSE(Timer()->isActive());
}

TEST_F(MainWindowTest, TrigonometricEnableNamesADeviceWhoseMarksCannotBeAStage) {
  Install(rig, 1, FrontMaster());
  Install(rig, 2, Mountings()[0].head);
  Install(rig, 3, Mountings()[2].head);
  rig.StageK1K3 = 6.0;
  Open();
  PickEntry(Masters(), 0);
  Click(Control<QRadioButton>(*form, "OptTrigo"));
  const std::string mirrored =
      "Device 3: its five points are not in the order of the marks on the stage, so TrailBeam "
      "follows the floor. Check its calibration.";
  const auto told = [&] { return std::count(sink.shown.begin(), sink.shown.end(), mirrored); };

  sink.shown.clear();
  Click(Button("CmdEnableTB"));
  EXPECT_EQ(told(), 0);
  for (const std::string& shown : sink.shown)
    EXPECT_EQ(shown.find("follows the floor"), std::string::npos) << shown;
  Click(Button("CmdEnableTB"));
  ASSERT_FALSE(Timer()->isActive());

  // K2 and K4 taken in each other's place.
  std::swap(*rig.Pan(3, 2), *rig.Pan(3, 4));
  std::swap(*rig.Tilt(3, 2), *rig.Tilt(3, 4));
  sink.shown.clear();
  Click(Button("CmdEnableTB"));
  EXPECT_EQ(told(), 1);
  EXPECT_TRUE(Timer()->isActive());
}

TEST_F(MainWindowTest, ClosingUnloadsAndTheNextShowLoadsAfresh) {
  Calibrate(1, 0);
  rig.Device(1)->PanFineChannel = 15;  // the boxes get their 16-bit tooltips
  Open();
  PickEntry(Devices(), 0);
  PickEntry(Masters(), 0);
  Click(Box(3));
  Click(Button("CmdEnableTB"));
  ASSERT_TRUE(Timer()->isActive());

  form->close();
  EXPECT_FALSE(Timer()->isActive());
  form->show();
  EXPECT_EQ(Devices()->count(), 3);  // filled once, not twice
  EXPECT_EQ(Masters()->currentText(), "Select Master");
  EXPECT_EQ(Button("CmdEnableTB")->text(), "Enable TB");
  EXPECT_EQ(Box(3)->text(), "K4");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Box(i)->toolTip().toStdString(), "") << i;
  EXPECT_EQ(rig.SelectedDevice, 0);
  EXPECT_EQ(rig.MasterDevice, 1);
  EXPECT_EQ(form->ActivePoint(), 3);
  // The kept master still starts follow mode.
  Click(Button("CmdEnableTB"));
  EXPECT_TRUE(Timer()->isActive());
}

// The height box is offered only where the trigonometric method can use
// it: with a measured K1-K3 length, and no height channel setting it.
TEST_F(MainWindowTest, HeightBoxIsOfferedOnlyWithAK1K3LengthAndNoHeightChannel) {
  struct Case {
    const char* name;
    double k1k3, k1k2;
    std::int32_t channel;
    bool enabled;
    const char* toolTip;
  };
  const Case cases[] = {
      {"no lengths", 0, 0, 0, false, ui::kHeightNeedsStage},
      {"only K1-K2", 0, 6.0, 0, false, ui::kHeightNeedsStage},
      {"K1-K3", 8.0, 0, 0, true, ui::kHeightToolTip},
      {"K1-K3 and a channel", 8.0, 6.0, 17, false, "The follow height comes from channel 17."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig.StageK1K3 = c.k1k3;
    rig.StageK1K2 = c.k1k2;
    rig.HeightChannel = c.channel;
    Open();
    QLineEdit* height = Control<QLineEdit>(*form, "TxtHeight");
    ASSERT_NE(height, nullptr);
    EXPECT_EQ(height->isEnabled(), c.enabled);
    EXPECT_EQ(height->toolTip().toStdString(), c.toolTip);
    EXPECT_EQ(height->text().toStdString(), "0.00");
  }
}

// Typed while following, the height is the next tick's; a text outside
// 0.00 to 3.00 m is told and the box shows the height in use again.
TEST_F(MainWindowTest, HeightTypedWhileFollowingIsTakenOnEnterOrLeavingTheBox) {
  Calibrate(1, 0);
  Calibrate(2, 5);
  rig.StageK1K3 = 8.0;
  Open();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  PickEntry(Masters(), 0);
  Click(Button("CmdEnableTB"));
  ASSERT_TRUE(Timer()->isActive());
  sink.shown.clear();

  QLineEdit* height = Control<QLineEdit>(*form, "TxtHeight");
  ASSERT_NE(height, nullptr);
  struct Step {
    const char* typed;
    Qt::Key confirm;
    double height;  // in use afterwards
    const char* shown;
    bool refused;
  };
  const Step steps[] = {
      {"1.5", Qt::Key_Return, 1.5, "1.50", false},    {"2,25", Qt::Key_Tab, 2.25, "2.25", false},
      {"3.01", Qt::Key_Return, 2.25, "2.25", true},   {"-1", Qt::Key_Return, 2.25, "2.25", true},
      {"abc", Qt::Key_Tab, 2.25, "2.25", true},       {"0.005", Qt::Key_Return, 2.25, "2.25", true},
      {"3", Qt::Key_Enter, 3.0, "3.00", false},       {"", Qt::Key_Return, 0.0, "0.00", false},
      {" .75 ", Qt::Key_Return, 0.75, "0.75", false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string("\"") + step.typed + "\"");
    sink.shown.clear();
    const double before = rig.FollowHeight;
    QTest::mouseClick(height, Qt::LeftButton, {}, height->rect().center());
    ASSERT_TRUE(height->hasFocus());
    QTest::keyClick(height, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(height, Qt::Key_Delete);
    QTest::keyClicks(height, step.typed);
    EXPECT_DOUBLE_EQ(rig.FollowHeight, before);  // typing alone takes nothing
    QTest::keyClick(height, step.confirm);
    EXPECT_DOUBLE_EQ(rig.FollowHeight, step.height);
    EXPECT_EQ(height->text().toStdString(), step.shown);
    if (step.refused) {
      EXPECT_EQ(sink.shown, std::vector<std::string>{ui::kHeightRefused});
    } else {
      EXPECT_TRUE(sink.shown.empty());
    }
    EXPECT_TRUE(Timer()->isActive());
  }

  // Like the method, the height is run state: loading starts on the floor.
  form->close();
  form->show();
  EXPECT_DOUBLE_EQ(rig.FollowHeight, 0.0);
  EXPECT_EQ(height->text().toStdString(), "0.00");
  RigStore back;
  read_config(back, path);
  EXPECT_DOUBLE_EQ(back.FollowHeight, 0.0);
}

// The device setup window is modal over the main window: what its OK
// stores decides, as soon as it closes, whether the height is offered.
TEST_F(MainWindowTest, DeviceSetupChangesWhetherTheHeightIsOffered) {
  ui::ComponentWindows windows({rig, sink, path});
  windows.Main().show();
  QLineEdit* height = Control<QLineEdit>(windows.Main(), "TxtHeight");
  ASSERT_NE(height, nullptr);
  ASSERT_FALSE(height->isEnabled());
  for (const char* typed : {"8", "", "12.5"}) {
    SCOPED_TRACE(std::string("K1-K3 \"") + typed + "\"");
    QTimer::singleShot(0, [&] {
      ui::frmTBConfig& config = windows.Config();
      auto* field = Control<QLineEdit>(config, "txtK1K3");
      if (field == nullptr) return;
      QTest::mouseClick(field, Qt::LeftButton, {}, field->rect().center());
      QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClick(field, Qt::Key_Delete);
      QTest::keyClicks(field, typed);
      Click(Control<QPushButton>(config, "cmdOK"));
    });
    windows.Configure();
    EXPECT_FALSE(windows.Config().isVisible());
    EXPECT_EQ(height->isEnabled(), *typed != 0);
  }
  windows.DeleteWindows();
}

// The rate typed in the device setup sets the follow timer's interval at
// Enable TB; one changed while following waits for the next Enable TB.
TEST_F(MainWindowTest, FollowRateFromTheDeviceSetupSetsTheTimerAtEnable) {
  for (int d = 1; d <= 3; ++d) Calibrate(d, d);
  ui::ComponentWindows windows({rig, sink, path});
  windows.Main().show();
  auto* timer = windows.Main().findChild<QTimer*>("TimerDMX");
  auto* enable = Control<QPushButton>(windows.Main(), "CmdEnableTB");
  ASSERT_NE(timer, nullptr);
  ASSERT_NE(enable, nullptr);
  PickEntry(Control<QComboBox>(windows.Main(), "ComboMaster"), 0);
  const auto typeRate = [&](const char* typed) {
    QTimer::singleShot(0, [&windows, typed] {
      auto* field = Control<QLineEdit>(windows.Config(), "txtFollowRate");
      if (field == nullptr) return;
      QTest::mouseClick(field, Qt::LeftButton, {}, field->rect().center());
      QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClick(field, Qt::Key_Delete);
      QTest::keyClicks(field, typed);
      Click(Control<QPushButton>(windows.Config(), "cmdOK"));
    });
    windows.Configure();
  };
  const struct {
    const char* typed;
    int interval;
  } cases[] = {{"20", 50}, {"25", 40}, {"40", 25}, {"10", 100}, {"", 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("rate \"") + c.typed + "\"");
    typeRate(c.typed);
    ASSERT_FALSE(windows.Config().isVisible());
    Click(enable);
    ASSERT_EQ(enable->text(), "Stop TB");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), c.interval);
    EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);
    Click(enable);
    EXPECT_FALSE(timer->isActive());
  }

  // Changed while following: the running timer keeps its pace.
  Click(enable);
  ASSERT_EQ(timer->interval(), 100);
  typeRate("40");
  EXPECT_EQ(rig.FollowRate, 40);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 100);
  Click(enable);
  Click(enable);
  EXPECT_EQ(timer->interval(), 25);
  EXPECT_TRUE(sink.shown.empty());
  windows.DeleteWindows();
}

TEST_F(MainWindowTest, HelpOpensOneWindowAndBringsItForward) {
  Open();
  Click(Button("CmdHelp"));
  ui::frmAbout* first = ui::frmAbout::Open();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->isVisible());
  first->hide();
  Click(Button("CmdHelp"));
  EXPECT_EQ(ui::frmAbout::Open(), first);
  EXPECT_TRUE(first->isVisible());
  EXPECT_EQ(form->findChildren<ui::frmAbout*>().size(), 1);
}

}  // namespace
}  // namespace tb::testing

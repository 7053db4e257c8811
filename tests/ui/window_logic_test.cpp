// The windows' behaviour and layout tables on their own, without any
// toolkit: what every toolkit's windows rely on, and what a toolkit may do
// that Qt's widgets never do.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/temp_dir.h"
#include "rig/settings_file.h"
#include "ui/about_window_layout.h"
#include "ui/main_window_layout.h"
#include "ui/main_window_logic.h"
#include "ui/setup_window_layout.h"
#include "ui/setup_window_logic.h"

namespace tb::testing {
namespace {

class Sink final : public MessageSink {
 public:
  std::vector<std::string> shown;
  void Show(const std::string& text) override { shown.push_back(text); }
};

// Builders look a control's frame up by name, so the frame comes first;
// keyboard order and names must be unambiguous.
TEST(WindowLayouts, NamesTabsAndFramesAreUnambiguous) {
  for (const ui::WindowLayout* window :
       {&ui::MainWindowLayout(), &ui::SetupWindowLayout(), &ui::AboutWindowLayout()}) {
    SCOPED_TRACE(window->name);
    std::set<std::string> names;
    std::set<std::string> frames;
    std::set<int> tabs;
    for (const ui::ControlLayout& c : window->controls) {
      const std::string name = ui::ControlName(c);
      EXPECT_TRUE(names.insert(name).second) << name;
      if (c.tab >= 0) {
        EXPECT_TRUE(tabs.insert(c.tab).second) << name;
      }
      if (c.parent != nullptr) {
        EXPECT_TRUE(frames.count(c.parent)) << name;
      }
      if (c.kind == ui::ControlKind::Frame) frames.insert(c.name);
      if (c.kind == ui::ControlKind::Timer) {
        EXPECT_GT(c.interval, 0) << name;
      } else {
        EXPECT_GT(c.width, 0) << name;
        EXPECT_GT(c.height, 0) << name;
      }
    }
    for (const ui::LineLayout& line : window->lines)
      EXPECT_TRUE(names.insert(line.name + ("_" + std::to_string(line.index))).second);
  }
  EXPECT_EQ(ui::ControlName({.name = "TxtCalibr", .kind = ui::ControlKind::TextBox, .index = 3}),
            "TxtCalibr_3");
}

class FakeWindow final : public ui::WindowControl {
 public:
  std::string caption;
  int closed = 0;
  void SetCaption(const std::string& text) override { caption = text; }
  void Close() override { ++closed; }
};

class FakeLabel final : public ui::LabelControl {
 public:
  std::string text;
  void SetText(const std::string& t) override { text = t; }
};

// A list whose rows can be fewer than the window added, and whose current
// cell can lie anywhere.
class FakeEdit final : public ui::EditControl {
 public:
  std::string text, toolTip;
  bool enabled = true;
  std::string Text() const override { return text; }
  void SetText(const std::string& t) override { text = t; }
  void SetEnabled(bool e) override { enabled = e; }
  bool Enabled() const override { return enabled; }
  void SetToolTip(const std::string& t) override { toolTip = t; }
};

class FakeList final : public ui::ListControl {
 public:
  std::vector<std::vector<std::string>> rows;
  int columns = 0;
  int maxRows = kDeviceCount;
  int currentRow = 0;
  int currentColumn = 0;
  std::vector<std::string> edits;
  void AddColumn(const std::string&, double) override { ++columns; }
  void AddRow(const std::string&, const std::string& text) override {
    if (static_cast<int>(rows.size()) >= maxRows) return;
    rows.emplace_back(columns, "");
    if (columns > 0) rows.back()[0] = text;
  }
  int RowCount() const override { return static_cast<int>(rows.size()); }
  bool Inside(int row, int column) const {
    return row >= 1 && row <= RowCount() && column >= 0 && column < columns;
  }
  std::string Cell(int row, int column) const override {
    return Inside(row, column) ? rows[row - 1][column] : std::string();
  }
  void SetCell(int row, int column, const std::string& text) override {
    if (Inside(row, column)) rows[row - 1][column] = text;
  }
  int CurrentCellRow() const override { return currentRow; }
  int CurrentCellColumn() const override { return currentColumn; }
  void BeginEdit(const std::string& text) override { edits.push_back(text); }
  void CancelEdit() override {}
  void Clear() override {
    rows.clear();
    columns = 0;
  }
  void Focus() override {}
};

class SetupLogicTest : public ::testing::Test {
 protected:
  TempDir dir;
  RigStore rig;
  Sink sink;
  FakeWindow window;
  FakeLabel label;
  FakeList list;
  FakeEdit k1k3, k1k2, heightChannel, followRate;
  ui::SetupWindowLogic logic{{rig, sink, dir.File("TrailBeam.ini")},
                             {window, label, list, k1k3, k1k2, heightChannel, followRate}};
};

// A current cell outside the list (no row yet, or a column the list does
// not have) opens no editor and writes nothing.
TEST_F(SetupLogicTest, CurrentCellOutsideTheListIsLeftAlone) {
  logic.Form_Load();
  const auto before = list.rows;
  struct Case {
    int row, column;
  } cases[] = {{0, 0}, {-1, 1}, {kDeviceCount + 1, 1}, {2, -1}, {2, 99}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.row) + "," + std::to_string(c.column));
    list.currentRow = c.row;
    list.currentColumn = c.column;
    list.edits.clear();
    logic.lvConf_ItemMouseEvent(1, 1);
    logic.lvConf_EditEnd("", "12");
    EXPECT_EQ(list.rows, before);
    EXPECT_TRUE(sink.shown.empty());
    // A row that exists opens an editor, with the empty text for a column
    // it lacks.
    EXPECT_EQ(list.edits.size(), c.row >= 1 && c.row <= kDeviceCount ? 1u : 0u);
  }
}

// A list that kept fewer rows than the sixteen added: OK copies the rows it
// has, leaves the other devices as they were, saves and closes.
TEST_F(SetupLogicTest, OKCopiesOnlyTheRowsTheListHas) {
  rig.Device(3)->Name = "Kept";
  rig.Device(3)->PanChannel = 33;
  ASSERT_FALSE(save_config(rig, dir.File("TrailBeam.ini")));
  list.maxRows = 2;
  logic.Form_Load();
  ASSERT_EQ(list.RowCount(), 2);
  list.rows[1][1] = "17";
  logic.cmdOK_Click();
  EXPECT_EQ(rig.Device(1)->Name, "Device1");
  EXPECT_EQ(rig.Device(2)->PanChannel, 17);
  EXPECT_EQ(rig.Device(3)->Name, "Kept");
  EXPECT_EQ(rig.Device(3)->PanChannel, 33);
  EXPECT_EQ(window.closed, 1);
}

class FakeCombo final : public ui::ComboControl {
 public:
  std::vector<std::string> entries;
  std::string text;
  void Clear() override { entries.clear(); }
  void Add(const std::string& entry) override { entries.push_back(entry); }
  void Deselect(const std::string& t) override { text = t; }
};

class FakeBox final : public ui::TextBoxControl {
 public:
  std::string text, toolTip;
  ui::Colour colour = ui::kDefaultColour;
  std::string Text() const override { return text; }
  void SetText(const std::string& t) override { text = t; }
  void SetBackColour(ui::Colour c) override { colour = c; }
  std::string ToolTip() const override { return toolTip; }
  void SetToolTip(const std::string& t) override { toolTip = t; }
  void ResetColours() override { colour = ui::kDefaultColour; }
};

class FakeButton final : public ui::ButtonControl {
 public:
  std::string caption;
  std::string Caption() const override { return caption; }
  void SetCaption(const std::string& t) override { caption = t; }
  void Focus() override {}
};

class FakeOption final : public ui::OptionControl {
 public:
  void Select() override {}
};

class FakeTimer final : public ui::TimerControl {
 public:
  bool running = false;
  void SetInterval(int) override {}
  void Start() override { running = true; }
  void Stop() override { running = false; }
  bool Running() const override { return running; }
};

// A toolkit may report a list's own change of selection, or a position
// past the devices, as a pick: neither chooses a device or a master.
TEST(MainLogic, PositionsThatNameNoDeviceAreNoPick) {
  TempDir dir;
  RigStore rig;
  Sink sink;
  FakeCombo devices, masters;
  std::array<FakeBox, kPointCount> boxes;
  FakeButton enable;
  FakeOption linear;
  FakeEdit height;
  FakeTimer timer;
  ui::MainWindowLogic logic({rig, sink, dir.File("TrailBeam.ini")},
                            {devices,
                             masters,
                             {&boxes[0], &boxes[1], &boxes[2], &boxes[3], &boxes[4]},
                             enable,
                             linear,
                             height,
                             timer,
                             {}});
  for (int d = 1; d <= kDeviceCount; ++d) rig.Device(d)->Name = "D" + std::to_string(d);
  logic.Load();
  logic.ComboDeviceList_Click(1);
  ASSERT_EQ(rig.SelectedDevice, 2);
  rig.MasterDevice = 3;
  for (int position : {-1, kDeviceCount, 1000}) {
    SCOPED_TRACE(position);
    logic.ComboDeviceList_Click(position);
    logic.ComboMaster_Click(position);
    EXPECT_EQ(rig.SelectedDevice, 2);
    EXPECT_EQ(rig.MasterDevice, 3);
    EXPECT_TRUE(sink.shown.empty());
  }
  logic.CmdHelp_Click();  // no help window offered: nothing happens, no throw
}

}  // namespace
}  // namespace tb::testing

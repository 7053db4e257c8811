// The platform's controls adapted to the views the windows' behaviour
// works on. Each holds the handle of one control of a FormWindow.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/controls.h"

namespace tb::ui::win32 {

class ExtLV;
class FormWindow;
class Timer;

class NativeWindow final : public WindowControl {
 public:
  NativeWindow(HWND window, std::function<void()> close)
      : window_(window), close_(std::move(close)) {}
  void SetCaption(const std::string& text) override;
  void Close() override { close_(); }

 private:
  HWND window_;
  std::function<void()> close_;
};

class NativeLabel final : public LabelControl {
 public:
  explicit NativeLabel(HWND label) : label_(label) {}
  void SetText(const std::string& text) override;

 private:
  HWND label_;
};

class NativeCombo final : public ComboControl {
 public:
  explicit NativeCombo(HWND combo) : combo_(combo) {}
  void Clear() override;
  void Add(const std::string& entry) override;
  void Deselect(const std::string& text) override;

 private:
  HWND combo_;
};

class NativeTextBox final : public TextBoxControl {
 public:
  NativeTextBox(FormWindow& window, HWND box) : window_(window), box_(box) {}
  std::string Text() const override;
  void SetText(const std::string& text) override;
  void SetBackColour(Colour colour) override;
  std::string ToolTip() const override;
  void SetToolTip(const std::string& text) override;
  void ResetColours() override;

 private:
  FormWindow& window_;
  HWND box_;
};

class NativeEdit final : public EditControl {
 public:
  NativeEdit(FormWindow& window, HWND edit) : window_(window), edit_(edit) {}
  std::string Text() const override;
  void SetText(const std::string& text) override;
  void SetEnabled(bool enabled) override;
  bool Enabled() const override;
  void SetToolTip(const std::string& text) override;

 private:
  FormWindow& window_;
  HWND edit_;
};

class NativeButton final : public ButtonControl {
 public:
  NativeButton(FormWindow& window, HWND button) : window_(window), button_(button) {}
  std::string Caption() const override;
  void SetCaption(const std::string& text) override;
  void Focus() override;

 private:
  FormWindow& window_;
  HWND button_;
};

// One option of its group (the options of one frame).
class NativeOption final : public OptionControl {
 public:
  NativeOption(HWND option, std::vector<HWND> group) : option_(option), group_(std::move(group)) {}
  void Select() override;

 private:
  HWND option_;
  std::vector<HWND> group_;
};

class NativeTimer final : public TimerControl {
 public:
  explicit NativeTimer(Timer& timer) : timer_(timer) {}
  void SetInterval(int milliseconds) override;
  void Start() override;
  void Stop() override;
  bool Running() const override;

 private:
  Timer& timer_;
};

class NativeList final : public ListControl {
 public:
  NativeList(FormWindow& window, ExtLV& list) : window_(window), list_(list) {}
  void AddColumn(const std::string& header, double widthTwips) override;
  void AddRow(const std::string& key, const std::string& text) override;
  int RowCount() const override;
  std::string Cell(int row, int column) const override;
  void SetCell(int row, int column, const std::string& text) override;
  int CurrentCellRow() const override;
  int CurrentCellColumn() const override;
  void BeginEdit(const std::string& text) override;
  void CancelEdit() override;
  void Clear() override;
  void Focus() override;

 private:
  FormWindow& window_;
  ExtLV& list_;
};

}  // namespace tb::ui::win32

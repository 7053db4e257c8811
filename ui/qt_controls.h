// Qt's widgets as the controls the windows' behaviour works on.
#pragma once

#include <QColor>
#include <functional>

#include "ui/controls.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;
class QWidget;

namespace tb::platform {
class ExtLV;
}

namespace tb::ui {

QColor PlatformColor(Colour bbggrr);

class QtWindow final : public WindowControl {
 public:
  // close: how the window's own buttons close it.
  QtWindow(QWidget* window, std::function<void()> close)
      : window_(window), close_(std::move(close)) {}
  void SetCaption(const std::string& text) override;
  void Close() override { close_(); }

 private:
  QWidget* window_;
  std::function<void()> close_;
};

class QtCombo final : public ComboControl {
 public:
  explicit QtCombo(QComboBox* combo) : combo_(combo) {}
  void Clear() override;
  void Add(const std::string& entry) override;
  void Deselect(const std::string& text) override;

 private:
  QComboBox* combo_;
};

class QtLabel final : public LabelControl {
 public:
  explicit QtLabel(QLabel* label) : label_(label) {}
  void SetText(const std::string& text) override;

 private:
  QLabel* label_;
};

class QtTextBox final : public TextBoxControl {
 public:
  explicit QtTextBox(QLineEdit* box) : box_(box) {}
  std::string Text() const override;
  void SetText(const std::string& text) override;
  void SetBackColour(Colour colour) override;
  std::string ToolTip() const override;
  void SetToolTip(const std::string& text) override;
  void ResetColours() override;

 private:
  QLineEdit* box_;
};

class QtEdit final : public EditControl {
 public:
  explicit QtEdit(QLineEdit* edit) : edit_(edit) {}
  std::string Text() const override;
  void SetText(const std::string& text) override;
  void SetEnabled(bool enabled) override;
  bool Enabled() const override;
  void SetToolTip(const std::string& text) override;

 private:
  QLineEdit* edit_;
};

class QtButton final : public ButtonControl {
 public:
  explicit QtButton(QAbstractButton* button) : button_(button) {}
  std::string Caption() const override;
  void SetCaption(const std::string& text) override;
  void Focus() override;

 private:
  QAbstractButton* button_;
};

class QtOption final : public OptionControl {
 public:
  explicit QtOption(QAbstractButton* option) : option_(option) {}
  void Select() override;

 private:
  QAbstractButton* option_;
};

class QtTimer final : public TimerControl {
 public:
  explicit QtTimer(QTimer* timer) : timer_(timer) {}
  void SetInterval(int milliseconds) override;
  void Start() override;
  void Stop() override;
  bool Running() const override;

 private:
  QTimer* timer_;
  int interval_ = 0;  // 0: the layout's
};

class QtList final : public ListControl {
 public:
  explicit QtList(platform::ExtLV* list) : list_(list) {}
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
  platform::ExtLV* list_;
};

}  // namespace tb::ui

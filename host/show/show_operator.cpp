#include "host/show/show_operator.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "host/interactive/plugin_windows.h"
#include "host/session/operator_input.h"
#include "host/session/plugin_session.h"
#include "orvn/comrt.h"

namespace tbhost {

// For one step: reads and confirms the plug-in's message boxes while the
// step runs, and hands on the new ones when it ends.
class ShowOperator::Watch {
 public:
  explicit Watch(ShowOperator& op) : op_(op), watcher_(op.messages_) {}
  ~Watch() {
    while (op_.told_ < op_.messages_.size()) op_.pluginSays_(op_.messages_[op_.told_++]);
  }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

 private:
  ShowOperator& op_;
  MessageBoxWatcher watcher_;
};

ShowOperator::ShowOperator(PluginSession& session, Listener pluginSays)
    : session_(session), pluginSays_(std::move(pluginSays)) {}

bool ShowOperator::Fail(const QString& why) {
  failure_ = why;
  return false;
}

bool ShowOperator::SetUpDevices(const DevicesCheck& keep) {
  Watch watch(*this);
  failure_.clear();
  bool confirmed = false;
  // Configure blocks in the setup window's modal loop: the operator works
  // from inside it. The guard drops the work should the window never open.
  QObject guard;
  QTimer::singleShot(0, &guard, [&] {
    auto* dialog = WaitFor<QWidget>([] {
      QWidget* w = QApplication::activeModalWidget();
      return w != nullptr && w->objectName() == "frmTBConfig" ? w : nullptr;
    });
    if (dialog == nullptr) {
      Fail("the device setup window did not open");
      return;
    }
    std::vector<ListedDevice> rows;
    QPushButton* ok = Button(dialog, "cmdOK");
    if (ok == nullptr) Fail("the device setup window has no cmdOK button");
    if (ok == nullptr || !ReadDevices(dialog, rows)) {
      dialog->close();
      return;
    }
    if (const std::string why = keep(rows); !why.empty()) {
      Fail(QString::fromStdString(why));
      dialog->close();  // as it was: nothing taken, nothing saved
      return;
    }
    if (heightChannel_ != 0 && !TypeInto(dialog->findChild<QLineEdit*>("txtHeightChannel"),
                                         QString::number(heightChannel_))) {
      Fail("the device setup window has no txtHeightChannel field");
      dialog->close();
      return;
    }
    QTest::mouseClick(ok, Qt::LeftButton);
    Settle();
    // A failed save keeps the window open, after its message.
    if (dialog->isVisible()) {
      Fail("the device setup window did not close on OK");
      dialog->close();
      return;
    }
    confirmed = true;
  });
  if (orvn::FAILED(session_.Configure())) return Fail(QString::fromStdString(session_.LastError()));
  if (!confirmed && failure_.isEmpty()) return Fail("the device setup was not finished");
  return confirmed;
}

bool ShowOperator::ReadDevices(QWidget* dialog, std::vector<ListedDevice>& rows) {
  auto* list = dialog->findChild<QAbstractItemView*>("lvConf");
  if (list == nullptr || list->model() == nullptr)
    return Fail("the device setup window has no lvConf list");
  int columns[3] = {};
  const char* const headers[3] = {"Gerät", "Pan Channel", "Tilt Channel"};
  for (int i = 0; i < 3; ++i) {
    columns[i] = ColumnWithHeader(list, QString::fromUtf8(headers[i]));
    if (columns[i] < 0)
      return Fail(
          QString("the device list has no column \"%1\"").arg(QString::fromUtf8(headers[i])));
  }
  const QAbstractItemModel* model = list->model();
  auto cell = [model](int row, int column) {
    return model->data(model->index(row, column)).toString().toStdString();
  };
  rows.clear();
  for (int r = 0; r < model->rowCount(); ++r)
    rows.push_back({cell(r, columns[0]), cell(r, columns[1]), cell(r, columns[2])});
  return true;
}

bool ShowOperator::OpenMainWindow() {
  Watch watch(*this);
  void* widget = nullptr;
  if (orvn::FAILED(session_.ShowMainForm(&widget)))
    return Fail(QString::fromStdString(session_.LastError()));
  if (widget == nullptr) return Fail("the plug-in hands out no main window to drive");
  main_ = static_cast<QWidget*>(widget);
  main_->show();
  Settle();
  return true;
}

bool ShowOperator::PickMaster(int entry, const QString& name) {
  Watch watch(*this);
  auto* masters = main_ != nullptr ? main_->findChild<QComboBox*>("ComboMaster") : nullptr;
  if (masters == nullptr) return Fail("the main window has no ComboMaster");
  if (entry < 0 || entry >= masters->count() || masters->itemText(entry) != name)
    return Fail(
        QString("the master list has no entry \"%1\" at place %2").arg(name).arg(entry + 1));
  const qsizetype before = messages_.size();
  const bool picked = PickEntry(masters, entry);
  Settle();
  if (messages_.size() != before) return Fail("the plug-in did not accept the master");
  if (!picked) return Fail(QString("could not pick \"%1\" in the master list").arg(name));
  return true;
}

bool ShowOperator::PickMethod(FollowChoice method) {
  Watch watch(*this);
  const QString name = QString::fromLatin1(MethodOption(method));
  auto* option = main_ != nullptr ? main_->findChild<QAbstractButton*>(name) : nullptr;
  if (option == nullptr) return Fail("the main window has no " + name);
  const qsizetype before = messages_.size();
  QTest::mouseClick(option, Qt::LeftButton);
  Settle();
  if (messages_.size() != before) return Fail("the plug-in did not take the method");
  if (!option->isChecked()) return Fail(name + " was not selected by the click");
  return true;
}

bool ShowOperator::SetHeight(double metres) {
  Watch watch(*this);
  auto* box = main_ != nullptr ? main_->findChild<QLineEdit*>("TxtHeight") : nullptr;
  if (box == nullptr) return Fail("the main window has no TxtHeight");
  if (!box->isEnabled()) return Fail("the main window offers no follow height: " + box->toolTip());
  const qsizetype before = messages_.size();
  const QString text = QString::number(metres, 'f', 2);
  TypeInto(box, text);
  QTest::keyClick(box, Qt::Key_Return);
  Settle();
  if (messages_.size() != before || box->text() != text)
    return Fail("the plug-in did not take the height " + text);
  return true;
}

bool ShowOperator::PressEnableStop(FollowState wanted) {
  Watch watch(*this);
  QPushButton* button = main_ != nullptr ? Button(main_, "CmdEnableTB") : nullptr;
  if (button == nullptr) return Fail("the main window has no CmdEnableTB");
  QTest::mouseClick(button, Qt::LeftButton);
  Settle();
  if (FollowStateOf(main_) == wanted) return true;
  return Fail(QString("follow mode did not %1 (the button reads \"%2\")")
                  .arg(wanted == FollowState::Running ? "start" : "stop", button->text()));
}

bool ShowOperator::Enable() { return PressEnableStop(FollowState::Running); }

bool ShowOperator::Following() const { return FollowStateOf(main_) == FollowState::Running; }

bool ShowOperator::Stop() {
  if (FollowStateOf(main_) == FollowState::Off) return true;
  return PressEnableStop(FollowState::Off);
}

}  // namespace tbhost

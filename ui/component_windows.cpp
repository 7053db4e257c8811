#include "ui/component_windows.h"

#include <QApplication>
#include <set>

#include "ui/form_tb_main.h"
#include "ui/frm_tb_config.h"

namespace tb::ui {

namespace {

std::set<ComponentWindows*>& Live() {
  static std::set<ComponentWindows*> live;
  return live;
}
bool routineRegistered = false;

// Runs from the QApplication's destructor, while widgets can still be
// deleted cleanly. Post routines run once per application object.
void DeleteAllWindows() {
  routineRegistered = false;
  for (ComponentWindows* windows : Live()) windows->DeleteWindows();
}

}  // namespace

ComponentWindows::ComponentWindows(WindowContext context) : ctx_(std::move(context)) {
  Live().insert(this);
}

ComponentWindows::~ComponentWindows() {
  Live().erase(this);
  DeleteWindows();
}

bool ComponentWindows::CanCreateWindows() {
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
         !QCoreApplication::closingDown();
}

void ComponentWindows::WatchApplicationEnd() {
  if (routineRegistered) return;
  routineRegistered = true;
  qAddPostRoutine(DeleteAllWindows);
}

FormTBMain& ComponentWindows::Main() {
  if (main_ == nullptr) {
    WatchApplicationEnd();
    main_ = new FormTBMain(ctx_);
  }
  return *main_;
}

frmTBConfig& ComponentWindows::Config() {
  if (config_ == nullptr) {
    WatchApplicationEnd();
    config_ = new frmTBConfig(ctx_);
  }
  return *config_;
}

void ComponentWindows::Configure() {
  Config().readTBConfiguration();
  if (main_ != nullptr) main_->RefreshHeightBox();
}

void ComponentWindows::DeleteWindows() {
  delete main_.data();
  delete config_.data();
}

}  // namespace tb::ui

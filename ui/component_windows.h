// The windows of one loaded component: one main window and one setup
// window, each created on first use and kept. The component never owns the
// QApplication; when the host's application ends, the windows are deleted
// before it is gone (windows that outlive it would crash when freed later).
#pragma once

#include <QPointer>

#include "ui/window_context.h"

namespace tb::ui {

class FormTBMain;
class frmTBConfig;

class ComponentWindows {
 public:
  explicit ComponentWindows(WindowContext context);
  ~ComponentWindows();
  ComponentWindows(const ComponentWindows&) = delete;
  ComponentWindows& operator=(const ComponentWindows&) = delete;

  // Both need a running QApplication.
  FormTBMain& Main();
  frmTBConfig& Config();
  // The device setup window, modal; afterwards the main window offers the
  // follow height as the stage now allows.
  void Configure();

  FormTBMain* ExistingMain() const { return main_; }
  frmTBConfig* ExistingConfig() const { return config_; }

  // Whether any window of this component exists (the help window is a
  // child of the main window).
  bool Alive() const { return main_ != nullptr || config_ != nullptr; }

  // Deletes every window now.
  void DeleteWindows();

  // Whether widgets can be made now: a QApplication exists and is not
  // shutting down.
  static bool CanCreateWindows();

 private:
  void WatchApplicationEnd();

  WindowContext ctx_;
  QPointer<FormTBMain> main_;
  QPointer<frmTBConfig> config_;
};

}  // namespace tb::ui

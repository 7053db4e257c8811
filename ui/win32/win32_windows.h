// The windows of one loaded component on native controls: one main window
// and one setup window, each created on first use and kept, and the help
// window while it is open. Everything runs on the thread that made this
// object, the host's user-interface thread.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "follow/follow.h"
#include "ui/window_context.h"

namespace tb::ui::win32 {

class AboutWindow;
class MainWindow;
class SetupWindow;

class ComponentWindows {
 public:
  ComponentWindows(tb::ui::WindowContext context, HINSTANCE module);
  ~ComponentWindows();
  ComponentWindows(const ComponentWindows&) = delete;
  ComponentWindows& operator=(const ComponentWindows&) = delete;

  // Created on first use, hidden; loaded when first shown.
  HWND MainWindow();
  void ShowMain();
  void HideMain();
  bool MainVisible() const;
  std::u16string MainCaption() const;

  // The setup window, modal; returns when it has closed.
  void ShowConfigModal();
  // Opens the help window or brings the open one forward.
  void ShowHelp();

  // Whether any window of the component exists.
  bool Alive() const;
  void DeleteWindows();

  // For tests: the windows as they are now, or null.
  win32::MainWindow* ExistingMain() const { return main_.get(); }
  SetupWindow* ExistingSetup() const { return setup_.get(); }
  AboutWindow* ExistingHelp() const;

 private:
  win32::MainWindow& Main();

  tb::ui::WindowContext context_;
  HINSTANCE module_;
  std::unique_ptr<win32::MainWindow> main_;
  std::unique_ptr<SetupWindow> setup_;
  std::unique_ptr<AboutWindow> help_;
};

// MessageBoxW, only OK, caption ORVN_TB_plugin2.
tb::MessageSink& MessageBoxSink();

}  // namespace tb::ui::win32

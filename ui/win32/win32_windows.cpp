#include "ui/win32/win32_windows.h"

#include "ui/win32/about_window.h"
#include "ui/win32/main_window.h"
#include "ui/win32/setup_window.h"
#include "ui/win32/window.h"

namespace tb::ui::win32 {

ComponentWindows::ComponentWindows(tb::ui::WindowContext context, HINSTANCE module)
    : context_(std::move(context)), module_(module) {}

ComponentWindows::~ComponentWindows() { DeleteWindows(); }

win32::MainWindow& ComponentWindows::Main() {
  if (main_ == nullptr)
    main_ = std::make_unique<win32::MainWindow>(context_, module_, [this] { ShowHelp(); });
  return *main_;
}

HWND ComponentWindows::MainWindow() { return Main().Handle(); }
void ComponentWindows::ShowMain() { Main().Show(); }

void ComponentWindows::HideMain() {
  if (main_ != nullptr) main_->Hide();
}

bool ComponentWindows::MainVisible() const {
  return main_ != nullptr && main_->Handle() != nullptr && IsWindowVisible(main_->Handle());
}

std::u16string ComponentWindows::MainCaption() const {
  if (main_ == nullptr || main_->Handle() == nullptr) return {};
  const std::wstring caption = WindowText(main_->Handle());
  return std::u16string(caption.begin(), caption.end());
}

void ComponentWindows::ShowConfigModal() {
  if (setup_ == nullptr) setup_ = std::make_unique<SetupWindow>(context_, module_);
  setup_->RunModal();
  // What OK stored may offer or withdraw the follow height.
  if (main_ != nullptr) main_->RefreshHeightBox();
}

// The help window is owned by the main window, so that it stays in front
// of it; it does not depend on the main window staying open.
void ComponentWindows::ShowHelp() {
  if (AboutWindow* open = ExistingHelp()) {
    open->ShowActive();
    return;
  }
  HWND owner = main_ != nullptr ? main_->Handle() : nullptr;
  help_ = std::make_unique<AboutWindow>(module_, owner);
  help_->ShowActive();
}

AboutWindow* ComponentWindows::ExistingHelp() const {
  return help_ != nullptr && help_->Exists() ? help_.get() : nullptr;
}

bool ComponentWindows::Alive() const {
  return (main_ != nullptr && main_->Exists()) || (setup_ != nullptr && setup_->Exists()) ||
         ExistingHelp() != nullptr;
}

void ComponentWindows::DeleteWindows() {
  help_.reset();
  setup_.reset();
  main_.reset();
}

}  // namespace tb::ui::win32

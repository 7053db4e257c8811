#include "shell/module_info.h"

#include "orvn/comrt.h"
#include "rig/rig_store.h"
#include "shell/form_object.h"
#include "shell/module_description.h"
#include "shell/module_path.h"
#include "ui/component_windows.h"
#include "ui/form_tb_main.h"
#include "ui/frm_about.h"
#include "ui/frm_tb_config.h"
#include "ui/message_box.h"

namespace tb::shell {

using namespace orvn;

namespace {

// Created on first use and kept for the life of the module. The windows
// themselves go with the host's application (ComponentWindows); the owner
// goes when the module is unloaded, which the host does only once no
// window is left (WindowsAlive).
bool windowsCreated = false;

struct WindowsHolder {
  ui::QtMessageSink messages;
  ui::ComponentWindows windows{{Rig(), messages, SettingsPath()}};
  WindowsHolder() { windowsCreated = true; }
  ~WindowsHolder() { windowsCreated = false; }
};

ui::ComponentWindows& Windows() {
  static WindowsHolder holder;
  return holder.windows;
}

}  // namespace

HRESULT ModuleInfo(IHostModuleInfo** info) {
  return DescribeModule(info, [](IORVNForm** form) {
    // The main window needs the host's QApplication.
    if (!ui::ComponentWindows::CanCreateWindows()) return E_UNEXPECTED;
    return FormObject::Get(Windows().Main(), form);
  });
}

HRESULT Configure(VARIANT_BOOL* result) {
  if (result == nullptr) return E_POINTER;
  if (!ui::ComponentWindows::CanCreateWindows()) return E_UNEXPECTED;
  Windows().Configure();
  *result = VARIANT_TRUE;
  return S_OK;
}

bool WindowsAlive() { return windowsCreated && Windows().Alive(); }

}  // namespace tb::shell

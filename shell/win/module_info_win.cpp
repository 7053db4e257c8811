// ModuleInfo and Configure on Windows: the component's windows come from
// the Win32 backend (ui/win32).
#include <windows.h>

#include "rig/rig_store.h"
#include "shell/module_description.h"
#include "shell/module_info.h"
#include "shell/module_path.h"
#include "shell/win/form_object_win.h"
#include "shell/win/module_handle.h"
#include "ui/win32/win32_windows.h"

namespace tb::shell {

namespace {

bool windowsCreated = false;

// Created on first use and kept while the DLL is loaded, which the host
// ends only once no window is left (WindowsAlive).
struct WindowsHolder {
  ui::win32::ComponentWindows windows{{Rig(), ui::win32::MessageBoxSink(), SettingsPath()},
                                      win::ModuleHandle()};
  WindowsHolder() { windowsCreated = true; }
  ~WindowsHolder() { windowsCreated = false; }
};

ui::win32::ComponentWindows& Windows() {
  static WindowsHolder holder;
  return holder.windows;
}

}  // namespace

HRESULT ModuleInfo(IHostModuleInfo** info) {
  return DescribeModule(info,
                        [](IORVNForm** form) { return win::FormObject::Get(Windows(), form); });
}

HRESULT Configure(VARIANT_BOOL* result) {
  if (result == nullptr) return E_POINTER;
  Windows().ShowConfigModal();
  *result = VARIANT_TRUE;
  return S_OK;
}

bool WindowsAlive() { return windowsCreated && Windows().Alive(); }

}  // namespace tb::shell

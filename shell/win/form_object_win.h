// The main window as the host sees it (HostModuleInfo.MainForm) on Windows:
// Show, Hide, Caption, Visible and the window handle, by vtable and by name.
// While any host holds one, every ModuleInfo call hands out that same
// object; each counts toward the module's live objects.
#pragma once

#include <atomic>

#include "orvn/orvntypelib.h"
#include "shell/win/late_binding.h"

namespace tb::ui::win32 {
class ComponentWindows;
}

namespace tb::shell::win {

class FormObject final : public TypeInfoDispatch<IORVNForm> {
 public:
  // The live object for these windows, or a new one; AddRef'ed for the caller.
  static HRESULT Get(ui::win32::ComponentWindows& windows, IORVNForm** form);

  FormObject(const FormObject&) = delete;
  FormObject& operator=(const FormObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Show() override;
  HRESULT STDMETHODCALLTYPE Hide() override;
  HRESULT STDMETHODCALLTYPE get_Caption(BSTR* caption) override;
  HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* visible) override;
  // The main window's HWND, created (hidden) if it does not exist yet.
  HRESULT STDMETHODCALLTYPE get_Widget(LONG_PTR* widget) override;

 private:
  explicit FormObject(ui::win32::ComponentWindows& windows);
  ~FormObject();

  ui::win32::ComponentWindows* windows_;
  std::atomic<ULONG> refs_{1};
};

}  // namespace tb::shell::win

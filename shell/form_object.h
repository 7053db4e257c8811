// The main window as the host sees it (HostModuleInfo.MainForm). While any
// host holds one, every ModuleInfo call hands out that same object; each
// counts toward the module's live objects.
#pragma once

#include <QPointer>
#include <atomic>

#include "orvn/dispatchimpl.h"
#include "orvn/orvntypelib.h"

namespace tb::ui {
class FormTBMain;
}

namespace tb::shell {

class FormObject final : public orvn::NoLateBinding<orvn::IORVNForm> {
 public:
  // The live object for this window, or a new one; AddRef'ed for the caller.
  static orvn::HRESULT Get(ui::FormTBMain& window, orvn::IORVNForm** form);

  FormObject(const FormObject&) = delete;
  FormObject& operator=(const FormObject&) = delete;

  orvn::HRESULT ORVN_STDCALL QueryInterface(const orvn::IID& riid, void** ppv) override;
  orvn::ULONG ORVN_STDCALL AddRef() override;
  orvn::ULONG ORVN_STDCALL Release() override;

  // The window may be gone (the host's application has ended): then every
  // member fails with E_UNEXPECTED.
  orvn::HRESULT ORVN_STDCALL Show() override;
  orvn::HRESULT ORVN_STDCALL Hide() override;
  orvn::HRESULT ORVN_STDCALL get_Caption(orvn::BSTR* caption) override;
  orvn::HRESULT ORVN_STDCALL get_Visible(orvn::VARIANT_BOOL* visible) override;
  orvn::HRESULT ORVN_STDCALL get_Widget(void** widget) override;

 private:
  explicit FormObject(ui::FormTBMain& window);
  ~FormObject();

  QPointer<ui::FormTBMain> window_;
  std::atomic<orvn::ULONG> refs_{1};
};

}  // namespace tb::shell

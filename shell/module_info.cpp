#include "shell/module_info.h"

#include "orvn/comrt.h"
#include "rig/rig_store.h"
#include "shell/form_object.h"
#include "shell/module_path.h"
#include "ui/component_windows.h"
#include "ui/form_tb_main.h"
#include "ui/frm_about.h"
#include "ui/frm_tb_config.h"
#include "ui/message_box.h"

namespace tb::shell {

using namespace orvn;

namespace {

// The module's own identity in the host's module list.
constexpr char16_t kModuleGuid[] = u"{6C1F5A2E-93B4-4D7A-8E21-5F0B9C3D7A14}";
static_assert(std::size(kModuleGuid) == 39);
constexpr char16_t kModuleName[] = u"Trailbeam";
constexpr char16_t kModuleAuthor[] = u"TrailBeam Team";
constexpr char16_t kMainFormName[] = u"FormTBMain";

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

HRESULT PutText(IHostModuleInfo* info, HRESULT (ORVN_STDCALL IHostModuleInfo::*put)(BSTR),
                const char16_t* text) {
  BSTR value = SysAllocString(text);
  if (value == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = (info->*put)(value);
  SysFreeString(value);
  return hr;
}

HRESULT Fill(IHostModuleInfo* info) {
  HRESULT hr = S_OK;
  if (FAILED(hr = PutText(info, &IHostModuleInfo::put_ModuleGuid, kModuleGuid))) return hr;
  if (FAILED(hr = PutText(info, &IHostModuleInfo::put_ModuleName, kModuleName))) return hr;
  if (FAILED(hr = PutText(info, &IHostModuleInfo::put_ModuleText, u""))) return hr;
  if (FAILED(hr = PutText(info, &IHostModuleInfo::put_ModuleAuthor, kModuleAuthor))) return hr;
  if (FAILED(hr = info->put_ModuleFlag1(VARIANT_TRUE))) return hr;
  if (FAILED(hr = info->put_ModuleFlag2(VARIANT_TRUE))) return hr;
  if (FAILED(hr = info->put_ModuleNumber1(2))) return hr;
  if (FAILED(hr = PutText(info, &IHostModuleInfo::put_MainFormName, kMainFormName))) return hr;

  // The main window needs the host's QApplication.
  if (!ui::ComponentWindows::CanCreateWindows()) return E_UNEXPECTED;
  IORVNForm* form = nullptr;
  if (FAILED(hr = FormObject::Get(Windows().Main(), &form))) return hr;
  hr = info->putref_MainForm(form);
  form->Release();
  if (FAILED(hr)) return hr;

  if (FAILED(hr = info->put_ModuleNumber2(0))) return hr;
  if (FAILED(hr = info->put_ModuleNumber3(0))) return hr;
  if (FAILED(hr = info->put_ModuleFlag3(VARIANT_TRUE))) return hr;
  if (FAILED(hr = info->put_ModuleFlag4(VARIANT_TRUE))) return hr;

  IORVNModuleCodes* codes = nullptr;
  if (FAILED(hr = info->get_ModuleCodes(&codes))) return hr;
  if (codes == nullptr) return E_POINTER;
  hr = codes->Add(3);
  if (SUCCEEDED(hr)) hr = codes->Add(15);
  codes->Release();
  return FAILED(hr) ? hr : S_OK;
}

}  // namespace

HRESULT ModuleInfo(IHostModuleInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  IHostModuleInfo* created = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_HostModuleInfo, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IHostModuleInfo, reinterpret_cast<void**>(&created));
  if (FAILED(hr)) return hr;
  if (created == nullptr) return E_POINTER;
  hr = Fill(created);
  if (FAILED(hr)) {
    created->Release();
    return hr;
  }
  *info = created;
  return S_OK;
}

HRESULT Configure(VARIANT_BOOL* result) {
  if (result == nullptr) return E_POINTER;
  if (!ui::ComponentWindows::CanCreateWindows()) return E_UNEXPECTED;
  Windows().Config().readTBConfiguration();
  *result = VARIANT_TRUE;
  return S_OK;
}

bool WindowsAlive() { return windowsCreated && Windows().Alive(); }

}  // namespace tb::shell

#include "shell/module_description.h"

#include <iterator>

#if !defined(_WIN32)
#include "orvn/comrt.h"
#endif

namespace tb::shell {

using namespace orvn;

namespace {

// The module's own identity in the host's module list.
constexpr OLECHAR kModuleGuid[] = ORVN_TEXT("{6C1F5A2E-93B4-4D7A-8E21-5F0B9C3D7A14}");
static_assert(std::size(kModuleGuid) == 39);
constexpr OLECHAR kModuleName[] = ORVN_TEXT("Trailbeam");
constexpr OLECHAR kModuleAuthor[] = ORVN_TEXT("TrailBeam Team");
constexpr OLECHAR kMainFormName[] = ORVN_TEXT("FormTBMain");
constexpr OLECHAR kEmpty[] = ORVN_TEXT("");

HRESULT PutText(IHostModuleInfo* info, HRESULT (ORVN_STDCALL IHostModuleInfo::*put)(BSTR),
                const OLECHAR* text) {
  BSTR value = SysAllocString(text);
  if (value == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = (info->*put)(value);
  SysFreeString(value);
  return hr;
}

HRESULT Fill(IHostModuleInfo* info, const MainFormSource& mainForm) {
  HRESULT hr = S_OK;
  if (FAILED(hr = PutText(info, &IHostModuleInfo::put_ModuleGuid, kModuleGuid))) return hr;
  if (FAILED(hr = PutText(info, &IHostModuleInfo::put_ModuleName, kModuleName))) return hr;
  if (FAILED(hr = PutText(info, &IHostModuleInfo::put_ModuleText, kEmpty))) return hr;
  if (FAILED(hr = PutText(info, &IHostModuleInfo::put_ModuleAuthor, kModuleAuthor))) return hr;
  if (FAILED(hr = info->put_ModuleFlag1(VARIANT_TRUE))) return hr;
  if (FAILED(hr = info->put_ModuleFlag2(VARIANT_TRUE))) return hr;
  if (FAILED(hr = info->put_ModuleNumber1(2))) return hr;
  if (FAILED(hr = PutText(info, &IHostModuleInfo::put_MainFormName, kMainFormName))) return hr;

  IORVNForm* form = nullptr;
  if (FAILED(hr = mainForm(&form))) return hr;
  if (form == nullptr) return E_POINTER;
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

HRESULT DescribeModule(IHostModuleInfo** info, const MainFormSource& mainForm) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  IHostModuleInfo* created = nullptr;
#if defined(_WIN32)
  // Hosts may offer the class in their own process or register it.
  HRESULT hr = CoCreateInstance(CLSID_HostModuleInfo, nullptr, CLSCTX_ALL, IID_IHostModuleInfo,
                                reinterpret_cast<void**>(&created));
#else
  HRESULT hr = CoCreateInstance(CLSID_HostModuleInfo, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IHostModuleInfo, reinterpret_cast<void**>(&created));
#endif
  if (FAILED(hr)) return hr;
  if (created == nullptr) return E_POINTER;
  hr = Fill(created, mainForm);
  if (FAILED(hr)) {
    created->Release();
    return hr;
  }
  *info = created;
  return S_OK;
}

}  // namespace tb::shell

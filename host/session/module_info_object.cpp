#include "host/session/module_info_object.h"

#include <new>

#include "orvn/comrt.h"

namespace tbhost {
namespace {

orvn::HRESULT GetText(const std::u16string& text, orvn::BSTR* value) {
  if (value == nullptr) return orvn::E_POINTER;
  *value = orvn::SysAllocStringLen(text.data(), static_cast<orvn::UINT>(text.size()));
  return *value == nullptr ? orvn::E_OUTOFMEMORY : orvn::S_OK;
}

orvn::HRESULT PutText(std::u16string& text, orvn::BSTR value) {
  try {
    text.assign(value == nullptr ? u"" : value, value == nullptr ? 0 : orvn::SysStringLen(value));
  } catch (const std::bad_alloc&) {
    return orvn::E_OUTOFMEMORY;
  }
  return orvn::S_OK;
}

template <class T>
orvn::HRESULT GetPlain(T stored, T* value) {
  if (value == nullptr) return orvn::E_POINTER;
  *value = stored;
  return orvn::S_OK;
}

}  // namespace

ModuleCodes* ModuleCodes::Create() { return new (std::nothrow) ModuleCodes(); }

orvn::HRESULT ORVN_STDCALL ModuleCodes::Add(std::int32_t item) {
  try {
    items_.push_back(item);
  } catch (const std::bad_alloc&) {
    return orvn::E_OUTOFMEMORY;
  }
  return orvn::S_OK;
}

orvn::HRESULT ORVN_STDCALL ModuleCodes::get_Count(std::int32_t* count) {
  return GetPlain(static_cast<std::int32_t>(items_.size()), count);
}

orvn::HRESULT ORVN_STDCALL ModuleCodes::get_Item(std::int32_t index, std::int32_t* item) {
  if (item == nullptr) return orvn::E_POINTER;
  if (index < 1 || static_cast<std::size_t>(index) > items_.size()) return orvn::DISP_E_BADINDEX;
  *item = items_[static_cast<std::size_t>(index) - 1];
  return orvn::S_OK;
}

HostModuleInfo* HostModuleInfo::Create() {
  ModuleCodes* codes = ModuleCodes::Create();
  if (codes == nullptr) return nullptr;
  auto* info = new (std::nothrow) HostModuleInfo();
  if (info == nullptr) {
    codes->Release();
    return nullptr;
  }
  info->codes_ = codes;
  return info;
}

HostModuleInfo::~HostModuleInfo() {
  if (mainForm_ != nullptr) mainForm_->Release();
  if (codes_ != nullptr) codes_->Release();
}

// clang-format off
orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_ModuleGuid(orvn::BSTR* v) { return GetText(guid_, v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::put_ModuleGuid(orvn::BSTR v) { return PutText(guid_, v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_ModuleName(orvn::BSTR* v) { return GetText(name_, v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::put_ModuleName(orvn::BSTR v) { return PutText(name_, v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_ModuleText(orvn::BSTR* v) { return GetText(text_, v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::put_ModuleText(orvn::BSTR v) { return PutText(text_, v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_ModuleAuthor(orvn::BSTR* v) { return GetText(author_, v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::put_ModuleAuthor(orvn::BSTR v) { return PutText(author_, v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_MainFormName(orvn::BSTR* v) { return GetText(mainFormName_, v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::put_MainFormName(orvn::BSTR v) { return PutText(mainFormName_, v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_ModuleFlag1(orvn::VARIANT_BOOL* v) { return GetPlain(flags_[0], v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::put_ModuleFlag1(orvn::VARIANT_BOOL v) { flags_[0] = v; return orvn::S_OK; }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_ModuleFlag2(orvn::VARIANT_BOOL* v) { return GetPlain(flags_[1], v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::put_ModuleFlag2(orvn::VARIANT_BOOL v) { flags_[1] = v; return orvn::S_OK; }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_ModuleFlag3(orvn::VARIANT_BOOL* v) { return GetPlain(flags_[2], v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::put_ModuleFlag3(orvn::VARIANT_BOOL v) { flags_[2] = v; return orvn::S_OK; }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_ModuleFlag4(orvn::VARIANT_BOOL* v) { return GetPlain(flags_[3], v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::put_ModuleFlag4(orvn::VARIANT_BOOL v) { flags_[3] = v; return orvn::S_OK; }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_ModuleNumber1(std::int32_t* v) { return GetPlain(numbers_[0], v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::put_ModuleNumber1(std::int32_t v) { numbers_[0] = v; return orvn::S_OK; }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_ModuleNumber2(std::int32_t* v) { return GetPlain(numbers_[1], v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::put_ModuleNumber2(std::int32_t v) { numbers_[1] = v; return orvn::S_OK; }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_ModuleNumber3(std::int32_t* v) { return GetPlain(numbers_[2], v); }
orvn::HRESULT ORVN_STDCALL HostModuleInfo::put_ModuleNumber3(std::int32_t v) { numbers_[2] = v; return orvn::S_OK; }
// clang-format on

orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_MainForm(orvn::IORVNForm** value) {
  if (value == nullptr) return orvn::E_POINTER;
  *value = mainForm_;
  if (mainForm_ != nullptr) mainForm_->AddRef();
  return orvn::S_OK;
}

orvn::HRESULT ORVN_STDCALL HostModuleInfo::putref_MainForm(orvn::IORVNForm* value) {
  // AddRef first: setting the same form again must not drop its last reference.
  if (value != nullptr) value->AddRef();
  if (mainForm_ != nullptr) mainForm_->Release();
  mainForm_ = value;
  return orvn::S_OK;
}

orvn::HRESULT ORVN_STDCALL HostModuleInfo::get_ModuleCodes(orvn::IORVNModuleCodes** value) {
  if (value == nullptr) return orvn::E_POINTER;
  codes_->AddRef();
  *value = codes_;
  return orvn::S_OK;
}

HostModuleInfoFactory* HostModuleInfoFactory::Create() {
  return new (std::nothrow) HostModuleInfoFactory();
}

orvn::HRESULT ORVN_STDCALL HostModuleInfoFactory::QueryInterface(orvn::REFIID riid, void** ppv) {
  if (ppv == nullptr) return orvn::E_POINTER;
  if (riid == orvn::IID_IUnknown || riid == orvn::IID_IClassFactory) {
    *ppv = static_cast<orvn::IClassFactory*>(this);
    AddRef();
    return orvn::S_OK;
  }
  *ppv = nullptr;
  return orvn::E_NOINTERFACE;
}

orvn::ULONG ORVN_STDCALL HostModuleInfoFactory::Release() {
  const orvn::ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

orvn::HRESULT ORVN_STDCALL HostModuleInfoFactory::CreateInstance(orvn::IUnknown* outer,
                                                                 orvn::REFIID riid, void** ppv) {
  if (ppv == nullptr) return orvn::E_POINTER;
  *ppv = nullptr;
  if (outer != nullptr) return orvn::CLASS_E_NOAGGREGATION;
  HostModuleInfo* info = HostModuleInfo::Create();
  if (info == nullptr) return orvn::E_OUTOFMEMORY;
  const orvn::HRESULT hr = info->QueryInterface(riid, ppv);
  info->Release();
  return hr;
}

orvn::HRESULT ORVN_STDCALL HostModuleInfoFactory::LockServer(std::int32_t) {
  // The host's classes live as long as the host; there is nothing to lock.
  return orvn::S_OK;
}

}  // namespace tbhost

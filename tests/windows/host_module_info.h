// The host's own module-information class, as a host offers it to the
// plug-in's ModuleInfo (CoRegisterClassObject with HostModuleInfoFactory):
// it records what the plug-in sets, in order, and keeps the main window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "orvn/orvntypelib.h"
#include "windows/vtable_only.h"

namespace tb::testing {

inline std::vector<std::string> g_puts;  // what the plug-in set, in order
inline long g_alive = 0;                 // module-information objects not released

inline std::string Narrow(BSTR text) {
  std::string out;
  for (UINT i = 0; i < ::SysStringLen(text); ++i) out += static_cast<char>(text[i]);
  return out;
}

class Codes final : public VtableOnly<IORVNModuleCodes> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) &&
        !IsEqualIID(riid, IID_IORVNModuleCodes))
      return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE Add(LONG item) override {
    g_puts.push_back("ModuleCodes.Add " + std::to_string(item));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Item(LONG, LONG*) override { return DISP_E_BADINDEX; }
  long refs = 0;
};

#define TB_TEXT_PROPERTY(name)                                 \
  HRESULT STDMETHODCALLTYPE get_##name(BSTR* value) override { \
    *value = nullptr;                                          \
    return E_NOTIMPL;                                          \
  }                                                            \
  HRESULT STDMETHODCALLTYPE put_##name(BSTR value) override {  \
    g_puts.push_back(#name " \"" + Narrow(value) + "\"");      \
    return S_OK;                                               \
  }
#define TB_NUMBER_PROPERTY(name, type)                         \
  HRESULT STDMETHODCALLTYPE get_##name(type* value) override { \
    *value = 0;                                                \
    return E_NOTIMPL;                                          \
  }                                                            \
  HRESULT STDMETHODCALLTYPE put_##name(type value) override {  \
    g_puts.push_back(#name " " + std::to_string(value));       \
    return S_OK;                                               \
  }

class HostModuleInfoObject final : public VtableOnly<IHostModuleInfo> {
 public:
  HostModuleInfoObject() { ++g_alive; }
  ~HostModuleInfoObject() {
    if (form_ != nullptr) form_->Release();
    --g_alive;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) &&
        !IsEqualIID(riid, IID_IHostModuleInfo))
      return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  TB_TEXT_PROPERTY(ModuleGuid)
  TB_TEXT_PROPERTY(ModuleName)
  TB_TEXT_PROPERTY(ModuleText)
  TB_TEXT_PROPERTY(ModuleAuthor)
  TB_NUMBER_PROPERTY(ModuleFlag1, VARIANT_BOOL)
  TB_NUMBER_PROPERTY(ModuleFlag2, VARIANT_BOOL)
  TB_NUMBER_PROPERTY(ModuleNumber1, LONG)
  TB_TEXT_PROPERTY(MainFormName)
  TB_NUMBER_PROPERTY(ModuleNumber2, LONG)
  TB_NUMBER_PROPERTY(ModuleNumber3, LONG)
  TB_NUMBER_PROPERTY(ModuleFlag3, VARIANT_BOOL)
  TB_NUMBER_PROPERTY(ModuleFlag4, VARIANT_BOOL)
  HRESULT STDMETHODCALLTYPE get_MainForm(IORVNForm** value) override {
    *value = form_;
    if (form_ != nullptr) form_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE putref_MainForm(IORVNForm* value) override {
    g_puts.push_back("MainForm");
    if (value != nullptr) value->AddRef();
    if (form_ != nullptr) form_->Release();
    form_ = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ModuleCodes(IORVNModuleCodes** value) override {
    g_puts.push_back("ModuleCodes");
    return codes.QueryInterface(IID_IORVNModuleCodes, reinterpret_cast<void**>(value));
  }
  Codes codes;

 private:
  ULONG refs_ = 1;
  IORVNForm* form_ = nullptr;
};

class HostModuleInfoFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
      return E_NOINTERFACE;
    *ppv = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* info = new HostModuleInfoObject;
    const HRESULT hr = info->QueryInterface(riid, ppv);
    info->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

}  // namespace tb::testing

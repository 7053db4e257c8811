#include "shell/plugin.h"

#include <exception>
#include <memory>
#include <new>

#if !defined(_WIN32)
#include "orvn/comrt.h"
#endif
#include "rig/rig_store.h"
#include "shell/host_helper.h"
#include "shell/module_info.h"
#include "shell/module_state.h"

namespace tb::shell {

using namespace orvn;

namespace {

// Nothing may cross the binary interface as an exception.
template <class F>
HRESULT Guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT SetBool(VARIANT_BOOL* result, VARIANT_BOOL value) {
  if (result == nullptr) return E_POINTER;
  *result = value;
  return S_OK;
}

}  // namespace

clsORVNPlugIn::clsORVNPlugIn() { ObjectCreated(); }
clsORVNPlugIn::~clsORVNPlugIn() { ObjectDestroyed(); }

HRESULT clsORVNPlugIn::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IclsORVNPlugIn) {
    *ppv = static_cast<IclsORVNPlugIn*>(this);
  } else if (riid == IID_IORVNPlugin) {
    *ppv = static_cast<IORVNPlugin*>(this);
  } else if (riid == IID_IORVNModule) {
    *ppv = static_cast<IORVNModule*>(this);
  } else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG clsORVNPlugIn::AddRef() { return ++refs_; }

ULONG clsORVNPlugIn::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT clsORVNPlugIn::get_PluginName(BSTR* name) {
  if (name == nullptr) return E_POINTER;
  *name = SysAllocString(kPluginName);
  return *name == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT clsORVNPlugIn::Disable(VARIANT_BOOL* result) { return SetBool(result, VARIANT_FALSE); }
HRESULT clsORVNPlugIn::Enable(VARIANT_BOOL* result) { return SetBool(result, VARIANT_TRUE); }
HRESULT clsORVNPlugIn::Term(VARIANT_BOOL* result) { return SetBool(result, VARIANT_TRUE); }

HRESULT clsORVNPlugIn::Configure(VARIANT_BOOL* result) {
  return Guarded([&] { return shell::Configure(result); });
}

HRESULT clsORVNPlugIn::Init(BSTR*, BSTR*, IORVNPluginHelper** helper, VARIANT_BOOL* result) {
  if (result == nullptr) return E_POINTER;
  return Guarded([&] {
    // A null helper empties HostHelper, so calls fail cleanly instead of
    // reaching a stale host object.
    IORVNPluginHelper* given = helper != nullptr ? *helper : nullptr;
    Rig().SetHostHelper(given != nullptr ? std::make_unique<ComHostHelper>(given) : nullptr);
    *result = VARIANT_TRUE;
    return S_OK;
  });
}

HRESULT clsORVNPlugIn::MessageHandle(LONG*, LONG*, LONG*, LONG* result) {
  if (result == nullptr) return E_POINTER;
  *result = 0;
  return S_OK;
}

HRESULT clsORVNPlugIn::get_ModuleInfo(IHostModuleInfo** info) {
  return Guarded([&] { return shell::ModuleInfo(info); });
}

HRESULT PluginFactory::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IClassFactory) {
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

// The factory is a static object; while handed out it locks the module.
ULONG PluginFactory::AddRef() {
  shell::LockServer(true);
  return 2;
}
ULONG PluginFactory::Release() {
  shell::LockServer(false);
  return 1;
}

HRESULT PluginFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  return Guarded([&] {
    auto* object = new clsORVNPlugIn;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  });
}

HRESULT PluginFactory::LockServer(std::int32_t lock) {
  shell::LockServer(lock != 0);
  return S_OK;
}

}  // namespace tb::shell

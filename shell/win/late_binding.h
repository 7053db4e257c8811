// IDispatch from the type libraries: every member of every interface that
// the object offers can be called by name through any of its IDispatch
// slots, as scripts and late-binding hosts do. Member ids are unique across
// the plug-in's interfaces, so one id means one member on every slot.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include "orvn/orvntypelib.h"
#include "shell/win/type_info.h"

namespace tb::shell::win {

template <class Interface>
struct InterfaceId;
template <>
struct InterfaceId<orvn::IclsORVNPlugIn> {
  static constexpr const IID& value = orvn::IID_IclsORVNPlugIn;
};
template <>
struct InterfaceId<IORVNPlugin> {
  static constexpr const IID& value = IID_IORVNPlugin;
};
template <>
struct InterfaceId<IORVNModule> {
  static constexpr const IID& value = IID_IORVNModule;
};
template <>
struct InterfaceId<IORVNForm> {
  static constexpr const IID& value = IID_IORVNForm;
};

// The object's pointer for iid, AddRef'ed, or null when it does not offer it.
inline IUnknown* Offered(IUnknown* object, REFIID iid) {
  void* p = nullptr;
  if (FAILED(object->QueryInterface(iid, &p))) return nullptr;
  return static_cast<IUnknown*>(p);
}

template <class Interface>
class TypeInfoDispatch : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    const InterfaceInfo* own = FindInterface(InterfaceId<Interface>::value);
    *count = own != nullptr && own->info != nullptr ? 1 : 0;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    const InterfaceInfo* own = FindInterface(InterfaceId<Interface>::value);
    if (own == nullptr || own->info == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    own->info->AddRef();
    *info = own->info;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    HRESULT result = DISP_E_UNKNOWNNAME;
    ForEachOffered([&](const InterfaceInfo& entry, IUnknown*) {
      const HRESULT hr = entry.info->GetIDsOfNames(names, count, ids);
      // A known member with an unknown argument name still answers here.
      if (SUCCEEDED(hr) || ids[0] != DISPID_UNKNOWN) {
        result = hr;
        return true;
      }
      return false;
    });
    return result;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    HRESULT outcome = DISP_E_MEMBERNOTFOUND;
    ForEachOffered([&](const InterfaceInfo& entry, IUnknown* object) {
      if (!entry.HasMember(id)) return false;
      outcome =
          ::DispInvoke(object, entry.info, id, flags, params, result, exception, argumentError);
      return true;
    });
    return outcome;
  }

 protected:
  ~TypeInfoDispatch() = default;

 private:
  // Runs visit(entry, pointer) over the interfaces this object offers, its
  // own first, until visit returns true.
  template <class Visit>
  void ForEachOffered(Visit&& visit) {
    const InterfaceInfo* own = FindInterface(InterfaceId<Interface>::value);
    if (own != nullptr && own->info != nullptr && visit(*own, static_cast<Interface*>(this)))
      return;
    const InterfaceList all = AllInterfaces();
    for (const InterfaceInfo* entry = all.begin; entry != all.end; ++entry) {
      if (entry == own || entry->info == nullptr) continue;
      IUnknown* object = Offered(static_cast<Interface*>(this), *entry->iid);
      if (object == nullptr) continue;
      const bool done = visit(*entry, object);
      object->Release();
      if (done) return;
    }
  }
};

}  // namespace tb::shell::win

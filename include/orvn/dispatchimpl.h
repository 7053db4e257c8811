// For implementers of SDK interfaces: the four IDispatch slots answered as
// this SDK defines them (no type information, no late binding), so that an
// object only implements IUnknown and its interface's own members.
#pragma once

#include "orvn/com.h"

namespace orvn {

template <class Interface>
class NoLateBinding : public Interface {
 public:
  HRESULT ORVN_STDCALL GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT ORVN_STDCALL GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT ORVN_STDCALL GetIDsOfNames(REFIID, OLECHAR**, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT ORVN_STDCALL Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                              UINT*) override {
    return E_NOTIMPL;
  }

 protected:
  ~NoLateBinding() = default;
};

}  // namespace orvn

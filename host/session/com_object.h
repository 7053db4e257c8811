// Reference counting and the dispatch slots shared by the host's objects.
#pragma once

#include <atomic>

#include "orvn/com.h"
#include "orvn/dispatchimpl.h"

namespace tbhost {

// Implements IUnknown and the late-binding slots (not offered) for an object
// exposing one interface `Iface` (derived from IDispatch) with identifier
// `kIid`. Objects start with one reference, owned by their creator.
template <class Iface, const orvn::IID& kIid>
class ComObject : public orvn::NoLateBinding<Iface> {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  orvn::HRESULT ORVN_STDCALL QueryInterface(orvn::REFIID riid, void** ppv) override {
    if (ppv == nullptr) return orvn::E_POINTER;
    if (riid == orvn::IID_IUnknown || riid == orvn::IID_IDispatch || riid == kIid) {
      *ppv = static_cast<Iface*>(this);
      this->AddRef();
      return orvn::S_OK;
    }
    *ppv = nullptr;
    return orvn::E_NOINTERFACE;
  }
  orvn::ULONG ORVN_STDCALL AddRef() override { return ++refs_; }
  orvn::ULONG ORVN_STDCALL Release() override {
    const orvn::ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() = default;

 private:
  std::atomic<orvn::ULONG> refs_{1};
};

}  // namespace tbhost

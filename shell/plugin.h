// clsORVNPlugIn: the object the host creates. It keeps no state of its own;
// what it receives goes into the rig store.
#pragma once

#include <atomic>

#include "orvn/orvntypelib.h"
#if defined(_WIN32)
#include "shell/win/late_binding.h"
#else
#include "orvn/dispatchimpl.h"
#endif

namespace tb::shell {

// Calls by name: from the type libraries on Windows; not offered elsewhere.
#if defined(_WIN32)
template <class Interface>
using LateBound = win::TypeInfoDispatch<Interface>;
#else
template <class Interface>
using LateBound = orvn::NoLateBinding<Interface>;
#endif

inline constexpr orvn::OLECHAR kPluginName[] = ORVN_TEXT("Trail Beam Plugin");

class clsORVNPlugIn final : public LateBound<orvn::IclsORVNPlugIn>,
                            public LateBound<orvn::IORVNPlugin>,
                            public LateBound<orvn::IORVNModule> {
 public:
  clsORVNPlugIn();
  clsORVNPlugIn(const clsORVNPlugIn&) = delete;
  clsORVNPlugIn& operator=(const clsORVNPlugIn&) = delete;

  // IUnknown, shared by all three interfaces.
  orvn::HRESULT ORVN_STDCALL QueryInterface(const orvn::IID& riid, void** ppv) override;
  orvn::ULONG ORVN_STDCALL AddRef() override;
  orvn::ULONG ORVN_STDCALL Release() override;

  // The class's own interface and IORVNPlugin share this slot's meaning.
  orvn::HRESULT ORVN_STDCALL get_PluginName(orvn::BSTR* name) override;

  // IORVNPlugin.
  orvn::HRESULT ORVN_STDCALL Disable(orvn::VARIANT_BOOL* result) override;
  orvn::HRESULT ORVN_STDCALL Enable(orvn::VARIANT_BOOL* result) override;
  orvn::HRESULT ORVN_STDCALL Configure(orvn::VARIANT_BOOL* result) override;
  orvn::HRESULT ORVN_STDCALL Init(orvn::BSTR* callingAppTitle, orvn::BSTR* myFilename,
                                  orvn::IORVNPluginHelper** helper,
                                  orvn::VARIANT_BOOL* result) override;
  orvn::HRESULT ORVN_STDCALL MessageHandle(orvn::LONG* msg, orvn::LONG* arg1, orvn::LONG* arg2,
                                           orvn::LONG* result) override;
  orvn::HRESULT ORVN_STDCALL Term(orvn::VARIANT_BOOL* result) override;

  // IORVNModule.
  orvn::HRESULT ORVN_STDCALL get_ModuleInfo(orvn::IHostModuleInfo** info) override;

 private:
  ~clsORVNPlugIn();
  std::atomic<orvn::ULONG> refs_{1};
};

// The class object handed out by DllGetClassObject.
class PluginFactory final : public orvn::IClassFactory {
 public:
  orvn::HRESULT ORVN_STDCALL QueryInterface(const orvn::IID& riid, void** ppv) override;
  orvn::ULONG ORVN_STDCALL AddRef() override;
  orvn::ULONG ORVN_STDCALL Release() override;
  orvn::HRESULT ORVN_STDCALL CreateInstance(orvn::IUnknown* outer, const orvn::IID& riid,
                                            void** ppv) override;
  orvn::HRESULT ORVN_STDCALL LockServer(std::int32_t lock) override;
};

}  // namespace tb::shell

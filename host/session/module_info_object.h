// The host's module-information class, which plug-ins create through the
// platform runtime, its ModuleCodes collection, and the class object the
// host offers for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/session/com_object.h"
#include "orvn/orvntypelib.h"

namespace tbhost {

class ModuleCodes final : public ComObject<orvn::IORVNModuleCodes, orvn::IID_IORVNModuleCodes> {
 public:
  static ModuleCodes* Create();

  orvn::HRESULT ORVN_STDCALL Add(std::int32_t item) override;
  orvn::HRESULT ORVN_STDCALL get_Count(std::int32_t* count) override;
  orvn::HRESULT ORVN_STDCALL get_Item(std::int32_t index, std::int32_t* item) override;

  const std::vector<std::int32_t>& Items() const { return items_; }

 private:
  ModuleCodes() = default;
  std::vector<std::int32_t> items_;
};

// Texts are kept as the caller passed them (a null BSTR is the empty text);
// get_ hands out fresh copies. Numbers and flags start at 0 / false.
class HostModuleInfo final : public ComObject<orvn::IHostModuleInfo, orvn::IID_IHostModuleInfo> {
 public:
  // Null when out of memory.
  static HostModuleInfo* Create();

  orvn::HRESULT ORVN_STDCALL get_ModuleGuid(orvn::BSTR* value) override;
  orvn::HRESULT ORVN_STDCALL put_ModuleGuid(orvn::BSTR value) override;
  orvn::HRESULT ORVN_STDCALL get_ModuleName(orvn::BSTR* value) override;
  orvn::HRESULT ORVN_STDCALL put_ModuleName(orvn::BSTR value) override;
  orvn::HRESULT ORVN_STDCALL get_ModuleText(orvn::BSTR* value) override;
  orvn::HRESULT ORVN_STDCALL put_ModuleText(orvn::BSTR value) override;
  orvn::HRESULT ORVN_STDCALL get_ModuleAuthor(orvn::BSTR* value) override;
  orvn::HRESULT ORVN_STDCALL put_ModuleAuthor(orvn::BSTR value) override;
  orvn::HRESULT ORVN_STDCALL get_ModuleFlag1(orvn::VARIANT_BOOL* value) override;
  orvn::HRESULT ORVN_STDCALL put_ModuleFlag1(orvn::VARIANT_BOOL value) override;
  orvn::HRESULT ORVN_STDCALL get_ModuleFlag2(orvn::VARIANT_BOOL* value) override;
  orvn::HRESULT ORVN_STDCALL put_ModuleFlag2(orvn::VARIANT_BOOL value) override;
  orvn::HRESULT ORVN_STDCALL get_ModuleNumber1(std::int32_t* value) override;
  orvn::HRESULT ORVN_STDCALL put_ModuleNumber1(std::int32_t value) override;
  orvn::HRESULT ORVN_STDCALL get_MainFormName(orvn::BSTR* value) override;
  orvn::HRESULT ORVN_STDCALL put_MainFormName(orvn::BSTR value) override;
  orvn::HRESULT ORVN_STDCALL get_MainForm(orvn::IORVNForm** value) override;
  orvn::HRESULT ORVN_STDCALL putref_MainForm(orvn::IORVNForm* value) override;
  orvn::HRESULT ORVN_STDCALL get_ModuleNumber2(std::int32_t* value) override;
  orvn::HRESULT ORVN_STDCALL put_ModuleNumber2(std::int32_t value) override;
  orvn::HRESULT ORVN_STDCALL get_ModuleNumber3(std::int32_t* value) override;
  orvn::HRESULT ORVN_STDCALL put_ModuleNumber3(std::int32_t value) override;
  orvn::HRESULT ORVN_STDCALL get_ModuleFlag3(orvn::VARIANT_BOOL* value) override;
  orvn::HRESULT ORVN_STDCALL put_ModuleFlag3(orvn::VARIANT_BOOL value) override;
  orvn::HRESULT ORVN_STDCALL get_ModuleFlag4(orvn::VARIANT_BOOL* value) override;
  orvn::HRESULT ORVN_STDCALL put_ModuleFlag4(orvn::VARIANT_BOOL value) override;
  orvn::HRESULT ORVN_STDCALL get_ModuleCodes(orvn::IORVNModuleCodes** value) override;

 private:
  HostModuleInfo() = default;
  ~HostModuleInfo() override;

  std::u16string guid_, name_, text_, author_, mainFormName_;
  orvn::VARIANT_BOOL flags_[4] = {};
  std::int32_t numbers_[3] = {};
  orvn::IORVNForm* mainForm_ = nullptr;
  ModuleCodes* codes_ = nullptr;
};

// The class object for HostModuleInfo, as the host offers it with
// CoRegisterClassObject. Aggregation is refused.
class HostModuleInfoFactory final : public orvn::IClassFactory {
 public:
  static HostModuleInfoFactory* Create();
  HostModuleInfoFactory(const HostModuleInfoFactory&) = delete;
  HostModuleInfoFactory& operator=(const HostModuleInfoFactory&) = delete;

  orvn::HRESULT ORVN_STDCALL QueryInterface(orvn::REFIID riid, void** ppv) override;
  orvn::ULONG ORVN_STDCALL AddRef() override { return ++refs_; }
  orvn::ULONG ORVN_STDCALL Release() override;
  orvn::HRESULT ORVN_STDCALL CreateInstance(orvn::IUnknown* outer, orvn::REFIID riid,
                                            void** ppv) override;
  orvn::HRESULT ORVN_STDCALL LockServer(std::int32_t lock) override;

 private:
  HostModuleInfoFactory() = default;
  ~HostModuleInfoFactory() = default;
  std::atomic<orvn::ULONG> refs_{1};
};

}  // namespace tbhost

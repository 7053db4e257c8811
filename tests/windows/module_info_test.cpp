// ModuleInfo through the COM runtime: the plug-in creates the host's
// HostModuleInfo (offered here with CoRegisterClassObject, as a host does)
// and fills it in the host's order.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "orvn/orvntypelib.h"

namespace {

class ComApartment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(::CoInitialize(nullptr), S_OK); }
  void TearDown() override { ::CoUninitialize(); }
};
const auto* const kApartment = ::testing::AddGlobalTestEnvironment(new ComApartment);

template <class Interface>
class VtableOnly : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
};

std::vector<std::string> g_puts;  // what the plug-in set, in order
long g_alive = 0;                 // module-information objects not released

std::string Narrow(BSTR text) {
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

class ModuleInfo final : public VtableOnly<IHostModuleInfo> {
 public:
  ModuleInfo() { ++g_alive; }
  ~ModuleInfo() {
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

class Factory final : public IClassFactory {
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
    auto* info = new ModuleInfo;
    const HRESULT hr = info->QueryInterface(riid, ppv);
    info->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

TEST(ModuleInfo, FillsTheHostsObjectInItsOrder) {
  Factory factory;
  DWORD cookie = 0;
  ASSERT_EQ(::CoRegisterClassObject(CLSID_HostModuleInfo, &factory, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  IORVNModule* module = nullptr;
  ASSERT_EQ(::CoCreateInstance(orvn::CLSID_clsORVNPlugIn, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IORVNModule, reinterpret_cast<void**>(&module)),
            S_OK);
  IHostModuleInfo* info = nullptr;
  const HRESULT hr = module->get_ModuleInfo(&info);

  const std::vector<std::string> upToTheWindow = {
      "ModuleGuid \"{6C1F5A2E-93B4-4D7A-8E21-5F0B9C3D7A14}\"",
      "ModuleName \"Trailbeam\"",
      "ModuleText \"\"",
      "ModuleAuthor \"TrailBeam Team\"",
      "ModuleFlag1 -1",
      "ModuleFlag2 -1",
      "ModuleNumber1 2",
      "MainFormName \"FormTBMain\""};
#if TB_HAVE_WIN32_WINDOWS
  ASSERT_EQ(hr, S_OK);
  std::vector<std::string> all = upToTheWindow;
  all.insert(all.end(),
             {"MainForm", "ModuleNumber2 0", "ModuleNumber3 0", "ModuleFlag3 -1", "ModuleFlag4 -1",
              "ModuleCodes", "ModuleCodes.Add 3", "ModuleCodes.Add 15"});
  EXPECT_EQ(g_puts, all);
  EXPECT_EQ(g_alive, 1);
  info->Release();
#else
  // Built without the windows: no main window to hand over, and the object
  // made for the host is released again.
  EXPECT_EQ(hr, E_NOTIMPL);
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(g_puts, upToTheWindow);
#endif
  module->Release();
  EXPECT_EQ(g_alive, 0);
  ::CoRevokeClassObject(cookie);
}

}  // namespace

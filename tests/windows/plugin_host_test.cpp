// A Windows host of the plug-in: creates it by ProgID through the COM
// runtime after regsvr32, calls every member through the vtable and by
// name, hands it a recording helper and asks it for its module
// description with a module-information class of its own.
#include <dispex.h>
#include <gtest/gtest.h>
#include <oleauto.h>
#include <windows.h>

#include <climits>
#include <string>
#include <vector>

#include "orvn/orvntypelib.h"
#include "trailbeam_version.h"
#include "windows/vtable_only.h"

namespace {

class ComApartment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(::CoInitialize(nullptr), S_OK); }
  void TearDown() override { ::CoUninitialize(); }
};
const auto* const kApartment = ::testing::AddGlobalTestEnvironment(new ComApartment);

template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Reset(); }
  T** Out() {
    Reset();
    return &p_;
  }
  void** Void() { return reinterpret_cast<void**>(Out()); }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  void Reset() {
    if (p_ != nullptr) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

std::wstring Take(BSTR text) {
  std::wstring copy = text != nullptr ? std::wstring(text, ::SysStringLen(text)) : L"(null)";
  ::SysFreeString(text);
  return copy;
}

class RecordingHelper;

class RecordingOutput final : public tb::testing::VtableOnly<IORVNOutput> {
 public:
  explicit RecordingOutput(RecordingHelper& host) : host_(host) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE WriteChannel(LONG* channel, LONG* value, VARIANT_BOOL* flag) override;
  long refs = 0;

 private:
  RecordingHelper& host_;
};

// Lives on the test's stack: its count tells only what the plug-in holds.
class RecordingHelper final : public tb::testing::VtableOnly<IORVNPluginHelper> {
 public:
  std::vector<std::string> calls;
  LONG value = 0;  // what every channel reads
  long refs = 0;
  RecordingOutput output{*this};

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IORVNPluginHelper)) {
      *ppv = static_cast<IORVNPluginHelper*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE ReadChannel(LONG* channel, LONG* result) override {
    calls.push_back("ReadChannel " + std::to_string(*channel));
    *result = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Output(IORVNOutput** out) override {
    calls.push_back("Output");
    output.AddRef();
    *out = &output;
    return S_OK;
  }
};

HRESULT RecordingOutput::QueryInterface(REFIID riid, void** ppv) {
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID_IORVNOutput)) {
    *ppv = static_cast<IORVNOutput*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}
ULONG RecordingOutput::Release() {
  host_.calls.push_back("ReleaseOutput");
  return --refs;
}
HRESULT RecordingOutput::WriteChannel(LONG* channel, LONG* value, VARIANT_BOOL* flag) {
  host_.calls.push_back("WriteChannel " + std::to_string(*channel) + " " + std::to_string(*value) +
                        " " + std::to_string(*flag));
  return S_OK;
}

class PluginHost : public ::testing::Test {
 protected:
  void SetUp() override {
    CLSID clsid{};
    ASSERT_EQ(::CLSIDFromProgID(L"ORVN_TB_plugin2.clsORVNPlugIn", &clsid), S_OK);
    ASSERT_TRUE(IsEqualCLSID(clsid, orvn::CLSID_clsORVNPlugIn));
    ASSERT_EQ(
        ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IORVNPlugin, plugin.Void()),
        S_OK);
  }
  void TearDown() override {
    // The rig store keeps the last helper for the module's life.
    if (plugin.get() != nullptr) {
      VARIANT_BOOL ok = 0;
      IORVNPluginHelper* none = nullptr;
      plugin->Init(nullptr, nullptr, &none, &ok);
    }
  }
  Ref<IORVNPlugin> plugin;
};

TEST_F(PluginHost, OneObjectBehindEveryInterfaceItOffers) {
  Ref<IUnknown> identity;
  ASSERT_EQ(plugin->QueryInterface(IID_IUnknown, identity.Void()), S_OK);
  const struct {
    const char* name;
    const IID& iid;
    HRESULT expected;
  } cases[] = {
      {"IUnknown", IID_IUnknown, S_OK},
      {"IDispatch", IID_IDispatch, S_OK},
      {"IclsORVNPlugIn", orvn::IID_IclsORVNPlugIn, S_OK},
      {"IORVNPlugin", IID_IORVNPlugin, S_OK},
      {"IORVNModule", IID_IORVNModule, S_OK},
      {"IORVNForm", IID_IORVNForm, E_NOINTERFACE},
      {"IClassFactory", IID_IClassFactory, E_NOINTERFACE},
      {"IDispatchEx", __uuidof(IDispatchEx), E_NOINTERFACE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ref<IUnknown> asked;
    EXPECT_EQ(plugin->QueryInterface(c.iid, asked.Void()), c.expected);
    if (c.expected != S_OK) {
      EXPECT_EQ(asked.get(), nullptr);
      continue;
    }
    Ref<IUnknown> back;
    ASSERT_EQ(asked->QueryInterface(IID_IUnknown, back.Void()), S_OK);
    EXPECT_EQ(back.get(), identity.get());
  }
}

TEST_F(PluginHost, EveryMemberThroughTheVtable) {
  for (int round = 0; round < 2; ++round) {  // Term changes nothing
    SCOPED_TRACE(round == 0 ? "first" : "after Term");
    VARIANT_BOOL flag = 1;
    EXPECT_EQ(plugin->Enable(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
    EXPECT_EQ(plugin->Disable(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);

    LONG msg = -7, arg1 = INT_MAX, arg2 = INT_MIN, result = 99;
    EXPECT_EQ(plugin->MessageHandle(&msg, &arg1, &arg2, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(msg, -7);
    EXPECT_EQ(arg1, INT_MAX);
    EXPECT_EQ(arg2, INT_MIN);

    BSTR first = nullptr, second = nullptr;
    ASSERT_EQ(plugin->get_PluginName(&first), S_OK);
    Ref<orvn::IclsORVNPlugIn> own;
    ASSERT_EQ(plugin->QueryInterface(orvn::IID_IclsORVNPlugIn, own.Void()), S_OK);
    ASSERT_EQ(own->get_PluginName(&second), S_OK);
    EXPECT_NE(first, second) << "a new copy on every call";
    EXPECT_EQ(Take(first), L"Trail Beam Plugin");
    EXPECT_EQ(Take(second), L"Trail Beam Plugin");

    EXPECT_EQ(plugin->Term(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
  }
}

TEST_F(PluginHost, InitKeepsItsOwnReferenceToTheLatestHelper) {
  RecordingHelper first, second;
  BSTR title = ::SysAllocString(L"Orvane");
  BSTR file = nullptr;
  const struct {
    RecordingHelper* helper;
    long firstRefs, secondRefs;
  } steps[] = {{&first, 1, 0}, {&second, 0, 1}, {&second, 0, 1}, {nullptr, 0, 0}};
  for (const auto& step : steps) {
    IORVNPluginHelper* handed = step.helper;
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(plugin->Init(&title, &file, &handed, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(handed, step.helper) << "the host's pointer is not changed";
    EXPECT_EQ(first.refs, step.firstRefs);
    EXPECT_EQ(second.refs, step.secondRefs);
  }
  EXPECT_EQ(Take(title), L"Orvane");
  EXPECT_EQ(file, nullptr);
  EXPECT_TRUE(first.calls.empty() && second.calls.empty()) << "Init only stores the helper";
}

// Calls a member by name through the given IDispatch slot.
HRESULT CallByName(IDispatch* dispatch, const wchar_t* name, WORD flags,
                   std::vector<VARIANT> argsLastFirst, VARIANT& result) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  const HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS params{argsLastFirst.data(), nullptr, static_cast<UINT>(argsLastFirst.size()), 0};
  ::VariantInit(&result);
  return dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, nullptr,
                          nullptr);
}

TEST_F(PluginHost, EveryMemberByNameThroughEachIDispatchSlot) {
  Ref<IDispatch> byDefault;
  ASSERT_EQ(plugin->QueryInterface(IID_IDispatch, byDefault.Void()), S_OK);
  Ref<IORVNModule> module;
  ASSERT_EQ(plugin->QueryInterface(IID_IORVNModule, module.Void()), S_OK);
  IDispatch* slots[] = {byDefault.get(), plugin.get(), module.get()};

  for (IDispatch* slot : slots) {
    SCOPED_TRACE(slot == byDefault.get() ? "default" : slot == plugin.get() ? "plugin" : "module");
    VARIANT result;
    ASSERT_EQ(CallByName(slot, L"PluginName", DISPATCH_PROPERTYGET, {}, result), S_OK);
    EXPECT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::wstring(result.bstrVal), L"Trail Beam Plugin");
    ::VariantClear(&result);

    const struct {
      const wchar_t* name;
      VARIANT_BOOL expected;
    } booleans[] = {
        {L"Enable", VARIANT_TRUE}, {L"Disable", VARIANT_FALSE}, {L"Term", VARIANT_TRUE}};
    for (const auto& b : booleans) {
      ASSERT_EQ(CallByName(slot, b.name, DISPATCH_METHOD, {}, result), S_OK);
      EXPECT_EQ(result.vt, VT_BOOL);
      EXPECT_EQ(result.boolVal, b.expected);
    }

    LONG msg = 1, arg1 = 2, arg2 = 3;
    std::vector<VARIANT> args(3);
    args[0].vt = args[1].vt = args[2].vt = VT_I4 | VT_BYREF;
    args[2].plVal = &msg;
    args[1].plVal = &arg1;
    args[0].plVal = &arg2;
    ASSERT_EQ(CallByName(slot, L"MessageHandle", DISPATCH_METHOD, args, result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 0);

    // Init by name with the helper by reference, as a late-binding host.
    RecordingHelper helper;
    IDispatch* handed = &helper;
    BSTR title = nullptr, file = nullptr;
    args[2].vt = args[1].vt = VT_BSTR | VT_BYREF;
    args[2].pbstrVal = &title;
    args[1].pbstrVal = &file;
    args[0].vt = VT_DISPATCH | VT_BYREF;
    args[0].ppdispVal = &handed;
    ASSERT_EQ(CallByName(slot, L"Init", DISPATCH_METHOD, args, result), S_OK);
    EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    EXPECT_EQ(helper.refs, 1);
    TearDown();
    EXPECT_EQ(helper.refs, 0);

    EXPECT_EQ(CallByName(slot, L"NoSuchMember", DISPATCH_METHOD, {}, result), DISP_E_UNKNOWNNAME);
  }

  Ref<ITypeInfo> info;
  ASSERT_EQ(byDefault->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Out()), S_OK);
  BSTR name = nullptr;
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(Take(name), L"IclsORVNPlugIn");
}

// The DLL's path as regsvr32 registered it; empty if it is not there.
std::wstring RegisteredServer() {
  wchar_t path[MAX_PATH] = {};
  DWORD size = sizeof path;
  if (::RegGetValueW(HKEY_CLASSES_ROOT,
                     L"CLSID\\{8B8E711B-B058-406D-82F9-20ED67963A1C}\\InprocServer32", nullptr,
                     RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS) {
    return {};
  }
  return path;
}

TEST_F(PluginHost, TheRegisteredServerIsThisDllAndStaysLoadedWhileUsed) {
  const std::wstring server = RegisteredServer();
  ASSERT_FALSE(server.empty());
  const wchar_t* path = server.c_str();
  HMODULE module = ::GetModuleHandleW(path);
  ASSERT_NE(module, nullptr) << "CoCreateInstance loaded the registered file";
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  const auto canUnload = reinterpret_cast<CanUnload>(
      reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE) << "an object is alive";
  plugin.Reset();
  EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(PluginHost, VersionResourceCarriesTheVersionRecord) {
  const std::wstring server = RegisteredServer();
  ASSERT_FALSE(server.empty());
  const wchar_t* path = server.c_str();
  DWORD ignored = 0;
  const DWORD bytes = ::GetFileVersionInfoSizeW(path, &ignored);
  ASSERT_GT(bytes, 0u);
  std::vector<char> block(bytes);
  ASSERT_TRUE(::GetFileVersionInfoW(path, 0, bytes, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  constexpr DWORD kMs = (TB_VERSION_MAJOR << 16) | TB_VERSION_MINOR;
  constexpr DWORD kLs = (TB_VERSION_PATCH << 16) | TB_VERSION_TWEAK;
  EXPECT_EQ(fixed->dwFileVersionMS, kMs);
  EXPECT_EQ(fixed->dwFileVersionLS, kLs);
  EXPECT_EQ(fixed->dwProductVersionMS, kMs);
  EXPECT_EQ(fixed->dwProductVersionLS, kLs);

  const struct {
    const wchar_t* key;
    const wchar_t* value;
  } strings[] = {{L"FileVersion", L"" TB_VERSION_TEXT},
                 {L"ProductVersion", L"" TB_VERSION_TEXT},
                 {L"InternalName", L"TrailBeam"},
                 {L"ProductName", L"ORVN_TB_plugin2"}};
  for (const auto& entry : strings) {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + entry.key;
    wchar_t* value = nullptr;
    ASSERT_TRUE(
        ::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        << "no " << entry.key;
    EXPECT_EQ(std::wstring(value), entry.value);
  }
}

}  // namespace

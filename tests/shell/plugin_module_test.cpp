// Drives the real TrailBeam.so the way a host does: registered in a private
// registry, created by its ProgID through the platform runtime.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "core/temp_dir.h"
#include "orvn/comrt.h"
#include "orvn/orvntypelib.h"
#include "recording_host.h"
#include "trailbeam_version.h"

namespace {

using namespace orvn;
using tb::testing::RecordingHelper;
using tb::testing::TempDir;

const std::string kModule = TB_PLUGIN_MODULE;
using Entry = HRESULT (*)();

std::string Text(BSTR b) {
  std::string out;
  for (UINT i = 0; i < SysStringLen(b); ++i) out += static_cast<char>(b[i]);
  return out;
}

class PluginModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    registryDir_ = std::make_unique<TempDir>();
    setenv("ORVNCOM_REGISTRY", registryDir_->File("registry").c_str(), 1);
    handle_ = dlopen(kModule.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    ASSERT_EQ(reinterpret_cast<Entry>(dlsym(handle_, "DllRegisterServer"))(), S_OK);
  }
  // Runs after failed assertions too.
  static void TearDownTestSuite() { registryDir_.reset(); }
  // The module stays loaded: unloading it would unload Qt with it, and a
  // library Qt pulls in (libgomp, through libb2) leaks its start-up
  // allocation when unloaded. A host keeps Qt loaded anyway.
  static HRESULT CanUnloadNow() {
    return reinterpret_cast<Entry>(dlsym(handle_, "DllCanUnloadNow"))();
  }

  // A new plug-in object through the runtime, as a host creates it.
  template <class I>
  static I* Create(REFIID iid) {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(ProgID_clsORVNPlugIn, &clsid), S_OK);
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, &object), S_OK);
    return static_cast<I*>(object);
  }

  static inline void* handle_ = nullptr;
  static inline std::unique_ptr<TempDir> registryDir_;
};

TEST_F(PluginModule, ExportsExactlyTheFourEntries) {
  FILE* pipe = popen(("nm -D --defined-only '" + kModule + "'").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string s(line);
    s.erase(s.find_last_not_of("\r\n") + 1);
    names.insert(s.substr(s.rfind(' ') + 1));
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(names, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject",
                                          "DllRegisterServer", "DllUnregisterServer"}));
}

TEST_F(PluginModule, VersionRecordIsReadableFromTheFile) {
  const std::pair<const char*, const char*> expected[] = {{"FileVersion", TB_VERSION_TEXT},
                                                          {"ProductVersion", TB_VERSION_TEXT},
                                                          {"InternalName", "TrailBeam"},
                                                          {"ProductName", "ORVN_TB_plugin2"}};
  for (const auto& [key, value] : expected) {
    char buffer[64] = {};
    ASSERT_EQ(ReadModuleVersionRecord(kModule.c_str(), key, buffer, sizeof buffer), S_OK) << key;
    EXPECT_STREQ(buffer, value);
  }
}

TEST_F(PluginModule, QueryInterfaceAnswersEachInterfaceOfTheClass) {
  IUnknown* unknown = Create<IUnknown>(IID_IUnknown);
  ASSERT_NE(unknown, nullptr);
  struct Case {
    const char* name;
    const IID* iid;
    HRESULT hr;
  };
  const Case cases[] = {
      {"IUnknown", &IID_IUnknown, S_OK},
      {"IDispatch", &IID_IDispatch, S_OK},
      {"own", &IID_IclsORVNPlugIn, S_OK},
      {"IORVNPlugin", &IID_IORVNPlugin, S_OK},
      {"IORVNModule", &IID_IORVNModule, S_OK},
      {"helper", &IID_IORVNPluginHelper, E_NOINTERFACE},
      {"factory", &IID_IClassFactory, E_NOINTERFACE},
      {"form", &IID_IORVNForm, E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(unknown->QueryInterface(*c.iid, &out), c.hr) << c.name;
    if (c.hr != S_OK) {
      EXPECT_EQ(out, nullptr) << c.name;
      continue;
    }
    // Every interface leads back to the same IUnknown.
    auto* itf = static_cast<IUnknown*>(out);
    void* identity = nullptr;
    ASSERT_EQ(itf->QueryInterface(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity, unknown) << c.name;
    static_cast<IUnknown*>(identity)->Release();
    itf->Release();
  }
  EXPECT_EQ(unknown->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(unknown->Release(), 0u);
}

TEST_F(PluginModule, MembersGiveTheirFixedResults) {
  auto* plugin = Create<IORVNPlugin>(IID_IORVNPlugin);
  ASSERT_NE(plugin, nullptr);
  VARIANT_BOOL b = 7;
  EXPECT_EQ(plugin->Disable(&b), S_OK);
  EXPECT_EQ(b, VARIANT_FALSE);
  EXPECT_EQ(plugin->Enable(&b), S_OK);
  EXPECT_EQ(b, VARIANT_TRUE);
  for (std::int32_t msg : {0, 1, -1, 2147483647}) {
    std::int32_t a1 = 5, a2 = -5, result = 99;
    EXPECT_EQ(plugin->MessageHandle(&msg, &a1, &a2, &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(a1, 5);
  }
  EXPECT_EQ(plugin->Term(&b), S_OK);
  EXPECT_EQ(b, VARIANT_TRUE);
  // After Term everything answers as before.
  EXPECT_EQ(plugin->Disable(&b), S_OK);
  EXPECT_EQ(b, VARIANT_FALSE);

  // The name through both interfaces: same text, a fresh copy every time.
  void* own = nullptr;
  ASSERT_EQ(plugin->QueryInterface(IID_IclsORVNPlugIn, &own), S_OK);
  BSTR names[3] = {};
  ASSERT_EQ(plugin->get_PluginName(&names[0]), S_OK);
  ASSERT_EQ(plugin->get_PluginName(&names[1]), S_OK);
  ASSERT_EQ(static_cast<IclsORVNPlugIn*>(own)->get_PluginName(&names[2]), S_OK);
  for (BSTR n : names) EXPECT_EQ(Text(n), "Trail Beam Plugin");
  EXPECT_NE(names[0], names[1]);
  for (BSTR n : names) SysFreeString(n);
  static_cast<IUnknown*>(own)->Release();
  EXPECT_EQ(plugin->Release(), 0u);
}

TEST_F(PluginModule, InitKeepsOneReferenceAndASecondInitReleasesTheFirst) {
  RecordingHelper first, second;
  auto* a = Create<IORVNPlugin>(IID_IORVNPlugin);
  auto* b = Create<IORVNPlugin>(IID_IORVNPlugin);
  ASSERT_TRUE(a && b);
  BSTR empty = nullptr;
  BSTR title = SysAllocString(u"Orvane");
  IORVNPluginHelper* h = &first;
  VARIANT_BOOL result = 0;
  EXPECT_EQ(a->Init(&title, &empty, &h, &result), S_OK);
  EXPECT_EQ(result, VARIANT_TRUE);
  EXPECT_EQ(first.refs, 1);
  EXPECT_EQ(h, &first) << "the host's reference is left as it was";
  // The objects share one store: Init on the second object replaces the helper of the first.
  h = &second;
  EXPECT_EQ(b->Init(&empty, &empty, &h, &result), S_OK);
  EXPECT_EQ(first.refs, 0);
  EXPECT_EQ(second.refs, 1);
  // Term ends nothing, not even the helper reference.
  EXPECT_EQ(a->Term(&result), S_OK);
  EXPECT_EQ(second.refs, 1);
  a->Release();
  b->Release();
  EXPECT_EQ(second.refs, 1) << "the store keeps the helper as long as the module is loaded";
  // A null helper empties the store's reference.
  auto* c = Create<IORVNPlugin>(IID_IORVNPlugin);
  h = nullptr;
  EXPECT_EQ(c->Init(&empty, &empty, &h, &result), S_OK);
  EXPECT_EQ(second.refs, 0);
  c->Release();
  SysFreeString(title);
}

TEST_F(PluginModule, UnloadableOnlyWhenEverythingIsReleased) {
  EXPECT_EQ(CanUnloadNow(), S_OK);
  auto* plugin = Create<IORVNPlugin>(IID_IORVNPlugin);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  void* factory = nullptr;
  ASSERT_EQ(CoGetClassObject(CLSID_clsORVNPlugIn, IID_IClassFactory, &factory), S_OK);
  plugin->Release();
  EXPECT_EQ(CanUnloadNow(), S_FALSE) << "a factory handed out keeps the module";
  auto* cf = static_cast<IClassFactory*>(factory);
  cf->LockServer(1);
  cf->Release();
  EXPECT_EQ(CanUnloadNow(), S_FALSE) << "a server lock keeps the module";
  // Aggregation is refused and the out pointer cleared.
  void* out = reinterpret_cast<void*>(1);
  IUnknown* outer = reinterpret_cast<IUnknown*>(&out);
  EXPECT_EQ(cf->CreateInstance(outer, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  cf->LockServer(0);
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST_F(PluginModule, ClassObjectOnlyForItsOwnClass) {
  using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(dlsym(handle_, "DllGetClassObject"));
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(get(CLSID_HostModuleInfo, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(get(CLSID_clsORVNPlugIn, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(PluginModule, UnregisteringRemovesTheProgID) {
  ASSERT_EQ(reinterpret_cast<Entry>(dlsym(handle_, "DllUnregisterServer"))(), S_OK);
  CLSID clsid{};
  EXPECT_NE(CLSIDFromProgID(ProgID_clsORVNPlugIn, &clsid), S_OK);
  ASSERT_EQ(reinterpret_cast<Entry>(dlsym(handle_, "DllRegisterServer"))(), S_OK);
  EXPECT_EQ(CLSIDFromProgID(ProgID_clsORVNPlugIn, &clsid), S_OK);
  EXPECT_TRUE(clsid == CLSID_clsORVNPlugIn);
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "orvn/comrt.h"
#include "platform/registry_file.h"
#include "tests/platform/support.h"
#include "tests/platform/test_module.h"

using namespace orvn;
using namespace orvn_test;
namespace fs = std::filesystem;

namespace {

constexpr CLSID kOtherClass = {
    0x0BADF00D, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44}};
constexpr IID kUnknownIid = {
    0x0BADF00E, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44}};

void* const kGarbage = reinterpret_cast<void*>(0x1234);

// An in-process class whose objects answer 7 (the module's answer 42).
class LocalThing final : public ITestThing {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_ITestThing) {
      *ppv = static_cast<ITestThing*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override {
    const ULONG left = --refs;
    if (left == 0) delete this;
    return left;
  }
  HRESULT Answer(std::int32_t* value) override {
    *value = 7;
    return S_OK;
  }
  ULONG refs = 0;
};

class LocalFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
    if (returnNothing) return S_OK;  // a broken factory
    auto* thing = new LocalThing;
    thing->AddRef();
    const HRESULT hr = thing->QueryInterface(riid, ppv);
    thing->Release();
    return hr;
  }
  HRESULT LockServer(std::int32_t) override { return S_OK; }
  ULONG refs = 0;
  bool returnNothing = false;
};

std::int32_t AnswerOf(void* object) {
  auto* thing = static_cast<ITestThing*>(object);
  std::int32_t value = 0;
  EXPECT_EQ(thing->Answer(&value), S_OK);
  thing->Release();
  return value;
}

class Objects : public TempRegistryTest {
 protected:
  void TearDown() override {
    CoFreeUnusedLibraries();
    TempRegistryTest::TearDown();
  }

  void RegisterClass(const CLSID& clsid, const std::string& path) {
    const ServerRegistration reg{nullptr, clsid, path.c_str(), nullptr, {}, 0, 0};
    ASSERT_EQ(RegisterInprocServer(&reg), S_OK);
  }

  void RegisterTestModule() { RegisterClass(CLSID_TestThing, kTestModule); }
};

TEST_F(Objects, CreatesThroughTheModuleByClsidAndByProgId) {
  // The module registers itself, with the ProgID.
  void* handle = ::dlopen(kTestModule.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << ::dlerror();
  auto reg = reinterpret_cast<HRESULT (*)()>(::dlsym(handle, "DllRegisterServer"));
  ASSERT_NE(reg, nullptr);
  ASSERT_EQ(reg(), S_OK);
  ::dlclose(handle);
  ASSERT_FALSE(IsLoaded(kTestModule));

  void* object = kGarbage;
  ASSERT_EQ(
      CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_INPROC_SERVER, IID_ITestThing, &object),
      S_OK);
  EXPECT_EQ(AnswerOf(object), 42);

  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(kTestProgId16, &clsid), S_OK);
  EXPECT_TRUE(clsid == CLSID_TestThing);
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), S_OK);
  EXPECT_EQ(AnswerOf(object), 42);
}

TEST_F(Objects, ClassObjectOfAModule) {
  RegisterTestModule();
  void* object = nullptr;
  ASSERT_EQ(CoGetClassObject(CLSID_TestThing, IID_IClassFactory, &object), S_OK);
  auto* factory = static_cast<IClassFactory*>(object);
  void* thing = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ITestThing, &thing), S_OK);
  EXPECT_EQ(AnswerOf(thing), 42);
  factory->Release();
}

TEST_F(Objects, FailuresGiveTheirCodeAndANullPointer) {
  const fs::path textFile = dir / "not-a-module.so";
  WriteFile(textFile, "just text\n");
  RegisterClass(CLSID_TestThing, kTestModule);
  RegisterClass(kOtherClass, kTestModule);  // a class the module does not know
  struct Case {
    const char* what;
    CLSID clsid;
    std::string registeredPath;  // empty: leave the registry alone
    IID iid;
    HRESULT expected;
  };
  const CLSID missing = {0x1, 0x2, 0x3, {4}}, gone = {0x2, 0x2, 0x3, {4}},
              text = {0x3, 0x2, 0x3, {4}}, empty = {0x4, 0x2, 0x3, {4}};
  const Case cases[] = {
      {"unknown class", missing, "", IID_IUnknown, REGDB_E_CLASSNOTREG},
      {"module file missing", gone, "/nonexistent/module.so", IID_IUnknown, CO_E_DLLNOTFOUND},
      {"not a module", text, textFile.string(), IID_IUnknown, CO_E_DLLNOTFOUND},
      {"no DllGetClassObject", empty, kEmptyModule, IID_IUnknown, CO_E_ERRORINDLL},
      {"class unknown to module", kOtherClass, "", IID_IUnknown, CLASS_E_CLASSNOTAVAILABLE},
      {"interface not offered", CLSID_TestThing, "", kUnknownIid, E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    if (!c.registeredPath.empty()) RegisterClass(c.clsid, c.registeredPath);
    void* object = kGarbage;
    EXPECT_EQ(CoCreateInstance(c.clsid, nullptr, CLSCTX_INPROC_SERVER, c.iid, &object), c.expected)
        << c.what;
    EXPECT_EQ(object, nullptr) << c.what;
  }
  EXPECT_FALSE(IsLoaded(kEmptyModule)) << "a module without entries is closed again";

  void* object = kGarbage;
  auto* outer = reinterpret_cast<IUnknown*>(&object);  // never called
  EXPECT_EQ(CoCreateInstance(CLSID_TestThing, outer, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  object = kGarbage;
  EXPECT_EQ(CoCreateInstance(CLSID_TestThing, nullptr, 0x4, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
            E_POINTER);
  EXPECT_EQ(CoGetClassObject(CLSID_TestThing, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(Objects, RelativeModulePathInTheFileIsNotSearched) {
  // A hand-edited entry naming a bare file: dlopen would look it up on the
  // library path; the runtime must refuse rather than load something else.
  const std::string line = "class\t{00000005-0002-0003-0400-000000000000}\tlibc.so.6\t\n";
  WriteFile(registry, line);
  const CLSID clsid = {0x5, 0x2, 0x3, {4}};
  void* object = kGarbage;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
}

TEST_F(Objects, FreeUnusedLibrariesUnloadsOnlyWhatTheModuleAllows) {
  RegisterTestModule();
  ASSERT_FALSE(IsLoaded(kTestModule));
  void* object = nullptr;
  ASSERT_EQ(
      CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_INPROC_SERVER, IID_ITestThing, &object),
      S_OK);
  ASSERT_TRUE(IsLoaded(kTestModule));

  CoFreeUnusedLibraries();  // an object is alive: DllCanUnloadNow says no
  EXPECT_TRUE(IsLoaded(kTestModule));

  // A server lock keeps it too.
  void* factoryObject = nullptr;
  ASSERT_EQ(CoGetClassObject(CLSID_TestThing, IID_IClassFactory, &factoryObject), S_OK);
  auto* factory = static_cast<IClassFactory*>(factoryObject);
  ASSERT_EQ(factory->LockServer(1), S_OK);
  EXPECT_EQ(AnswerOf(object), 42);  // releases the object
  CoFreeUnusedLibraries();
  EXPECT_TRUE(IsLoaded(kTestModule));

  ASSERT_EQ(factory->LockServer(0), S_OK);
  factory->Release();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(IsLoaded(kTestModule));

  // Loaded again on demand.
  ASSERT_EQ(
      CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_INPROC_SERVER, IID_ITestThing, &object),
      S_OK);
  EXPECT_EQ(AnswerOf(object), 42);
}

TEST_F(Objects, InProcessClassesComeFirstAndHoldAReference) {
  RegisterTestModule();
  const ServerRegistration reg{"Shared.Name", kOtherClass, kTestModule.c_str(), nullptr, {}, 0, 0};
  ASSERT_EQ(RegisterInprocServer(&reg), S_OK);

  LocalFactory factory;
  ULONG cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_TestThing, u"Shared.Name", &factory, &cookie), S_OK);
  EXPECT_NE(cookie, 0u);
  EXPECT_EQ(factory.refs, 1u);

  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"Shared.Name", &clsid), S_OK);
  EXPECT_TRUE(clsid == CLSID_TestThing) << "the file's entry must not win";
  void* object = nullptr;
  ASSERT_EQ(
      CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_INPROC_SERVER, IID_ITestThing, &object),
      S_OK);
  EXPECT_EQ(AnswerOf(object), 7);
  EXPECT_FALSE(IsLoaded(kTestModule)) << "the module was not needed";
  EXPECT_EQ(factory.refs, 1u) << "CoCreateInstance must give back what it took";

  ASSERT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(factory.refs, 0u);
  EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
  ASSERT_EQ(CLSIDFromProgID(u"Shared.Name", &clsid), S_OK);
  EXPECT_TRUE(clsid == kOtherClass);
  ASSERT_EQ(
      CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_INPROC_SERVER, IID_ITestThing, &object),
      S_OK);
  EXPECT_EQ(AnswerOf(object), 42);
}

TEST_F(Objects, InProcessClassErrors) {
  LocalFactory factory;
  ULONG cookie = 99;
  EXPECT_EQ(CoRegisterClassObject(CLSID_TestThing, nullptr, nullptr, &cookie), E_INVALIDARG);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(CoRegisterClassObject(CLSID_TestThing, nullptr, &factory, nullptr), E_POINTER);
  const char16_t badName[] = {0xDC00, 0};
  EXPECT_EQ(CoRegisterClassObject(CLSID_TestThing, badName, &factory, &cookie), E_INVALIDARG);
  EXPECT_EQ(factory.refs, 0u);
  EXPECT_EQ(CoRevokeClassObject(0), E_INVALIDARG);
  EXPECT_EQ(CoRevokeClassObject(0xFFFFFFFF), E_INVALIDARG);

  // A factory that reports success without an object.
  factory.returnNothing = true;
  ASSERT_EQ(CoRegisterClassObject(CLSID_TestThing, nullptr, &factory, &cookie), S_OK);
  void* object = kGarbage;
  EXPECT_EQ(
      CoCreateInstance(CLSID_TestThing, nullptr, CLSCTX_INPROC_SERVER, IID_ITestThing, &object),
      E_UNEXPECTED);
  EXPECT_EQ(object, nullptr);
  object = kGarbage;
  EXPECT_EQ(CoGetClassObject(CLSID_TestThing, kUnknownIid, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  ASSERT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(factory.refs, 0u);
}

TEST_F(Objects, SeveralOffersForOneClassTheEarliestAnswers) {
  LocalFactory first, second;
  ULONG a = 0, b = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_TestThing, nullptr, &first, &a), S_OK);
  ASSERT_EQ(CoRegisterClassObject(CLSID_TestThing, nullptr, &second, &b), S_OK);
  EXPECT_NE(a, b);
  void* object = nullptr;
  ASSERT_EQ(CoGetClassObject(CLSID_TestThing, IID_IClassFactory, &object), S_OK);
  EXPECT_EQ(object, static_cast<IClassFactory*>(&first));
  static_cast<IClassFactory*>(object)->Release();
  ASSERT_EQ(CoRevokeClassObject(a), S_OK);
  ASSERT_EQ(CoGetClassObject(CLSID_TestThing, IID_IClassFactory, &object), S_OK);
  EXPECT_EQ(object, static_cast<IClassFactory*>(&second));
  static_cast<IClassFactory*>(object)->Release();
  ASSERT_EQ(CoRevokeClassObject(b), S_OK);
  EXPECT_EQ(first.refs + second.refs, 0u);
}

}  // namespace

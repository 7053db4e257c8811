// A minimal in-process server: one class, the four entries and a version
// record. It can be unloaded once no object and no server lock is left.
#include "tests/platform/test_module.h"

#include <dlfcn.h>

#include <atomic>
#include <string>

#include "orvn/comrt.h"
#include "platform/version_record.h"

using namespace orvn;
using namespace orvn_test;

ORVN_VERSION_RECORD(
    "FileVersion=1.2.3.4\n"
    "ProductVersion=1.2.0.0\n"
    "InternalName=TestThing\r\n"
    "ProductName=Orvn test module\n"
    "Comments=a=b\n");

#define TEST_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::atomic<int> liveObjects{0};
std::atomic<int> serverLocks{0};

class Thing final : public ITestThing {
 public:
  Thing() { ++liveObjects; }
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITestThing) {
      *ppv = static_cast<ITestThing*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT Answer(std::int32_t* value) override {
    if (value == nullptr) return E_POINTER;
    *value = 42;
    return S_OK;
  }

 private:
  ~Thing() { --liveObjects; }
  std::atomic<ULONG> refs_{0};
};

// Static; its own references do not keep the module loaded.
class Factory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* thing = new Thing;
    thing->AddRef();
    const HRESULT hr = thing->QueryInterface(riid, ppv);
    thing->Release();
    return hr;
  }
  HRESULT LockServer(std::int32_t lock) override {
    serverLocks += lock != 0 ? 1 : -1;
    return S_OK;
  }
};

Factory factory;

int anchor;

HRESULT Registration(bool add) {
  Dl_info info{};
  if (dladdr(&anchor, &info) == 0 || info.dli_fname == nullptr) return SELFREG_E_CLASS;
  const std::string path = info.dli_fname;
  ServerRegistration reg{};
  reg.progId = kTestProgId;
  reg.clsid = CLSID_TestThing;
  reg.modulePath = path.c_str();
  reg.typeLibName = "OrvnTestLib";
  reg.libId = LIBID_TestLib;
  reg.typeLibMajor = 1;
  reg.typeLibMinor = 2;
  return add ? RegisterInprocServer(&reg) : UnregisterInprocServer(&reg);
}

}  // namespace

TEST_EXPORT HRESULT DllRegisterServer() { return Registration(true); }
TEST_EXPORT HRESULT DllUnregisterServer() { return Registration(false); }

TEST_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!(clsid == CLSID_TestThing)) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(riid, ppv);
}

TEST_EXPORT HRESULT DllCanUnloadNow() {
  return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

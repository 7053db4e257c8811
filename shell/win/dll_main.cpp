// The DLL's entry point and its four exports (exports.def names them; the
// linker exports nothing else).
#include <windows.h>

#include "orvn/orvntypelib.h"
#include "shell/module_state.h"
#include "shell/plugin.h"
#include "shell/win/module_handle.h"
#include "shell/win/registration.h"
#include "shell/win/type_info.h"

namespace {
tb::shell::PluginFactory factory;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    tb::shell::win::SetModuleHandle(module);
    ::DisableThreadLibraryCalls(module);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // Unloaded by FreeLibrary (not at process exit): the type libraries go
    // with it.
    tb::shell::win::ReleaseTypeInfo();
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  try {
    return tb::shell::win::RegisterServer();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  try {
    return tb::shell::win::UnregisterServer();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(clsid, orvn::CLSID_clsORVNPlugIn)) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return tb::shell::CanUnload() ? S_OK : S_FALSE;
}

// The module's four entries; nothing else is exported (see exports.map).
#include <exception>
#include <string>

#include "orvn/comrt.h"
#include "platform/version_record.h"
#include "shell/module_path.h"
#include "shell/module_state.h"
#include "shell/plugin.h"
#include "trailbeam_version.h"

using namespace orvn;

#define TB_EXPORT extern "C" __attribute__((visibility("default")))

// The version record, readable from the file without loading it.
// clang-format off
ORVN_VERSION_RECORD(
    "FileVersion=" TB_VERSION_TEXT "\n"
    "ProductVersion=" TB_VERSION_TEXT "\n"
    "InternalName=TrailBeam\n"
    "ProductName=ORVN_TB_plugin2\n"
    "OriginalFilename=TrailBeam.so\n");
// clang-format on

namespace {

tb::shell::PluginFactory factory;

HRESULT Registration(bool add) noexcept {
  try {
    const std::string path = tb::shell::ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    ServerRegistration reg{};
    reg.progId = "ORVN_TB_plugin2.clsORVNPlugIn";
    reg.clsid = CLSID_clsORVNPlugIn;
    reg.modulePath = path.c_str();
    reg.typeLibName = "ORVN_TB_plugin2";
    reg.libId = LIBID_ORVN_TB_plugin2;
    reg.typeLibMajor = 1;
    reg.typeLibMinor = 0;
    return add ? RegisterInprocServer(&reg) : UnregisterInprocServer(&reg);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace

TB_EXPORT HRESULT DllRegisterServer() { return Registration(true); }

TB_EXPORT HRESULT DllUnregisterServer() { return Registration(false); }

TB_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!(clsid == CLSID_clsORVNPlugIn)) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(riid, ppv);
}

TB_EXPORT HRESULT DllCanUnloadNow() { return tb::shell::CanUnload() ? S_OK : S_FALSE; }

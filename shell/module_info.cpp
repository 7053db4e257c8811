#include "shell/module_info.h"

namespace tb::shell {

orvn::HRESULT ModuleInfo(orvn::IHostModuleInfo** info) {
  if (info == nullptr) return orvn::E_POINTER;
  *info = nullptr;
  return orvn::E_NOTIMPL;
}

orvn::HRESULT Configure(orvn::VARIANT_BOOL* result) {
  if (result == nullptr) return orvn::E_POINTER;
  return orvn::E_NOTIMPL;
}

bool WindowsAlive() { return false; }

}  // namespace tb::shell

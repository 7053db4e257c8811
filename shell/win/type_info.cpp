#include "shell/win/type_info.h"

#include <array>
#include <mutex>
#include <string>

#include "orvn/orvntypelib.h"
#include "shell/win/module_handle.h"

namespace tb::shell::win {

namespace {

// The own interface first: a name that two interfaces share is answered by
// the class's own.
constexpr std::size_t kCount = 4;
std::array<InterfaceInfo, kCount> interfaces{{
    {&orvn::IID_IclsORVNPlugIn, nullptr},
    {&IID_IORVNPlugin, nullptr},
    {&IID_IORVNModule, nullptr},
    {&IID_IORVNForm, nullptr},
}};
ITypeLib* libraries[2] = {nullptr, nullptr};
std::once_flag loaded;

ITypeLib* LoadEmbedded(const std::wstring& path) {
  ITypeLib* library = nullptr;
  if (FAILED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library))) return nullptr;
  return library;
}

void Load() {
  const std::wstring module = ModuleFileW();
  if (module.empty()) return;
  libraries[0] = LoadEmbedded(module);
  libraries[1] = LoadEmbedded(module + L"\\2");
  for (auto& entry : interfaces) {
    for (ITypeLib* library : libraries) {
      if (library != nullptr && SUCCEEDED(library->GetTypeInfoOfGuid(*entry.iid, &entry.info)))
        break;
      entry.info = nullptr;
    }
  }
}

void EnsureLoaded() { std::call_once(loaded, Load); }

}  // namespace

bool InterfaceInfo::HasMember(MEMBERID id) const {
  if (info == nullptr) return false;
  TYPEATTR* attributes = nullptr;
  if (FAILED(info->GetTypeAttr(&attributes))) return false;
  bool found = false;
  for (UINT i = 0; i < attributes->cFuncs && !found; ++i) {
    FUNCDESC* function = nullptr;
    if (FAILED(info->GetFuncDesc(i, &function))) continue;
    found = function->memid == id;
    info->ReleaseFuncDesc(function);
  }
  info->ReleaseTypeAttr(attributes);
  return found;
}

const InterfaceInfo* FindInterface(REFIID iid) {
  EnsureLoaded();
  for (const auto& entry : interfaces) {
    if (IsEqualIID(*entry.iid, iid)) return &entry;
  }
  return nullptr;
}

InterfaceList AllInterfaces() {
  EnsureLoaded();
  return {interfaces.data(), interfaces.data() + interfaces.size()};
}

void ReleaseTypeInfo() {
  for (auto& entry : interfaces) {
    if (entry.info != nullptr) entry.info->Release();
    entry.info = nullptr;
  }
  for (ITypeLib*& library : libraries) {
    if (library != nullptr) library->Release();
    library = nullptr;
  }
}

}  // namespace tb::shell::win

// The platform runtime: strings, GUID text, the class registry and object
// creation. See include/orvn/comrt.h for the contract.
//
// Lifetime at process exit: the tables below are one namespace-scope
// object. It is constructed when this library is loaded - before the host's
// and any plug-in's own statics - so it is destroyed after theirs, and a
// plug-in that revokes its class object from a static destructor still
// finds it. Its destructor frees the tables only: class objects still
// registered are not released and loaded modules are not unloaded, because
// by then the host and the modules may have torn down what that code would
// touch. The loader unmaps the modules when the process ends.
#include "orvn/comrt.h"

#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/elf_record.h"
#include "platform/registry_file.h"
#include "platform/text.h"

namespace orvn {

namespace {

using DllGetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFn = HRESULT (*)();

// Win32 error numbers used as results where com.h has no constant.
constexpr std::uint32_t kErrorBadFormat = 11;               // ERROR_BAD_FORMAT
constexpr std::uint32_t kErrorInsufficientBuffer = 122;     // ERROR_INSUFFICIENT_BUFFER
constexpr std::uint32_t kErrorResourceTypeNotFound = 1813;  // ERROR_RESOURCE_TYPE_NOT_FOUND

struct ClassOffer {
  ULONG cookie;
  CLSID clsid;
  std::string progId;
  IUnknown* factory;  // AddRef'ed while registered
};

struct LoadedModule {
  void* handle;
  std::string path;
  DllGetClassObjectFn getClassObject;
  DllCanUnloadNowFn canUnloadNow;  // null: the module stays loaded
};

// Calls come from the host's UI thread, but a plug-in may start threads of
// its own. The mutex is recursive because module code run under it
// (constructors at dlopen, DllGetClassObject, DllCanUnloadNow) may call
// back into this library. Calls into in-process class objects run without
// it: they hold their own reference.
struct Runtime {
  std::recursive_mutex mutex;
  std::vector<ClassOffer> offers;
  std::vector<LoadedModule> modules;
  ULONG nextCookie = 1;
  std::string registryPath;  // storage behind RegistryFilePath()
};

Runtime runtime;

// Byte count kept in front of every BSTR's chars, as on Windows.
using BstrPrefix = std::uint32_t;
// The byte count must fit the prefix and stay a non-negative 32-bit int for
// callers that hold lengths as int.
constexpr std::uint64_t kMaxBstrChars = (0x7FFFFFFFu - sizeof(BstrPrefix) - sizeof(OLECHAR)) / 2;

HRESULT FromErrno(int error) {
  return HRESULT_FROM_WIN32(static_cast<std::uint32_t>(error == 0 ? EIO : error));
}

// The module path of a class in the registry file.
HRESULT FindModulePath(REFCLSID clsid, std::string& path) {
  rt::RegistryData data;
  if (const int err = rt::LoadRegistryFile(rt::RegistryPath(), data))
    return err == ENOENT ? REGDB_E_CLASSNOTREG : FromErrno(err);
  for (const rt::ClassEntry& entry : data.classes) {
    if (entry.clsid == clsid) {
      path = entry.modulePath;
      return S_OK;
    }
  }
  return REGDB_E_CLASSNOTREG;
}

// Under runtime.mutex. Opens a module once; a module whose file lacks
// DllGetClassObject is closed again at once.
HRESULT LoadModule(const std::string& path, LoadedModule*& module) {
  for (LoadedModule& m : runtime.modules) {
    if (m.path == path) {
      module = &m;
      return S_OK;
    }
  }
  // Only absolute paths: a bare name would make dlopen search the library
  // path, which is not what the registry says.
  if (path.empty() || path[0] != '/') return CO_E_DLLNOTFOUND;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return CO_E_DLLNOTFOUND;
  // The same file under another name: keep one reference.
  for (LoadedModule& m : runtime.modules) {
    if (m.handle == handle) {
      ::dlclose(handle);
      module = &m;
      return S_OK;
    }
  }
  auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(::dlsym(handle, "DllGetClassObject"));
  if (getClassObject == nullptr) {
    ::dlclose(handle);
    return CO_E_ERRORINDLL;
  }
  auto canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(::dlsym(handle, "DllCanUnloadNow"));
  runtime.modules.push_back({handle, path, getClassObject, canUnloadNow});
  module = &runtime.modules.back();
  return S_OK;
}

// An in-process offer's factory, AddRef'ed, or null.
IUnknown* FindOffer(REFCLSID clsid) {
  std::lock_guard lock(runtime.mutex);
  for (const ClassOffer& offer : runtime.offers) {
    if (offer.clsid == clsid) {
      offer.factory->AddRef();
      return offer.factory;
    }
  }
  return nullptr;
}

// A success that hands back no object breaks the callers' contract.
HRESULT Checked(HRESULT hr, void** ppv) {
  if (FAILED(hr)) {
    *ppv = nullptr;
    return hr;
  }
  return *ppv == nullptr ? E_UNEXPECTED : hr;
}

HRESULT ChangeRegistration(const ServerRegistration* reg, bool add) {
  if (reg == nullptr) return E_POINTER;
  const std::string progId = reg->progId != nullptr ? reg->progId : "";
  const std::string modulePath = reg->modulePath != nullptr ? reg->modulePath : "";
  const std::string typeLibName = reg->typeLibName != nullptr ? reg->typeLibName : "";
  if (!rt::IsStorableField(progId) || !rt::IsStorableField(modulePath) ||
      !rt::IsStorableField(typeLibName))
    return E_INVALIDARG;
  if (add && (modulePath.empty() || modulePath[0] != '/')) return E_INVALIDARG;
  const bool withTypeLib = !typeLibName.empty();

  const int err = rt::UpdateRegistryFile(rt::RegistryPath(), [&](rt::RegistryData& data) {
    // Unregistering removes, and registering replaces, everything keyed by
    // this class, its ProgID and this version of its type library.
    std::erase_if(data.classes, [&](const rt::ClassEntry& e) { return e.clsid == reg->clsid; });
    std::erase_if(data.progIds, [&](const rt::ProgIdEntry& e) {
      return e.clsid == reg->clsid || (add && !progId.empty() && e.progId == progId);
    });
    // A server registered without a type library leaves type libraries alone.
    if (withTypeLib) {
      std::erase_if(data.typeLibs, [&](const rt::TypeLibEntry& e) {
        return e.libId == reg->libId && e.major == reg->typeLibMajor &&
               e.minor == reg->typeLibMinor;
      });
    }
    if (!add) return;
    data.classes.push_back({reg->clsid, modulePath, progId});
    if (!progId.empty()) data.progIds.push_back({progId, reg->clsid});
    if (withTypeLib)
      data.typeLibs.push_back(
          {reg->libId, reg->typeLibMajor, reg->typeLibMinor, typeLibName, modulePath});
  });
  return err == 0 ? S_OK : FromErrno(err);
}

}  // namespace

// ---- Strings ---------------------------------------------------------------

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  std::uint64_t length = 0;
  while (text[length] != 0) {
    if (++length > kMaxBstrChars) return nullptr;
  }
  return SysAllocStringLen(text, static_cast<UINT>(length));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > kMaxBstrChars) return nullptr;
  const std::size_t bytes = std::size_t{length} * sizeof(OLECHAR);
  auto* block =
      static_cast<unsigned char*>(std::malloc(sizeof(BstrPrefix) + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const auto prefix = static_cast<BstrPrefix>(bytes);
  std::memcpy(block, &prefix, sizeof prefix);
  auto* chars = reinterpret_cast<OLECHAR*>(block + sizeof(BstrPrefix));
  // Without a source the chars are zeroed rather than left undefined.
  if (text != nullptr)
    std::memcpy(chars, text, bytes);
  else
    std::memset(chars, 0, bytes);
  chars[length] = 0;
  return chars;
}

void SysFreeString(BSTR text) {
  if (text == nullptr) return;
  std::free(reinterpret_cast<unsigned char*>(text) - sizeof(BstrPrefix));
}

UINT SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  BstrPrefix bytes;
  std::memcpy(&bytes, reinterpret_cast<const unsigned char*>(text) - sizeof(BstrPrefix),
              sizeof bytes);
  return bytes / sizeof(OLECHAR);
}

// ---- GUIDs -----------------------------------------------------------------

int StringFromGUID2(REFIID guid, OLECHAR* buffer, int capacity) {
  if (buffer == nullptr || capacity < 39) return 0;
  char text[39];
  rt::FormatGuid(guid, text);
  for (int i = 0; i < 39; ++i) buffer[i] = static_cast<OLECHAR>(text[i]);
  return 39;
}

HRESULT GUIDFromString8(const char* text, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  if (text == nullptr) return E_INVALIDARG;
  // Never reads past the terminating null of a short string.
  const auto parsed = rt::ParseGuid(std::string_view(text, ::strnlen(text, 39)));
  if (!parsed) return E_INVALIDARG;
  *guid = *parsed;
  return S_OK;
}

// ---- Objects ---------------------------------------------------------------

// Lookup failures: REGDB_E_CLASSNOTREG when nothing is registered (an
// absent registry file included); a registry file that exists but cannot
// be read gives its errno (HRESULT_FROM_WIN32), so that a damaged registry
// is not mistaken for an empty one.
HRESULT CLSIDFromProgID(const OLECHAR* progId, CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = {};
  if (progId == nullptr) return E_INVALIDARG;
  try {
    const auto name = rt::Utf8FromUtf16(progId);
    if (!name || name->empty()) return E_INVALIDARG;
    {
      std::lock_guard lock(runtime.mutex);
      for (const ClassOffer& offer : runtime.offers) {
        if (offer.progId == *name) {
          *clsid = offer.clsid;
          return S_OK;
        }
      }
    }
    rt::RegistryData data;
    if (const int err = rt::LoadRegistryFile(rt::RegistryPath(), data))
      return err == ENOENT ? REGDB_E_CLASSNOTREG : FromErrno(err);
    for (const rt::ProgIdEntry& entry : data.progIds) {
      if (entry.progId == *name) {
        *clsid = entry.clsid;
        return S_OK;
      }
    }
    return REGDB_E_CLASSNOTREG;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;  // nothing may cross the C boundary
  }
}

HRESULT CoGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (IUnknown* factory = FindOffer(clsid)) {
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return Checked(hr, ppv);
  }
  try {
    std::string path;
    if (const HRESULT hr = FindModulePath(clsid, path); FAILED(hr)) return hr;
    std::lock_guard lock(runtime.mutex);
    LoadedModule* module = nullptr;
    if (const HRESULT hr = LoadModule(path, module); FAILED(hr)) return hr;
    // The module may call back and change the table; keep only the entry.
    const DllGetClassObjectFn getClassObject = module->getClassObject;
    return Checked(getClassObject(clsid, riid, ppv), ppv);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;  // nothing may cross the C boundary
  }
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, std::uint32_t context, REFIID riid,
                         void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  // Only in-process servers exist here; asking for none of them cannot be
  // served.
  if ((context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  void* object = nullptr;
  const HRESULT hr = CoGetClassObject(clsid, IID_IClassFactory, &object);
  if (FAILED(hr)) return hr;
  auto* factory = static_cast<IClassFactory*>(object);
  const HRESULT created = factory->CreateInstance(nullptr, riid, ppv);
  factory->Release();
  return Checked(created, ppv);
}

HRESULT CoRegisterClassObject(REFCLSID clsid, const OLECHAR* progId, IUnknown* factory,
                              ULONG* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (factory == nullptr) return E_INVALIDARG;
  try {
    std::string name;
    if (progId != nullptr) {
      const auto utf8 = rt::Utf8FromUtf16(progId);
      if (!utf8) return E_INVALIDARG;
      name = *utf8;
    }
    std::lock_guard lock(runtime.mutex);
    // Cookies are never 0 and never in use, even after wrapping round.
    auto inUse = [](ULONG c) {
      for (const ClassOffer& o : runtime.offers)
        if (o.cookie == c) return true;
      return false;
    };
    while (runtime.nextCookie == 0 || inUse(runtime.nextCookie)) ++runtime.nextCookie;
    const ULONG newCookie = runtime.nextCookie++;
    // Several offers for one class may exist; the earliest still registered
    // answers.
    runtime.offers.push_back({newCookie, clsid, std::move(name), factory});
    factory->AddRef();
    *cookie = newCookie;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;  // nothing may cross the C boundary
  }
}

HRESULT CoRevokeClassObject(ULONG cookie) {
  IUnknown* factory = nullptr;
  {
    std::lock_guard lock(runtime.mutex);
    auto it = std::find_if(runtime.offers.begin(), runtime.offers.end(),
                           [&](const ClassOffer& o) { return o.cookie == cookie; });
    if (cookie == 0 || it == runtime.offers.end()) return E_INVALIDARG;
    factory = it->factory;
    runtime.offers.erase(it);
  }
  factory->Release();
  return S_OK;
}

void CoFreeUnusedLibraries() {
  std::lock_guard lock(runtime.mutex);
  // A snapshot, since DllCanUnloadNow and dlclose run module code that may
  // call back into the table.
  std::vector<std::pair<void*, DllCanUnloadNowFn>> candidates;
  try {
    for (const LoadedModule& m : runtime.modules)
      if (m.canUnloadNow != nullptr) candidates.emplace_back(m.handle, m.canUnloadNow);
  } catch (...) {
    return;  // nothing unloaded is a safe answer
  }
  const auto find = [](void* handle) {
    return std::find_if(runtime.modules.begin(), runtime.modules.end(),
                        [&](const LoadedModule& m) { return m.handle == handle; });
  };
  for (const auto& candidate : candidates) {
    void* const handle = candidate.first;
    // Gone already if an earlier module's code unloaded it.
    if (find(handle) == runtime.modules.end() || candidate.second() != S_OK) continue;
    const auto it = find(handle);
    if (it == runtime.modules.end()) continue;
    runtime.modules.erase(it);
    ::dlclose(handle);
  }
}

// ---- Registration ----------------------------------------------------------

HRESULT RegisterInprocServer(const ServerRegistration* registration) {
  try {
    return ChangeRegistration(registration, true);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;  // nothing may cross the C boundary
  }
}

HRESULT UnregisterInprocServer(const ServerRegistration* registration) {
  try {
    return ChangeRegistration(registration, false);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;  // nothing may cross the C boundary
  }
}

const char* RegistryFilePath() {
  std::lock_guard lock(runtime.mutex);
  try {
    runtime.registryPath = rt::RegistryPath();
  } catch (...) {
    runtime.registryPath.clear();
  }
  return runtime.registryPath.c_str();
}

// ---- Version record --------------------------------------------------------

// Failures: the file's errno (HRESULT_FROM_WIN32), ERROR_BAD_FORMAT for a
// file that is no sound ELF64 module of this machine, ERROR_RESOURCE_TYPE_
// NOT_FOUND for a module without a record, ERROR_INSUFFICIENT_BUFFER when
// the value and its null do not fit (value is then ""). The first line of
// a key counts.
HRESULT ReadModuleVersionRecord(const char* modulePath, const char* key, char* value,
                                std::uint32_t capacity) {
  if (modulePath == nullptr || key == nullptr || *key == 0) return E_INVALIDARG;
  if (value == nullptr && capacity > 0) return E_POINTER;
  if (capacity > 0) *value = 0;
  try {
    const rt::RecordResult record = rt::ReadVersionSection(modulePath);
    switch (record.status) {
      case rt::RecordStatus::Ok:
        break;
      case rt::RecordStatus::CannotOpen:
        return FromErrno(record.error);
      case rt::RecordStatus::BadFormat:
        return HRESULT_FROM_WIN32(kErrorBadFormat);
      case rt::RecordStatus::NoRecord:
        return HRESULT_FROM_WIN32(kErrorResourceTypeNotFound);
    }
    for (const auto& [k, v] : rt::ParseVersionRecord(record.text)) {
      if (k != key) continue;
      if (v.size() >= capacity) return HRESULT_FROM_WIN32(kErrorInsufficientBuffer);
      std::memcpy(value, v.c_str(), v.size() + 1);
      return S_OK;
    }
    return S_FALSE;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;  // nothing may cross the C boundary
  }
}

}  // namespace orvn

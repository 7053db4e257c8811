// The platform runtime: the process-wide services that an Orvane host and
// its plug-ins share (string allocation, the class registry, object
// creation). On Linux it is the shared library liborvncom.so, which the host
// and every plug-in link, so that all of them use one allocator and one
// table of registered classes.
//
// The class registry is a text file. Its location is $ORVNCOM_REGISTRY, or
// $XDG_CONFIG_HOME/orvncom/registry, or ~/.config/orvncom/registry.
#pragma once

#include "orvn/com.h"

#if defined(_WIN32)
#define ORVNCOM_API extern "C" __declspec(dllimport)
#else
#define ORVNCOM_API extern "C" __attribute__((visibility("default")))
#endif

namespace orvn {

// Strings. SysAllocString* return null when out of memory (or for a null
// source in SysAllocString). SysFreeString(null) does nothing.
ORVNCOM_API BSTR SysAllocString(const OLECHAR* text);
ORVNCOM_API BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
ORVNCOM_API void SysFreeString(BSTR text);
ORVNCOM_API UINT SysStringLen(BSTR text);  // 0 for null

// GUIDs in registry form: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, 38 chars.
// buffer: [out] at least 39 chars. Returns the count written including the
// terminating null, or 0 when the buffer is too small.
ORVNCOM_API int StringFromGUID2(REFIID guid, OLECHAR* buffer, int capacity);
ORVNCOM_API HRESULT GUIDFromString8(const char* text, GUID* guid);  // E_INVALIDARG on bad text

// Objects. CLSIDFromProgID and CoCreateInstance look first at the classes
// registered in this process (CoRegisterClassObject), then in the registry
// file; a module found there is loaded with dlopen and asked through
// DllGetClassObject. outer must be null (no aggregation).
ORVNCOM_API HRESULT CLSIDFromProgID(const OLECHAR* progId, CLSID* clsid);
ORVNCOM_API HRESULT CoGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
ORVNCOM_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, std::uint32_t context,
                                     REFIID riid, void** ppv);
inline constexpr std::uint32_t CLSCTX_INPROC_SERVER = 0x1;

// In-process class offers: a host makes its own classes creatable for the
// plug-ins in its process. factory: [in] an IClassFactory, AddRef'ed until
// revoked. progId: [in] may be null. cookie: [out] for CoRevokeClassObject.
ORVNCOM_API HRESULT CoRegisterClassObject(REFCLSID clsid, const OLECHAR* progId,
                                          IUnknown* factory, ULONG* cookie);
ORVNCOM_API HRESULT CoRevokeClassObject(ULONG cookie);

// Asks every module loaded by CoCreateInstance whether it can be unloaded
// (DllCanUnloadNow) and unloads those that answer S_OK.
ORVNCOM_API void CoFreeUnusedLibraries();

// Registration data of one in-process server, used by a module's
// DllRegisterServer and DllUnregisterServer. All strings UTF-8.
struct ServerRegistration {
  const char* progId;        // e.g. "Library.Class"
  CLSID clsid;
  const char* modulePath;    // absolute path of the module file
  const char* typeLibName;   // e.g. "Library"
  GUID libId;
  std::uint16_t typeLibMajor;
  std::uint16_t typeLibMinor;
};
// Both rewrite the registry file atomically; unregistering a server that
// is not registered succeeds.
ORVNCOM_API HRESULT RegisterInprocServer(const ServerRegistration* registration);
ORVNCOM_API HRESULT UnregisterInprocServer(const ServerRegistration* registration);

// The registry file's path (UTF-8, static storage, valid until the next call).
ORVNCOM_API const char* RegistryFilePath();

// The version record of a module file, read from the file without loading
// it (the ELF section ".orvn_version": key=value lines). keys as in
// FileVersion, ProductVersion, InternalName, ProductName. value: [out] up to
// capacity bytes including the null. S_FALSE when the key is absent.
ORVNCOM_API HRESULT ReadModuleVersionRecord(const char* modulePath, const char* key, char* value,
                                            std::uint32_t capacity);

}  // namespace orvn

#include "shell/win/registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <string>

#include "orvn/orvntypelib.h"
#include "shell/win/module_handle.h"

namespace tb::shell::win {

namespace {

constexpr wchar_t kProgId[] = L"ORVN_TB_plugin2.clsORVNPlugIn";
constexpr WORD kMajor = 1;
constexpr WORD kMinor = 0;

#if defined(_WIN64)
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return text;
}

HRESULT FromStatus(LSTATUS status) {
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

// Sets a value of HKEY_CLASSES_ROOT\key, creating the key; name null is the
// key's default value.
HRESULT SetText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  LSTATUS status = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return FromStatus(status);
  status = ::RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(handle);
  return FromStatus(status);
}

// The key with everything below it; a key that is not there is no failure.
HRESULT DeleteTree(const std::wstring& key) {
  LSTATUS status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  // With a subkey named, the key itself goes too; where it stays, it is
  // empty now.
  if (status == ERROR_SUCCESS) status = ::RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
  return status == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(status);
}

HRESULT WriteClassKeys(const std::wstring& modulePath) {
  const std::wstring clsid = GuidText(orvn::CLSID_clsORVNPlugIn);
  const std::wstring classKey = L"CLSID\\" + clsid;
  const struct {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
  } entries[] = {
      {kProgId, nullptr, kProgId},
      {std::wstring(kProgId) + L"\\CLSID", nullptr, clsid},
      {classKey, nullptr, kProgId},
      {classKey + L"\\InprocServer32", nullptr, modulePath},
      {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {classKey + L"\\ProgID", nullptr, kProgId},
      {classKey + L"\\TypeLib", nullptr, GuidText(orvn::LIBID_ORVN_TB_plugin2)},
      {classKey + L"\\VERSION", nullptr, L"1.0"},
  };
  for (const auto& entry : entries) {
    if (const HRESULT hr = SetText(entry.key, entry.name, entry.value); FAILED(hr)) return hr;
  }
  return S_OK;
}

// Registered under the path given, resource index included: loading with
// REGKIND_REGISTER records the file's path alone on some systems.
HRESULT RegisterLibrary(const std::wstring& path) {
  ITypeLib* library = nullptr;
  HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  std::wstring copy = path;  // the API takes a non-const pointer
  hr = ::RegisterTypeLib(library, copy.data(), nullptr);
  library->Release();
  return hr;
}

HRESULT UnregisterLibrary(REFGUID libId) {
  BSTR path = nullptr;
  const bool registered = SUCCEEDED(::QueryPathOfRegTypeLib(libId, kMajor, kMinor, 0, &path));
  ::SysFreeString(path);
  if (!registered) return S_OK;
  return ::UnRegisterTypeLib(libId, kMajor, kMinor, 0, kSysKind);
}

// Earlier builds registered ORVNTypeLib from the DLL's second resource
// where no host had registered it; such a registration is the DLL's own to
// remove. One the host made names the host's file and stays.
bool HostLibraryRegisteredFrom(const std::wstring& embedded) {
  BSTR path = nullptr;
  const bool registered =
      SUCCEEDED(::QueryPathOfRegTypeLib(LIBID_ORVNTypeLib, kMajor, kMinor, 0, &path));
  const bool ours = registered && path != nullptr && ::lstrcmpiW(path, embedded.c_str()) == 0;
  ::SysFreeString(path);
  return ours;
}

}  // namespace

HRESULT RegisterServer() {
  const std::wstring module = ModuleFileW();
  if (module.empty()) return SELFREG_E_CLASS;
  if (const HRESULT hr = WriteClassKeys(module); FAILED(hr)) return SELFREG_E_CLASS;
  if (FAILED(RegisterLibrary(module))) return SELFREG_E_TYPELIB;
  return S_OK;
}

HRESULT UnregisterServer() {
  const std::wstring module = ModuleFileW();
  if (module.empty()) return SELFREG_E_CLASS;
  HRESULT result = S_OK;
  if (FAILED(DeleteTree(kProgId))) result = SELFREG_E_CLASS;
  if (FAILED(DeleteTree(L"CLSID\\" + GuidText(orvn::CLSID_clsORVNPlugIn))))
    result = SELFREG_E_CLASS;
  if (FAILED(UnregisterLibrary(orvn::LIBID_ORVN_TB_plugin2))) result = SELFREG_E_TYPELIB;
  if (HostLibraryRegisteredFrom(module + L"\\2") && FAILED(UnregisterLibrary(LIBID_ORVNTypeLib)))
    result = SELFREG_E_TYPELIB;
  return result;
}

}  // namespace tb::shell::win

#include "host/session/plugin_session.h"

#include <dlfcn.h>

#include <cstdio>

#include "host/session/module_info_object.h"
#include "orvn/comrt.h"

namespace tbhost {
namespace {

// Our own tiny owner for BSTRs handed to the plug-in.
struct Bstr {
  explicit Bstr(const char16_t* text) : value(orvn::SysAllocString(text)) {}
  ~Bstr() { orvn::SysFreeString(value); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  orvn::BSTR value;
};

std::string ToUtf8(orvn::BSTR text) {
  std::string out;
  const orvn::UINT n = orvn::SysStringLen(text);
  for (orvn::UINT i = 0; i < n; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // lone surrogate
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

std::string HresultText(orvn::HRESULT hr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(hr));
  return buffer;
}

PluginSession::PluginSession(Universe& universe, HostCallCounts& counts)
    : helper_(ChannelHelper::Create(universe, counts)) {}

PluginSession::~PluginSession() {
  if (plugin_ != nullptr) {
    orvn::VARIANT_BOOL ignored = 0;
    plugin_->Term(&ignored);
  }
  if (form_ != nullptr) form_->Release();
  if (plugin_ != nullptr) plugin_->Release();
  if (offered_) orvn::CoRevokeClassObject(cookie_);
  if (factory_ != nullptr) factory_->Release();
  if (helper_ != nullptr) helper_->Release();
  // moduleHandle_ is left open on purpose: unloading a module whose Qt
  // objects may still be referenced by the application is unsafe.
}

orvn::HRESULT PluginSession::Fail(const std::string& step, orvn::HRESULT hr) {
  lastError_ = step + " failed (" + HresultText(hr) + ")";
  return hr;
}

orvn::HRESULT PluginSession::OfferHostClasses() {
  if (offered_) return orvn::S_OK;
  if (factory_ == nullptr) factory_ = HostModuleInfoFactory::Create();
  if (factory_ == nullptr)
    return Fail("Creating the HostModuleInfo class object", orvn::E_OUTOFMEMORY);
  const orvn::HRESULT hr = orvn::CoRegisterClassObject(
      orvn::CLSID_HostModuleInfo, orvn::ProgID_HostModuleInfo, factory_, &cookie_);
  if (orvn::FAILED(hr)) return Fail("Offering HostModuleInfo", hr);
  offered_ = true;
  return hr;
}

orvn::HRESULT PluginSession::RegisterModule(const std::string& modulePath) {
  void* handle = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    lastError_ = "Loading " + modulePath + " failed: " + (why != nullptr ? why : "unknown error");
    return orvn::CO_E_DLLNOTFOUND;
  }
  moduleHandle_ = handle;
  modulePath_ = modulePath;
  using RegisterFn = orvn::HRESULT (*)();
  auto reg = reinterpret_cast<RegisterFn>(dlsym(handle, "DllRegisterServer"));
  if (reg == nullptr) {
    lastError_ = modulePath + " has no DllRegisterServer";
    return orvn::CO_E_ERRORINDLL;
  }
  const orvn::HRESULT hr = reg();
  if (orvn::FAILED(hr)) return Fail("DllRegisterServer of " + modulePath, hr);
  return hr;
}

orvn::HRESULT PluginSession::Start() {
  if (helper_ == nullptr) return Fail("Creating the helper object", orvn::E_OUTOFMEMORY);
  orvn::CLSID clsid{};
  orvn::HRESULT hr = orvn::CLSIDFromProgID(kPluginProgId, &clsid);
  if (orvn::FAILED(hr)) return Fail("CLSIDFromProgID(ORVN_TB_plugin2.clsORVNPlugIn)", hr);
  void* object = nullptr;
  hr = orvn::CoCreateInstance(clsid, nullptr, orvn::CLSCTX_INPROC_SERVER, orvn::IID_IORVNPlugin,
                              &object);
  if (orvn::FAILED(hr) || object == nullptr)
    return Fail("CoCreateInstance(ORVN_TB_plugin2.clsORVNPlugIn)",
                orvn::FAILED(hr) ? hr : orvn::E_POINTER);
  plugin_ = static_cast<orvn::IORVNPlugin*>(object);

  Bstr title(u"TrailBeam reference host");
  Bstr file(u"TrailBeam.so");
  orvn::IORVNPluginHelper* helper = helper_;
  orvn::VARIANT_BOOL ok = 0;
  hr = plugin_->Init(&title.value, &file.value, &helper, &ok);
  if (orvn::FAILED(hr)) return Fail("Init", hr);
  return orvn::S_OK;
}

orvn::HRESULT PluginSession::Configure() {
  if (plugin_ == nullptr) return Fail("Configure", orvn::E_UNEXPECTED);
  orvn::VARIANT_BOOL ok = 0;
  const orvn::HRESULT hr = plugin_->Configure(&ok);
  if (orvn::FAILED(hr)) return Fail("Configure", hr);
  return hr;
}

orvn::HRESULT PluginSession::ShowMainForm(void** widget) {
  if (widget == nullptr) return orvn::E_POINTER;
  *widget = nullptr;
  if (plugin_ == nullptr) return Fail("ModuleInfo", orvn::E_UNEXPECTED);
  if (form_ == nullptr) {
    orvn::IORVNModule* module = nullptr;
    orvn::HRESULT hr =
        plugin_->QueryInterface(orvn::IID_IORVNModule, reinterpret_cast<void**>(&module));
    if (orvn::FAILED(hr) || module == nullptr) return Fail("QueryInterface(IORVNModule)", hr);
    orvn::IHostModuleInfo* info = nullptr;
    hr = module->get_ModuleInfo(&info);
    module->Release();
    if (orvn::FAILED(hr) || info == nullptr)
      return Fail("ModuleInfo", orvn::FAILED(hr) ? hr : orvn::E_POINTER);
    orvn::BSTR name = nullptr;
    if (orvn::SUCCEEDED(info->get_ModuleName(&name))) moduleName_ = ToUtf8(name);
    orvn::SysFreeString(name);
    hr = info->get_MainForm(&form_);
    info->Release();
    if (orvn::FAILED(hr) || form_ == nullptr)
      return Fail("ModuleInfo.MainForm", orvn::FAILED(hr) ? hr : orvn::E_POINTER);
  }
  void* w = nullptr;
  if (orvn::SUCCEEDED(form_->get_Widget(&w)) && w != nullptr) {
    *widget = w;
    return orvn::S_OK;
  }
  const orvn::HRESULT hr = form_->Show();
  if (orvn::FAILED(hr)) return Fail("MainForm.Show", hr);
  return hr;
}

}  // namespace tbhost

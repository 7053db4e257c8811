// One plug-in as the host runs it: its host classes offered, the module
// registered and created by ProgID, Init'ed with the host's helper, its
// module description and main window fetched.
#pragma once

#include <string>

#include "host/session/channel_helper.h"
#include "orvn/orvntypelib.h"

namespace tbhost {

inline constexpr char16_t kPluginProgId[] = u"ORVN_TB_plugin2.clsORVNPlugIn";

std::string HresultText(orvn::HRESULT hr);

class PluginSession {
 public:
  PluginSession(Universe& universe, HostCallCounts& counts);
  // Term, then every reference released and the host's class withdrawn.
  // The module stays loaded: its windows belong to the process's Qt.
  ~PluginSession();
  PluginSession(const PluginSession&) = delete;
  PluginSession& operator=(const PluginSession&) = delete;

  // Makes HostModuleInfo creatable for plug-ins in this process.
  orvn::HRESULT OfferHostClasses();
  // Loads the module file and runs its DllRegisterServer, as regsvr32 does.
  orvn::HRESULT RegisterModule(const std::string& modulePath);
  // CLSIDFromProgID + CoCreateInstance, then Init with the helper.
  orvn::HRESULT Start();
  // IORVNPlugin.Configure: returns when the setup window has closed.
  orvn::HRESULT Configure();
  // ModuleInfo, once: MainForm kept for the session. widget receives the
  // form's QWidget* (null when the plug-in does not hand one out; the form
  // is then shown with Show()).
  orvn::HRESULT ShowMainForm(void** widget);

  ChannelHelper* Helper() const { return helper_; }
  orvn::IORVNPlugin* Plugin() const { return plugin_; }
  // What the last failing step was and why, for the operator.
  const std::string& LastError() const { return lastError_; }
  // The module file registered, as given to RegisterModule.
  const std::string& ModulePath() const { return modulePath_; }
  // The module description as the plug-in filled it (UTF-8), after ShowMainForm.
  const std::string& ModuleName() const { return moduleName_; }

 private:
  orvn::HRESULT Fail(const std::string& step, orvn::HRESULT hr);

  ChannelHelper* helper_ = nullptr;
  orvn::IUnknown* factory_ = nullptr;
  orvn::ULONG cookie_ = 0;
  bool offered_ = false;
  orvn::IORVNPlugin* plugin_ = nullptr;
  orvn::IORVNForm* form_ = nullptr;
  void* moduleHandle_ = nullptr;
  std::string lastError_;
  std::string moduleName_;
  std::string modulePath_;
};

}  // namespace tbhost

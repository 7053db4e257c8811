// The plug-in's module description and configuration entry, which connect
// the host to the plug-in's windows.
#pragma once

#include "orvn/orvntypelib.h"

namespace tb::shell {

// A new HostModuleInfo, created through the platform runtime and filled;
// the caller owns it. On failure *info is null and the failure is returned.
orvn::HRESULT ModuleInfo(orvn::IHostModuleInfo** info);

// Shows the device setup window modally; *result true however it closed.
orvn::HRESULT Configure(orvn::VARIANT_BOOL* result);

// Whether any window object of the component exists (the module must not
// be unloaded while one does).
bool WindowsAlive();

}  // namespace tb::shell

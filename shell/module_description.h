// The module description that ModuleInfo hands the host: a new
// HostModuleInfo of the host's class, filled in the order the host expects.
// The windows' toolkit only supplies the main window object.
#pragma once

#include <functional>

#include "orvn/orvntypelib.h"

namespace tb::shell {

// Gives the main window object, AddRef'ed, creating the window object on
// first use; a failure ends ModuleInfo with it.
using MainFormSource = std::function<orvn::HRESULT(orvn::IORVNForm** form)>;

// Creates HostModuleInfo through the COM runtime and sets its properties;
// the caller owns the result. On failure *info is null, the object created
// is released and the failure is returned.
orvn::HRESULT DescribeModule(orvn::IHostModuleInfo** info, const MainFormSource& mainForm);

}  // namespace tb::shell

// The registry entries of the in-process server: the class under its ProgID
// and CLSID, and the type libraries embedded in the DLL.
#pragma once

#include <windows.h>

namespace tb::shell::win {

// Writes the class keys (ProgID, CLSID, InprocServer32 with the DLL's path
// and ThreadingModel Apartment, TypeLib, VERSION) and registers the
// component's type library. The host's library ORVNTypeLib and its
// interfaces' keys are the host's: untouched.
HRESULT RegisterServer();

// Removes everything RegisterServer wrote, and an ORVNTypeLib registration
// that names this DLL (left by earlier builds). Succeeds when nothing was
// registered.
HRESULT UnregisterServer();

}  // namespace tb::shell::win

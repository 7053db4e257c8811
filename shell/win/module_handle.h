// The DLL's own module handle, from its entry point, and what follows from
// it: the file's path and the folder that TrailBeam.ini lives in.
#pragma once

#include <windows.h>

#include <string>

namespace tb::shell::win {

void SetModuleHandle(HINSTANCE module);
HINSTANCE ModuleHandle();

// The DLL file's full path; empty if it cannot be found.
std::wstring ModuleFileW();

// UTF-16 to UTF-8 and back; invalid sequences give an empty result.
std::string ToUtf8(const std::wstring& wide);
std::wstring ToWide(const std::string& utf8);

}  // namespace tb::shell::win

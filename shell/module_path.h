// Where the plug-in's own module file lies.
#pragma once

#include <string>

namespace tb::shell {

// The folder of the module file that contains this code (found with
// dladdr), without a trailing "/"; "." if it cannot be found.
std::string ModuleFolder();

// ModuleFolder() + "/" + "TrailBeam.ini".
std::string SettingsPath();

// The module file's own path; empty if it cannot be found.
std::string ModulePath();

}  // namespace tb::shell

#include "shell/module_path.h"

#include <dlfcn.h>

#include "rig/settings_file.h"

namespace tb::shell {

namespace {
int anchor;
}

std::string ModulePath() {
  Dl_info info{};
  if (dladdr(&anchor, &info) == 0 || info.dli_fname == nullptr) return {};
  return info.dli_fname;
}

std::string ModuleFolder() {
  const std::string path = ModulePath();
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string SettingsPath() {
  std::string folder = ModuleFolder();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder + kSettingsFileName;
}

}  // namespace tb::shell

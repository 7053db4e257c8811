#include "rig/settings_file.h"
#include "shell/module_path.h"
#include "shell/win/module_handle.h"

namespace tb::shell {

namespace win {

namespace {
HINSTANCE module = nullptr;
}

void SetModuleHandle(HINSTANCE handle) { module = handle; }
HINSTANCE ModuleHandle() { return module; }

std::wstring ModuleFileW() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::string ToUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size, nullptr, 0,
                                      nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size, utf8.data(), n, nullptr,
                        nullptr);
  return utf8;
}

std::wstring ToWide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), n);
  return wide;
}

}  // namespace win

std::string ModulePath() { return win::ToUtf8(win::ModuleFileW()); }

std::string ModuleFolder() {
  const std::string path = ModulePath();
  const auto slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash);
}

std::string SettingsPath() {
  std::string folder = ModuleFolder();
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
  return folder + kSettingsFileName;
}

}  // namespace tb::shell

// Everything under HKEY_CLASSES_ROOT as seen by this program's bitness, to
// show what a registration changed:
//   registry_snapshot save <file>
//   registry_snapshot only <file> [key ...]
//   registry_snapshot unchanged <file> key ...
// Both comparisons list every key whose values or subkeys differ from the
// saved snapshot. "only" fails unless each lies at or beneath one of the
// keys given; "unchanged" fails if any does. Keys are named without
// "HKCR\" (case does not matter; the same key in the other bitness's view,
// under Wow6432Node, counts as the key).
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// key -> its values, one line each: name, type and data in hex.
using Snapshot = std::map<std::wstring, std::set<std::wstring>>;

std::wstring Hex(const BYTE* data, DWORD size) {
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring text;
  for (DWORD i = 0; i < size; ++i) {
    text += digits[data[i] >> 4];
    text += digits[data[i] & 15];
  }
  return text;
}

std::wstring Upper(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

void Read(HKEY parent, const std::wstring& path, Snapshot& into) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, path.empty() ? nullptr : path.c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return;
  auto& values = into[Upper(path)];
  std::vector<wchar_t> name(16384);
  std::vector<BYTE> data(1 << 16);
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LSTATUS status =
        RegEnumValueW(key, i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) continue;
    values.insert(std::wstring(name.data(), nameSize) + L"|" + std::to_wstring(type) + L"|" +
                  Hex(data.data(), dataSize));
  }
  std::vector<std::wstring> children;
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    const LSTATUS status =
        RegEnumKeyExW(key, i, name.data(), &nameSize, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_SUCCESS) children.emplace_back(name.data(), nameSize);
  }
  RegCloseKey(key);
  for (const auto& child : children)
    Read(parent, path.empty() ? child : path + L"\\" + child, into);
}

Snapshot Take() {
  Snapshot snapshot;
  Read(HKEY_CLASSES_ROOT, L"", snapshot);
  return snapshot;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  std::string out(static_cast<std::size_t>(size) * 3, '\0');
  out.resize(static_cast<std::size_t>(WideCharToMultiByte(
      CP_UTF8, 0, text.data(), size, out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  std::wstring out(text.size(), L'\0');
  out.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), size)));
  return out;
}

// One line a key, then one a value, beginning with a tab; UTF-8.
bool Save(const Snapshot& snapshot, const wchar_t* file) {
  std::ofstream out(file, std::ios::binary);
  for (const auto& [key, values] : snapshot) {
    out << Utf8(key) << "\n";
    for (const auto& value : values) out << "\t" << Utf8(value) << "\n";
  }
  return static_cast<bool>(out);
}

bool Load(const wchar_t* file, Snapshot& snapshot) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::string line;
  std::set<std::wstring>* values = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '\t') {
      if (values != nullptr) values->insert(Wide(line.substr(1)));
    } else {
      values = &snapshot[Wide(line)];
    }
  }
  return true;
}

// A key of the other bitness's view (Wow6432Node) counts as the key itself:
// registering a type library writes the interface's keys into both.
bool Beneath(std::wstring key, const std::vector<std::wstring>& own) {
  const std::wstring otherView = L"WOW6432NODE\\";
  if (key.compare(0, otherView.size(), otherView) == 0) key.erase(0, otherView.size());
  return std::any_of(own.begin(), own.end(), [&](const std::wstring& root) {
    return key == root || (key.size() > root.size() && key.compare(0, root.size(), root) == 0 &&
                           key[root.size()] == L'\\');
  });
}

// mayChange: the keys given are the only ones that may differ, else the
// ones that must not.
int Compare(const wchar_t* file, const std::vector<std::wstring>& keys, bool mayChange) {
  Snapshot before;
  if (!Load(file, before)) {
    std::printf("cannot read %s\n", Utf8(file).c_str());
    return 2;
  }
  const Snapshot after = Take();
  std::set<std::wstring> changed;
  for (const auto& [key, values] : before) {
    const auto found = after.find(key);
    if (found == after.end() || found->second != values) changed.insert(key);
  }
  for (const auto& [key, values] : after)
    if (before.find(key) == before.end()) changed.insert(key);
  int wrong = 0;
  for (const auto& key : changed) {
    const bool allowed = Beneath(key, keys) == mayChange;
    wrong += allowed ? 0 : 1;
    std::printf("%s %s\n", allowed ? "changed          " : "changed, must not", Utf8(key).c_str());
  }
  std::printf("%zu keys changed, %d of them must not\n", changed.size(), wrong);
  return wrong == 0 ? 0 : 1;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  const std::wstring verb = args != nullptr && count >= 3 ? args[1] : L"";
  int status = 2;
  if (verb == L"save" && count == 3) {
    status = Save(Take(), args[2]) ? 0 : 1;
  } else if (verb == L"only" || verb == L"unchanged") {
    std::vector<std::wstring> keys;
    for (int i = 3; i < count; ++i) keys.push_back(Upper(args[i]));
    status = Compare(args[2], keys, verb == L"only");
  } else {
    std::fprintf(stderr, "usage: registry_snapshot save|only|unchanged <file> [key ...]\n");
  }
  if (args != nullptr) LocalFree(args);
  return status;
}

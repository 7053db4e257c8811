// orvn-regsvr: registers and unregisters in-process servers, shows a
// module's version record and lists the class registry.
//
//   orvn-regsvr MODULE      load MODULE and call its DllRegisterServer
//   orvn-regsvr -u MODULE   load MODULE and call its DllUnregisterServer
//   orvn-regsvr -v MODULE   print MODULE's version record (not loaded)
//   orvn-regsvr -l          list the registry
//
// Exit codes: 0 success, 1 usage, 2 module cannot be found or loaded,
// 3 entry missing, 4 the entry or the registry reported a failure.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "orvn/com.h"
#include "platform/elf_record.h"
#include "platform/registry_file.h"
#include "platform/text.h"

namespace {

using orvn::HRESULT;

enum Exit { kOk = 0, kUsage = 1, kNoModule = 2, kNoEntry = 3, kFailed = 4 };

void Usage(std::FILE* to) {
  std::fputs(
      "Usage: orvn-regsvr MODULE       register MODULE\n"
      "       orvn-regsvr -u MODULE    unregister MODULE\n"
      "       orvn-regsvr -v MODULE    show MODULE's version record\n"
      "       orvn-regsvr -l           list the class registry\n",
      to);
}

// The module's own path is what it writes into the registry, so it must
// not depend on the current folder. Symbolic links are kept: the registry
// names the file the operator named.
bool AbsolutePath(const char* name, std::string& path) {
  if (name[0] == '/') {
    path = name;
    return true;
  }
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return false;
  path = std::string(cwd) + "/" + name;
  return true;
}

int CallEntry(const char* name, const char* entry) {
  std::string path;
  if (!AbsolutePath(name, path)) {
    std::fprintf(stderr, "orvn-regsvr: cannot make %s absolute: %s\n", name, std::strerror(errno));
    return kNoModule;
  }
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    std::fprintf(stderr, "orvn-regsvr: cannot load %s: %s\n", path.c_str(),
                 why != nullptr ? why : "unknown error");
    return kNoModule;
  }
  using EntryFn = HRESULT (*)();
  auto fn = reinterpret_cast<EntryFn>(::dlsym(handle, entry));
  if (fn == nullptr) {
    std::fprintf(stderr, "orvn-regsvr: %s has no entry %s\n", path.c_str(), entry);
    ::dlclose(handle);
    return kNoEntry;
  }
  const HRESULT hr = fn();
  // Not unloaded: a module may have started work that outlives the call,
  // and the process ends right away.
  if (orvn::FAILED(hr)) {
    std::fprintf(stderr, "orvn-regsvr: %s in %s failed: 0x%08X\n", entry, path.c_str(),
                 static_cast<std::uint32_t>(hr));
    return kFailed;
  }
  std::printf("%s in %s succeeded.\n", entry, path.c_str());
  return kOk;
}

int ShowVersion(const char* name) {
  const orvn::rt::RecordResult record = orvn::rt::ReadVersionSection(name);
  switch (record.status) {
    case orvn::rt::RecordStatus::Ok:
      break;
    case orvn::rt::RecordStatus::CannotOpen:
      std::fprintf(stderr, "orvn-regsvr: cannot open %s: %s\n", name, std::strerror(record.error));
      return kNoModule;
    case orvn::rt::RecordStatus::BadFormat:
      std::fprintf(stderr, "orvn-regsvr: %s is not a module file or is damaged\n", name);
      return kNoModule;
    case orvn::rt::RecordStatus::NoRecord:
      std::fprintf(stderr, "orvn-regsvr: %s has no version record\n", name);
      return kNoEntry;
  }
  for (const auto& [key, value] : orvn::rt::ParseVersionRecord(record.text))
    std::printf("%s=%s\n", key.c_str(), value.c_str());
  return kOk;
}

int List() {
  const std::string path = orvn::rt::RegistryPath();
  if (path.empty()) {
    std::fputs("orvn-regsvr: no registry file: neither ORVNCOM_REGISTRY nor a home folder\n",
               stderr);
    return kFailed;
  }
  orvn::rt::RegistryData data;
  if (const int err = orvn::rt::LoadRegistryFile(path, data)) {
    std::fprintf(stderr, "orvn-regsvr: cannot read %s: %s\n", path.c_str(), std::strerror(err));
    return kFailed;
  }
  std::printf("Registry: %s\n", path.c_str());
  std::puts("Classes:");
  for (const auto& e : data.classes)
    std::printf("  %s  %s  %s\n", orvn::rt::FormatGuid(e.clsid).c_str(),
                e.progId.empty() ? "-" : e.progId.c_str(), e.modulePath.c_str());
  std::puts("ProgIDs:");
  for (const auto& e : data.progIds)
    std::printf("  %s  %s\n", e.progId.c_str(), orvn::rt::FormatGuid(e.clsid).c_str());
  std::puts("Type libraries:");
  for (const auto& e : data.typeLibs)
    std::printf("  %s  %u.%u  %s  %s\n", orvn::rt::FormatGuid(e.libId).c_str(), unsigned{e.major},
                unsigned{e.minor}, e.name.c_str(), e.modulePath.c_str());
  if (!data.otherLines.empty())
    std::printf("(%zu line(s) not understood, kept unchanged)\n", data.otherLines.size());
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (argc == 2 && first == "-l") return List();
    if (argc == 2 && (first == "-h" || first == "--help")) {
      Usage(stdout);
      return kOk;
    }
    if (argc == 3 && first == "-u") return CallEntry(argv[2], "DllUnregisterServer");
    if (argc == 3 && first == "-v") return ShowVersion(argv[2]);
    if (argc == 3 && first == "--") return CallEntry(argv[2], "DllRegisterServer");
    if (argc == 2 && !first.empty() && first[0] != '-')
      return CallEntry(argv[1], "DllRegisterServer");
    Usage(stderr);
    return kUsage;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvn-regsvr: %s\n", e.what());
    return kFailed;
  }
}

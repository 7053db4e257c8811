#include "platform/registry_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

#include "platform/text.h"

namespace orvn::rt {

namespace {

constexpr char kHeader[] =
    "# orvncom class registry, written by the platform runtime.\n"
    "# One entry per line, fields separated by one TAB:\n"
    "#   class   {CLSID}  module-path  ProgID\n"
    "#   progid  ProgID   {CLSID}\n"
    "#   typelib {LIBID}  major.minor  name  module-path\n";

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

std::optional<std::uint16_t> ParseNumber16(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (value > 0xFFFF) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

bool IsAbsolutePath(std::string_view path) { return !path.empty() && path[0] == '/'; }

// One understood line, or false.
bool ParseEntry(std::string_view line, RegistryData& data) {
  const std::vector<std::string_view> f = SplitFields(line);
  if (f[0] == "class" && f.size() == 4) {
    const auto clsid = ParseGuid(f[1]);
    if (!clsid || !IsAbsolutePath(f[2])) return false;
    data.classes.push_back({*clsid, std::string(f[2]), std::string(f[3])});
    return true;
  }
  if (f[0] == "progid" && f.size() == 3) {
    const auto clsid = ParseGuid(f[2]);
    if (!clsid || f[1].empty()) return false;
    data.progIds.push_back({std::string(f[1]), *clsid});
    return true;
  }
  if (f[0] == "typelib" && f.size() == 5) {
    const auto libId = ParseGuid(f[1]);
    const std::size_t dot = f[2].find('.');
    if (!libId || dot == std::string_view::npos || f[3].empty() || !IsAbsolutePath(f[4]))
      return false;
    const auto major = ParseNumber16(f[2].substr(0, dot));
    const auto minor = ParseNumber16(f[2].substr(dot + 1));
    if (!major || !minor) return false;
    data.typeLibs.push_back({*libId, *major, *minor, std::string(f[3]), std::string(f[4])});
    return true;
  }
  return false;
}

std::string ParentFolder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

int MakeFolders(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  if (errno != ENOENT) return errno;
  const std::string parent = ParentFolder(folder);
  if (parent != folder) {
    if (const int err = MakeFolders(parent)) return err;
  }
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  return 0;
}

int WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

int ReplaceFile(const std::string& path, int folderFd, std::string_view text) {
  const std::string folder = ParentFolder(path);
  const std::size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = folder + "/." + name + ".XXXXXX";
  Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) return errno;

  mode_t mode = 0644;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;

  int err = WriteAll(fd.get(), text);
  if (err == 0 && ::fchmod(fd.get(), mode) != 0) err = errno;
  if (err == 0 && ::fsync(fd.get()) != 0) err = errno;
  if (err == 0 && ::close(fd.release()) != 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    return err;
  }
  // The rename is durable only once the folder is synced; the data is
  // already safe, so a failure here is not reported.
  ::fsync(folderFd);
  return 0;
}

}  // namespace

bool IsStorableField(std::string_view value) {
  return value.find_first_of(std::string_view("\t\r\n\0", 4)) == std::string_view::npos;
}

RegistryData ParseRegistry(std::string_view text) {
  RegistryData data;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    if (!ParseEntry(line, data)) data.otherLines.emplace_back(line);
  }
  return data;
}

std::string FormatRegistry(const RegistryData& data) {
  std::string out = kHeader;
  for (const ClassEntry& e : data.classes)
    out += "class\t" + FormatGuid(e.clsid) + '\t' + e.modulePath + '\t' + e.progId + '\n';
  for (const ProgIdEntry& e : data.progIds)
    out += "progid\t" + e.progId + '\t' + FormatGuid(e.clsid) + '\n';
  for (const TypeLibEntry& e : data.typeLibs)
    out += "typelib\t" + FormatGuid(e.libId) + '\t' + std::to_string(e.major) + '.' +
           std::to_string(e.minor) + '\t' + e.name + '\t' + e.modulePath + '\n';
  for (const std::string& line : data.otherLines) out += line + '\n';
  return out;
}

std::string RegistryPath() {
  if (const char* path = std::getenv("ORVNCOM_REGISTRY"); path != nullptr && *path != 0)
    return path;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
    return std::string(xdg) + "/orvncom/registry";
  std::string home;
  if (const char* env = std::getenv("HOME"); env != nullptr && *env != 0) {
    home = env;
  } else {
    passwd entry{};
    passwd* result = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
        result != nullptr && result->pw_dir != nullptr)
      home = result->pw_dir;
  }
  if (home.empty()) return {};
  return home + "/.config/orvncom/registry";
}

int LoadRegistryFile(const std::string& path, RegistryData& data) {
  data = {};
  if (path.empty()) return ENOENT;
  // Non-blocking, so that a FIFO put in the file's place cannot hang us.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return errno == ENOENT ? 0 : errno;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  if (static_cast<std::uint64_t>(st.st_size) > kMaxRegistryFileSize) return EFBIG;

  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kMaxRegistryFileSize) return EFBIG;  // grew while we read
  }
  data = ParseRegistry(text);
  return 0;
}

int UpdateRegistryFile(const std::string& path, const std::function<void(RegistryData&)>& change) {
  if (path.empty()) return ENOENT;
  std::string target = path;
  // Keep a symbolic link a link: write to what it points at.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) target = resolved;
  }
  const std::string folder = ParentFolder(target);
  if (const int err = MakeFolders(folder)) return err;
  Fd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderFd.get() < 0) return errno;
  // Locking the folder rather than a lock file leaves nothing behind; the
  // lock is released when folderFd closes.
  while (::flock(folderFd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return errno;
  }
  RegistryData data;
  if (const int err = LoadRegistryFile(target, data)) return err;
  change(data);
  return ReplaceFile(target, folderFd.get(), FormatRegistry(data));
}

}  // namespace orvn::rt

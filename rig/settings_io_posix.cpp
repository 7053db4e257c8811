#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "rig/settings_io.h"

namespace tb {

namespace {

std::error_code LastSystemError() { return {errno, std::system_category()}; }

std::error_code WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastSystemError();
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Open with O_EXCL under a name of our own, next to the target so that the
// rename stays within one file system. Unlike mkstemp this keeps the
// process's umask for a new file.
int CreateTempFile(const std::string& path, mode_t mode, std::string& tempPath) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

std::error_code SaveAtomically(const std::string& path, std::string_view bytes,
                               SaveInterruption interruption) {
  struct stat existing {};
  bool exists = false;
  if (::stat(path.c_str(), &existing) == 0) {
    exists = true;
    // Never rename over a folder, device or pipe (a link to /dev/null, say).
    if (!S_ISREG(existing.st_mode)) return make_error_code(Errc::not_regular_file);
    // The counterpart of the read-only attribute: honoured even when the
    // process could write anyway (as root), since the operator set it.
    if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
      return make_error_code(Errc::read_only_file);
    }
  } else if (errno != ENOENT) {
    return LastSystemError();
  }

  std::string tempPath;
  const int fd = CreateTempFile(path, 0666, tempPath);
  if (fd < 0) return LastSystemError();

  std::error_code error = WriteAll(fd, bytes);
  // The replacement keeps the permissions the operator gave the old file.
  if (!error && exists && ::fchmod(fd, existing.st_mode & 07777) != 0) error = LastSystemError();
  if (!error && ::fsync(fd) != 0) error = LastSystemError();
  if (::close(fd) != 0 && !error) error = LastSystemError();
  if (!error && interruption != nullptr) error = interruption(tempPath);
  if (!error && ::rename(tempPath.c_str(), path.c_str()) != 0) error = LastSystemError();
  if (error) {
    ::unlink(tempPath.c_str());
    return error;
  }

  // Make the rename itself durable. File systems that cannot sync a folder
  // say EINVAL; the file is in place then all the same.
  const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return LastSystemError();
  if (::fsync(dir) != 0 && errno != EINVAL) error = LastSystemError();
  ::close(dir);
  return error;
}

}  // namespace

std::error_code ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                                      SaveInterruption interruption) {
  // A settings file that is a symbolic link is saved where the link points,
  // so the link stays a link instead of being replaced by a plain file.
  std::string target = path;
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    if (!resolved) return LastSystemError();
    target = resolved.get();
  }
  return SaveAtomically(target, bytes, interruption);
}

std::FILE* OpenRegularFileForReading(const std::string& path) {
  // Non-blocking open, so a pipe in the file's place cannot hang the
  // host's user-interface thread; only regular files are read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) ::close(fd);
  return file;
}

}  // namespace tb

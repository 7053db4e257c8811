#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// What stands at path: nothing (exists false), or a regular file that may
// be replaced. `protectedError` and `irregularError` name the refusals.
std::error_code CheckReplaceable(const std::string& path, bool followLinks, struct stat& info,
                                 bool& exists, Errc protectedError, Errc irregularError) {
  exists = false;
  if ((followLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info)) != 0) {
    return errno == ENOENT ? std::error_code{} : LastSystemError();
  }
  exists = true;
  // A backup that is a link is replaced by the rename itself, never followed.
  if (!followLinks && S_ISLNK(info.st_mode)) return {};
  // Never rename over a folder, device or pipe (a link to /dev/null, say).
  if (!S_ISREG(info.st_mode)) return make_error_code(irregularError);
  // The counterpart of the read-only attribute: honoured even when the
  // process could write anyway (as root), since the operator set it.
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return make_error_code(protectedError);
  return {};
}

// A complete, synced copy of `from` beside `backup`, in a temporary file;
// empty tempPath when the old file already holds `bytes` (nothing to keep).
std::error_code CopyOldFile(const std::string& from, mode_t mode, const std::string& backup,
                            std::string_view bytes, std::string& tempPath) {
  tempPath.clear();
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  // A file the operator made write-only cannot be kept, but may be saved.
  if (in < 0) return errno == EACCES ? std::error_code{} : LastSystemError();
  std::string copy;
  const int out = CreateTempFile(backup, 0600, copy);
  if (out < 0) {
    const std::error_code error = LastSystemError();
    ::close(in);
    return error;
  }
  std::error_code error;
  bool same = true;
  std::size_t offset = 0;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = LastSystemError();
    if (n <= 0) break;
    const std::string_view chunk(buffer, static_cast<std::size_t>(n));
    same = same && bytes.substr(std::min(offset, bytes.size())).starts_with(chunk);
    offset += chunk.size();
    error = WriteAll(out, chunk);
    if (error) break;
  }
  ::close(in);
  same = same && offset == bytes.size();
  // The backup keeps the permissions of the file it was.
  if (!error && !same && ::fchmod(out, mode & 07777) != 0) error = LastSystemError();
  if (!error && !same && ::fsync(out) != 0) error = LastSystemError();
  if (::close(out) != 0 && !error) error = LastSystemError();
  if (error || same) {
    ::unlink(copy.c_str());
    return error;
  }
  tempPath = copy;
  return {};
}

std::error_code SaveAtomically(const std::string& path, std::string_view bytes,
                               SaveInterruption interruption) {
  struct stat existing {};
  bool exists = false;
  if (const auto error = CheckReplaceable(path, true, existing, exists, Errc::read_only_file,
                                          Errc::not_regular_file))
    return error;
  const std::string backup = path + kBackupSuffix;
  if (exists) {
    struct stat old {};
    bool backupExists = false;
    if (const auto error = CheckReplaceable(backup, false, old, backupExists,
                                            Errc::backup_read_only, Errc::backup_not_regular))
      return error;
  }

  std::string tempPath;
  const int fd = CreateTempFile(path, 0666, tempPath);
  if (fd < 0) return LastSystemError();

  std::error_code error = WriteAll(fd, bytes);
  // The replacement keeps the permissions the operator gave the old file.
  if (!error && exists && ::fchmod(fd, existing.st_mode & 07777) != 0) error = LastSystemError();
  if (!error && ::fsync(fd) != 0) error = LastSystemError();
  if (::close(fd) != 0 && !error) error = LastSystemError();
  std::string backupTemp;
  if (!error && exists) error = CopyOldFile(path, existing.st_mode, backup, bytes, backupTemp);
  if (!error && interruption != nullptr) error = interruption(tempPath);
  if (!error && ::rename(tempPath.c_str(), path.c_str()) != 0) error = LastSystemError();
  if (error) {
    ::unlink(tempPath.c_str());
    if (!backupTemp.empty()) ::unlink(backupTemp.c_str());
    return error;
  }
  // Only now that the new file is in place does the old one become the
  // backup, so a failed save leaves the earlier backup as it was. Should
  // this rename fail, the settings are saved all the same.
  if (!backupTemp.empty() && ::rename(backupTemp.c_str(), backup.c_str()) != 0)
    ::unlink(backupTemp.c_str());

  // Make the renames themselves durable. File systems that cannot sync a
  // folder say EINVAL; the files are in place then all the same.
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

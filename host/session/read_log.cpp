#include "host/session/read_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tbhost {

std::unique_ptr<ReadLog> ReadLog::FromEnvironment() {
  const char* path = std::getenv(kReadLogVariable);
  if (path == nullptr || *path == '\0') return nullptr;
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "trailbeam-host: %s: cannot open %s: %s\n", kReadLogVariable, path,
                 std::strerror(errno));
    return nullptr;
  }
  return std::make_unique<ReadLog>(fd);
}

ReadLog::~ReadLog() { ::close(fd_); }

void ReadLog::Note(std::int32_t channel) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
  char line[48];
  const int n = std::snprintf(line, sizeof line, "%lld %d\n", static_cast<long long>(ns),
                              static_cast<int>(channel));
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof line) return;
  // A short write or a full disk loses a line of measurement, nothing else.
  [[maybe_unused]] const ssize_t written = ::write(fd_, line, static_cast<std::size_t>(n));
}

}  // namespace tbhost

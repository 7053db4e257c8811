// When the plug-in reads channels, for measuring the follow timer from
// outside: with TRAILBEAM_READ_LOG=FILE in the environment, the host appends
// one line per read, "<steady clock in ns> <channel>", to FILE. The steady
// clock is CLOCK_MONOTONIC, the same in every process of the machine.
#pragma once

#include <cstdint>
#include <memory>

namespace tbhost {

inline constexpr char kReadLogVariable[] = "TRAILBEAM_READ_LOG";

class ReadLog {
 public:
  // Null when the variable is unset or empty; a message on stderr and null
  // when the file cannot be opened.
  static std::unique_ptr<ReadLog> FromEnvironment();
  explicit ReadLog(int fd) : fd_(fd) {}
  ~ReadLog();
  ReadLog(const ReadLog&) = delete;
  ReadLog& operator=(const ReadLog&) = delete;

  // One line, written at once: a measurement that stops (or is killed) keeps
  // every read before it.
  void Note(std::int32_t channel);

 private:
  int fd_;
};

}  // namespace tbhost

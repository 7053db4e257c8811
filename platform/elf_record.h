// Reading a module's version record from its file, without loading it.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvn::rt {

inline constexpr char kVersionSectionName[] = ".orvn_version";
// A larger record is taken as a damaged file.
inline constexpr std::size_t kMaxVersionRecordSize = 64u << 10;

enum class RecordStatus {
  Ok,
  CannotOpen,  // error holds the errno value
  BadFormat,   // not a 64-bit ELF file of this machine's byte order, or damaged
  NoRecord,    // a sound ELF file without the section
};

struct RecordResult {
  RecordStatus status = RecordStatus::BadFormat;
  int error = 0;
  std::string text;  // the section's bytes when Ok
};

// Every offset and size in the file is checked against the file size
// before it is used; nothing is mapped or executed.
RecordResult ReadVersionSection(const std::string& path);

// "key=value" lines up to the first NUL; CR before LF is dropped, lines
// without '=' or with an empty key are skipped. In file order.
std::vector<std::pair<std::string, std::string>> ParseVersionRecord(std::string_view text);

}  // namespace orvn::rt

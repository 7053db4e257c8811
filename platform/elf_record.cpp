#include "platform/elf_record.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace orvn::rt {

namespace {

// More sections than this is no module of ours; it also bounds the memory
// a hostile header can make us allocate.
constexpr std::uint64_t kMaxSections = 1u << 20;

class File {
 public:
  explicit File(const std::string& path)
      : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() {
    if (fd_ >= 0) ::close(fd_);
  }
  int fd() const { return fd_; }
  std::uint64_t size = 0;

  // Reads exactly `length` bytes at `offset`, which must lie in the file.
  bool ReadAt(std::uint64_t offset, void* buffer, std::uint64_t length) const {
    if (offset > size || length > size - offset) return false;
    auto* out = static_cast<unsigned char*>(buffer);
    while (length > 0) {
      const ssize_t n = ::pread(fd_, out, length, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      out += n;
      offset += static_cast<std::uint64_t>(n);
      length -= static_cast<std::uint64_t>(n);
    }
    return true;
  }

 private:
  int fd_;
};

bool InFile(const File& file, const Elf64_Shdr& section) {
  return section.sh_offset <= file.size && section.sh_size <= file.size - section.sh_offset;
}

RecordResult Status(RecordStatus status, int error = 0) {
  RecordResult result;
  result.status = status;
  result.error = error;
  return result;
}

}  // namespace

RecordResult ReadVersionSection(const std::string& path) {
  File file(path);
  if (file.fd() < 0) return Status(RecordStatus::CannotOpen, errno);
  struct stat st {};
  if (::fstat(file.fd(), &st) != 0) return Status(RecordStatus::CannotOpen, errno);
  if (S_ISDIR(st.st_mode)) return Status(RecordStatus::CannotOpen, EISDIR);
  if (!S_ISREG(st.st_mode) || st.st_size < 0) return Status(RecordStatus::BadFormat);
  file.size = static_cast<std::uint64_t>(st.st_size);

  Elf64_Ehdr header{};
  if (!file.ReadAt(0, &header, sizeof header)) return Status(RecordStatus::BadFormat);
  constexpr unsigned char kNativeData =
      std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_ident[EI_DATA] != kNativeData)
    return Status(RecordStatus::BadFormat);
  if (header.e_shoff == 0) return Status(RecordStatus::NoRecord);
  if (header.e_shentsize != sizeof(Elf64_Shdr)) return Status(RecordStatus::BadFormat);

  // Large section counts and string-table indexes live in section 0.
  std::uint64_t count = header.e_shnum;
  std::uint64_t namesIndex = header.e_shstrndx;
  if (count == 0 || namesIndex == SHN_XINDEX) {
    Elf64_Shdr first{};
    if (!file.ReadAt(header.e_shoff, &first, sizeof first)) return Status(RecordStatus::BadFormat);
    if (count == 0) count = first.sh_size;
    if (namesIndex == SHN_XINDEX) namesIndex = first.sh_link;
  }
  if (count == 0 || count > kMaxSections || namesIndex >= count)
    return Status(RecordStatus::BadFormat);
  std::vector<Elf64_Shdr> sections(count);
  if (!file.ReadAt(header.e_shoff, sections.data(), count * sizeof(Elf64_Shdr)))
    return Status(RecordStatus::BadFormat);

  const Elf64_Shdr& names = sections[namesIndex];
  if (names.sh_type == SHT_NOBITS || !InFile(file, names)) return Status(RecordStatus::BadFormat);

  // The name plus its terminating NUL, compared in place.
  constexpr std::uint64_t kNameBytes = sizeof kVersionSectionName;
  for (const Elf64_Shdr& section : sections) {
    if (section.sh_name >= names.sh_size || names.sh_size - section.sh_name < kNameBytes) continue;
    char name[kNameBytes];
    if (!file.ReadAt(names.sh_offset + section.sh_name, name, kNameBytes))
      return Status(RecordStatus::BadFormat);
    if (std::memcmp(name, kVersionSectionName, kNameBytes) != 0) continue;
    if (section.sh_type == SHT_NOBITS || !InFile(file, section) ||
        section.sh_size > kMaxVersionRecordSize)
      return Status(RecordStatus::BadFormat);
    RecordResult result;
    result.text.resize(section.sh_size);
    if (!file.ReadAt(section.sh_offset, result.text.data(), section.sh_size))
      return Status(RecordStatus::BadFormat);
    result.status = RecordStatus::Ok;
    return result;
  }
  return Status(RecordStatus::NoRecord);
}

std::vector<std::pair<std::string, std::string>> ParseVersionRecord(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<std::pair<std::string, std::string>> entries;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) continue;
    entries.emplace_back(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
  }
  return entries;
}

}  // namespace orvn::rt

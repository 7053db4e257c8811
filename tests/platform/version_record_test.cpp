#include <elf.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <random>
#include <string>

#include "orvn/comrt.h"
#include "platform/elf_record.h"
#include "tests/platform/support.h"

using namespace orvn;
using namespace orvn_test;
namespace fs = std::filesystem;

namespace {

constexpr HRESULT kBadFormat = HRESULT_FROM_WIN32(11);
constexpr HRESULT kNoRecord = HRESULT_FROM_WIN32(1813);
constexpr HRESULT kBufferTooSmall = HRESULT_FROM_WIN32(122);

std::string Read(const std::string& path, const char* key, HRESULT expected = S_OK) {
  char value[256];
  std::memset(value, 'x', sizeof value);
  EXPECT_EQ(ReadModuleVersionRecord(path.c_str(), key, value, sizeof value), expected) << key;
  EXPECT_NE(std::memchr(value, 0, sizeof value), nullptr) << "value not terminated";
  return value;
}

TEST(VersionRecord, ReadsTheTestModuleWithoutLoadingIt) {
  struct Case {
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"FileVersion", "1.2.3.4"},          {"ProductVersion", "1.2.0.0"},
      {"InternalName", "TestThing"},                             // CR before LF dropped
      {"ProductName", "Orvn test module"}, {"Comments", "a=b"},  // only the first '=' separates
  };
  for (const Case& c : cases) EXPECT_EQ(Read(kTestModule, c.key), c.value);
  EXPECT_EQ(Read(kTestModule, "LegalCopyright", S_FALSE), "");
  EXPECT_EQ(Read(kTestModule, "fileversion", S_FALSE), "") << "keys are case-sensitive";
  EXPECT_FALSE(IsLoaded(kTestModule));
}

TEST(VersionRecord, BufferSizes) {
  char value[8];
  // "1.2.3.4" needs exactly 8 bytes with its null.
  EXPECT_EQ(ReadModuleVersionRecord(kTestModule.c_str(), "FileVersion", value, 8), S_OK);
  EXPECT_STREQ(value, "1.2.3.4");
  EXPECT_EQ(ReadModuleVersionRecord(kTestModule.c_str(), "FileVersion", value, 7), kBufferTooSmall);
  EXPECT_STREQ(value, "");
  EXPECT_EQ(ReadModuleVersionRecord(kTestModule.c_str(), "FileVersion", nullptr, 0),
            kBufferTooSmall);
  EXPECT_EQ(ReadModuleVersionRecord(kTestModule.c_str(), "FileVersion", nullptr, 8), E_POINTER);
  EXPECT_EQ(ReadModuleVersionRecord(nullptr, "FileVersion", value, 8), E_INVALIDARG);
  EXPECT_EQ(ReadModuleVersionRecord(kTestModule.c_str(), nullptr, value, 8), E_INVALIDARG);
  EXPECT_EQ(ReadModuleVersionRecord(kTestModule.c_str(), "", value, 8), E_INVALIDARG);
}

TEST(VersionRecord, TheRecordIsNotAnExportedSymbol) {
  void* handle = ::dlopen(kTestModule.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(::dlsym(handle, "orvn_version_record"), nullptr);
  EXPECT_NE(::dlsym(handle, "DllGetClassObject"), nullptr);
  ::dlclose(handle);
}

TEST(VersionRecord, ParsesLinesLeniently) {
  using Entry = std::pair<std::string, std::string>;
  const auto entries = rt::ParseVersionRecord("A=1\r\n=no key\nno separator\nB=\nC=3");
  EXPECT_EQ(entries, (std::vector<Entry>{{"A", "1"}, {"B", ""}, {"C", "3"}}));
  const std::string withNull("X=1\n\0Y=2\n", 9);
  EXPECT_EQ(rt::ParseVersionRecord(withNull).size(), 1u) << "the record ends at its null";
}

class HostileFiles : public TempRegistryTest {
 protected:
  void SetUp() override {
    TempRegistryTest::SetUp();
    module = ReadFile(kTestModule);
    ASSERT_GT(module.size(), sizeof(Elf64_Ehdr));
    std::memcpy(&header, module.data(), sizeof header);
    // Locate the record's and the names' section headers in the good file.
    for (unsigned i = 0; i < header.e_shnum; ++i) {
      const std::size_t at = header.e_shoff + i * sizeof(Elf64_Shdr);
      Elf64_Shdr section;
      std::memcpy(&section, module.data() + at, sizeof section);
      if (i == header.e_shstrndx) namesAt = at;
      const std::size_t nameAt = HeaderAt(header.e_shstrndx).sh_offset + section.sh_name;
      if (std::strcmp(module.data() + nameAt, ".orvn_version") == 0) recordAt = at;
    }
    ASSERT_NE(recordAt, 0u);
    ASSERT_NE(namesAt, 0u);
  }

  Elf64_Shdr HeaderAt(unsigned index) const {
    Elf64_Shdr section;
    std::memcpy(&section, module.data() + header.e_shoff + index * sizeof(Elf64_Shdr),
                sizeof section);
    return section;
  }

  template <typename T>
  static void Patch(std::string& bytes, std::size_t at, T value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
  }

  // Writes the bytes to a file and reads its record; the answer must be a
  // failure or a terminated value, never a crash or an overread.
  HRESULT Try(const std::string& bytes) {
    const fs::path path = dir / "hostile.so";
    WriteFile(path, bytes);
    char value[64];
    std::memset(value, 'x', sizeof value);
    const HRESULT hr = ReadModuleVersionRecord(path.c_str(), "FileVersion", value, sizeof value);
    EXPECT_NE(std::memchr(value, 0, sizeof value), nullptr);
    return hr;
  }

  std::string module;
  Elf64_Ehdr header{};
  std::size_t recordAt = 0;
  std::size_t namesAt = 0;
};

TEST_F(HostileFiles, DamagedHeadersGiveAnErrorResult) {
  const std::uint64_t huge = ~std::uint64_t{0};
  struct Case {
    const char* what;
    std::size_t at;
    std::uint64_t value;
    std::size_t width;
    HRESULT expected;
  };
  const std::size_t shOff = offsetof(Elf64_Shdr, sh_offset), shSize = offsetof(Elf64_Shdr, sh_size);
  const Case cases[] = {
      {"bad magic", 1, 'e', 1, kBadFormat},
      {"32-bit class", EI_CLASS, ELFCLASS32, 1, kBadFormat},
      {"big-endian", EI_DATA, ELFDATA2MSB, 1, kBadFormat},
      {"headers past the end", offsetof(Elf64_Ehdr, e_shoff), module.size(), 8, kBadFormat},
      {"headers offset overflows", offsetof(Elf64_Ehdr, e_shoff), huge - 8, 8, kBadFormat},
      {"no section headers", offsetof(Elf64_Ehdr, e_shoff), 0, 8, kNoRecord},
      {"wrong header size", offsetof(Elf64_Ehdr, e_shentsize), 32, 2, kBadFormat},
      {"more headers than the file", offsetof(Elf64_Ehdr, e_shnum), 0xFEFF, 2, kBadFormat},
      {"names index out of range", offsetof(Elf64_Ehdr, e_shstrndx), 0xFEFF, 2, kBadFormat},
      {"names past the end", namesAt + shOff, module.size() + 1, 8, kBadFormat},
      {"names size overflows", namesAt + shSize, huge, 8, kBadFormat},
      {"record past the end", recordAt + shOff, module.size(), 8, kBadFormat},
      {"record offset + size overflow", recordAt + shOff, huge - 2, 8, kBadFormat},
      {"record far too large", recordAt + shSize, 1u << 30, 8, kBadFormat},
      {"record without bytes", recordAt + offsetof(Elf64_Shdr, sh_type), SHT_NOBITS, 4, kBadFormat},
      {"record name out of range", recordAt + offsetof(Elf64_Shdr, sh_name), 0xFFFFFFF0u, 4,
       kNoRecord},
  };
  for (const Case& c : cases) {
    std::string bytes = module;
    ASSERT_LE(c.at + c.width, bytes.size()) << c.what;
    std::memcpy(bytes.data() + c.at, &c.value, c.width);  // little-endian
    EXPECT_EQ(Try(bytes), c.expected) << c.what;
  }
}

TEST_F(HostileFiles, TruncatedFilesAndNonFiles) {
  for (std::size_t length : {std::size_t{0}, std::size_t{4}, sizeof(Elf64_Ehdr) - 1,
                             sizeof(Elf64_Ehdr), module.size() / 2, module.size() - 1}) {
    const HRESULT hr = Try(module.substr(0, length));
    EXPECT_TRUE(FAILED(hr)) << length;
  }
  EXPECT_EQ(Try("#!/bin/sh\necho not a module\n"), kBadFormat);
  EXPECT_EQ(Read(kEmptyModule, "FileVersion", kNoRecord), "");

  char value[16];
  EXPECT_EQ(ReadModuleVersionRecord((dir / "missing.so").c_str(), "FileVersion", value, 16),
            HRESULT_FROM_WIN32(ENOENT));
  EXPECT_TRUE(FAILED(ReadModuleVersionRecord(dir.c_str(), "FileVersion", value, 16)));
  // A FIFO must neither block nor be read.
  const fs::path fifo = dir / "fifo.so";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadModuleVersionRecord(fifo.c_str(), "FileVersion", value, 16), kBadFormat);
}

TEST_F(HostileFiles, RandomDamageToTheHeadersNeverCrashes) {
  // The header and both section headers that the reader follows, hit with
  // random bytes; run under the address sanitizer this catches overreads.
  std::mt19937 random(20240611);
  std::vector<std::pair<std::size_t, std::size_t>> ranges = {
      {0, sizeof(Elf64_Ehdr)}, {namesAt, sizeof(Elf64_Shdr)}, {recordAt, sizeof(Elf64_Shdr)}};
  int failures = 0;
  for (int round = 0; round < 400; ++round) {
    std::string bytes = module;
    for (int hit = 0; hit < 1 + round % 4; ++hit) {
      const auto& [start, length] = ranges[random() % ranges.size()];
      bytes[start + random() % length] = static_cast<char>(random());
    }
    if (FAILED(Try(bytes))) ++failures;
  }
  EXPECT_GT(failures, 0);
}

}  // namespace

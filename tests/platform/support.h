// Helpers for the runtime tests: a private registry per test, files, and
// the paths of the test modules and the tool.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace orvn_test {

inline const std::string kTestModule = ORVN_TEST_MODULE;
inline const std::string kEmptyModule = ORVN_EMPTY_MODULE;
inline const std::string kRegsvr = ORVN_REGSVR;

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  ASSERT_TRUE(out.good()) << path;
}

// Whether the loader currently has the module mapped.
inline bool IsLoaded(const std::string& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  ::dlclose(handle);
  return true;
}

// A fresh folder, and ORVNCOM_REGISTRY pointing into it, for every test.
class TempRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvncom-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    registry = dir / "registry";
    const char* old = std::getenv("ORVNCOM_REGISTRY");
    oldRegistry = old != nullptr ? old : "";
    ::setenv("ORVNCOM_REGISTRY", registry.c_str(), 1);
  }
  void TearDown() override {
    ::setenv("ORVNCOM_REGISTRY", oldRegistry.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  std::filesystem::path dir;
  std::filesystem::path registry;
  std::string oldRegistry;
};

}  // namespace orvn_test

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "orvn/comrt.h"
#include "platform/registry_file.h"
#include "platform/text.h"
#include "tests/platform/support.h"

using namespace orvn;
using namespace orvn_test;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

constexpr CLSID kClsA = {
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr CLSID kClsB = {
    0xAAAAAAAA, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr GUID kLib = {
    0x99999999, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

ServerRegistration Reg(const char* progId, const CLSID& clsid, const char* path) {
  return {progId, clsid, path, "SomeLib", kLib, 1, 0};
}

CLSID Lookup(const char16_t* progId, HRESULT expected = S_OK) {
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(progId, &clsid), expected);
  return clsid;
}

TEST(RegistryParse, SortsLinesIntoEntriesAndKeepsTheRest) {
  const std::string clsA = rt::FormatGuid(kClsA);
  const std::string text =
      "# comment\r\n"
      "\n"
      "class\t" +
      clsA +
      "\t/m/a.so\tLib.A\r\n"
      "progid\tLib.A\t" +
      clsA +
      "\n"
      "typelib\t" +
      rt::FormatGuid(kLib) +
      "\t1.65535\tLib\t/m/a.so\n"
      "class\t" +
      clsA +
      "\trelative.so\tLib.A\n"                 // relative path
      "class\t{NOT-A-GUID}\t/m/a.so\tLib.A\n"  // bad GUID
      "class\t" +
      clsA +
      "\t/m/a.so\n"  // field missing
      "progid\t\t" +
      clsA +
      "\n"  // empty ProgID
      "typelib\t" +
      rt::FormatGuid(kLib) +
      "\t1.65536\tLib\t/m/a.so\n"  // minor too big
      "typelib\t" +
      rt::FormatGuid(kLib) +
      "\t1\tLib\t/m/a.so\n"  // no dot
      "future\tsomething new\n"
      "\x01\x02\xff binary junk";  // no final line break
  const rt::RegistryData data = rt::ParseRegistry(text);
  ASSERT_EQ(data.classes.size(), 1u);
  EXPECT_TRUE(data.classes[0].clsid == kClsA);
  EXPECT_EQ(data.classes[0].modulePath, "/m/a.so");
  EXPECT_EQ(data.classes[0].progId, "Lib.A");
  ASSERT_EQ(data.progIds.size(), 1u);
  EXPECT_EQ(data.progIds[0].progId, "Lib.A");
  ASSERT_EQ(data.typeLibs.size(), 1u);
  EXPECT_EQ(data.typeLibs[0].major, 1);
  EXPECT_EQ(data.typeLibs[0].minor, 65535);
  EXPECT_EQ(data.otherLines.size(), 8u);
  EXPECT_EQ(data.otherLines.back(), "\x01\x02\xff binary junk");

  // Writing and reading again gives the same entries and the same kept lines.
  const rt::RegistryData again = rt::ParseRegistry(rt::FormatRegistry(data));
  EXPECT_EQ(again.classes.size(), 1u);
  EXPECT_EQ(again.progIds.size(), 1u);
  EXPECT_EQ(again.typeLibs.size(), 1u);
  EXPECT_EQ(again.otherLines, data.otherLines);
}

TEST(RegistryPath, FollowsTheEnvironmentInOrder) {
  struct Case {
    const char* registry;
    const char* xdg;
    const char* home;
    std::string expected;
  };
  const Case cases[] = {
      {"/r/reg", "/x", "/h", "/r/reg"},
      {"", "/x", "/h", "/x/orvncom/registry"},
      {nullptr, "/x", "/h", "/x/orvncom/registry"},
      {nullptr, "", "/h", "/h/.config/orvncom/registry"},
      {nullptr, "relative", "/h", "/h/.config/orvncom/registry"},
      {nullptr, nullptr, "/h", "/h/.config/orvncom/registry"},
  };
  const auto keep = [](const char* name) {
    const char* v = std::getenv(name);
    return std::pair<bool, std::string>(v != nullptr, v != nullptr ? v : "");
  };
  const auto set = [](const char* name, const char* value) {
    if (value != nullptr)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  };
  const auto saved = {std::pair("ORVNCOM_REGISTRY", keep("ORVNCOM_REGISTRY")),
                      std::pair("XDG_CONFIG_HOME", keep("XDG_CONFIG_HOME")),
                      std::pair("HOME", keep("HOME"))};
  for (const Case& c : cases) {
    set("ORVNCOM_REGISTRY", c.registry);
    set("XDG_CONFIG_HOME", c.xdg);
    set("HOME", c.home);
    EXPECT_EQ(std::string(RegistryFilePath()), c.expected)
        << (c.registry ? c.registry : "(unset)") << " " << (c.xdg ? c.xdg : "(unset)");
  }
  for (const auto& [name, value] : saved) set(name, value.first ? value.second.c_str() : nullptr);
}

using RegistryFile = TempRegistryTest;

TEST_F(RegistryFile, RegisterLookUpUnregister) {
  EXPECT_EQ(std::string(RegistryFilePath()), registry.string());
  Lookup(u"Lib.A", REGDB_E_CLASSNOTREG);  // no file yet

  const ServerRegistration a = Reg("Lib.A", kClsA, "/m/a.so");
  ASSERT_EQ(RegisterInprocServer(&a), S_OK);
  ASSERT_TRUE(fs::exists(registry));
  EXPECT_TRUE(Lookup(u"Lib.A") == kClsA);
  const rt::RegistryData data = rt::ParseRegistry(ReadFile(registry));
  ASSERT_EQ(data.classes.size(), 1u);
  EXPECT_EQ(data.classes[0].modulePath, "/m/a.so");
  ASSERT_EQ(data.typeLibs.size(), 1u);
  EXPECT_EQ(data.typeLibs[0].name, "SomeLib");

  ASSERT_EQ(UnregisterInprocServer(&a), S_OK);
  const CLSID none = Lookup(u"Lib.A", REGDB_E_CLASSNOTREG);
  EXPECT_TRUE(none == CLSID{});
  const rt::RegistryData empty = rt::ParseRegistry(ReadFile(registry));
  EXPECT_TRUE(empty.classes.empty() && empty.progIds.empty() && empty.typeLibs.empty());
  // Absent entries: still a success, and no file needed.
  EXPECT_EQ(UnregisterInprocServer(&a), S_OK);
  fs::remove(registry);
  EXPECT_EQ(UnregisterInprocServer(&a), S_OK);
}

TEST_F(RegistryFile, ReRegisterReplacesInsteadOfAdding) {
  const ServerRegistration first = Reg("Lib.Old", kClsA, "/m/old.so");
  const ServerRegistration second = Reg("Lib.New", kClsA, "/m/new.so");
  const ServerRegistration other = Reg("Lib.B", kClsB, "/m/b.so");
  ASSERT_EQ(RegisterInprocServer(&other), S_OK);
  ASSERT_EQ(RegisterInprocServer(&first), S_OK);
  ASSERT_EQ(RegisterInprocServer(&second), S_OK);
  ASSERT_EQ(RegisterInprocServer(&second), S_OK);

  const rt::RegistryData data = rt::ParseRegistry(ReadFile(registry));
  ASSERT_EQ(data.classes.size(), 2u);
  EXPECT_EQ(data.progIds.size(), 2u);
  EXPECT_EQ(data.typeLibs.size(), 1u);  // same LIBID and version
  Lookup(u"Lib.Old", REGDB_E_CLASSNOTREG);
  EXPECT_TRUE(Lookup(u"Lib.New") == kClsA);
  EXPECT_TRUE(Lookup(u"Lib.B") == kClsB);
  for (const auto& e : data.classes) {
    if (e.clsid == kClsA) {
      EXPECT_EQ(e.modulePath, "/m/new.so");
    }
  }
}

TEST_F(RegistryFile, GarbageIsSkippedOnLookupAndKeptOnRewrite) {
  const std::string clsB = rt::FormatGuid(kClsB);
  const std::string garbage = "progid\tLib.Broken\t{GARBAGE}\n"s + "\xff\xfe\x00\x01 noise\n"s +
                              "class\t" + clsB +
                              "\t/m/b.so\tLib.B\n"
                              "progid\tLib.B\t" +
                              clsB +
                              "\n"
                              "progid\n"
                              "a line without any tab at all, very long " +
                              std::string(5000, 'x') + "\n";
  ASSERT_NE(garbage.find('\0'), std::string::npos);
  WriteFile(registry, garbage);
  Lookup(u"Lib.Broken", REGDB_E_CLASSNOTREG);
  EXPECT_TRUE(Lookup(u"Lib.B") == kClsB);

  const ServerRegistration a = Reg("Lib.A", kClsA, "/m/a.so");
  ASSERT_EQ(RegisterInprocServer(&a), S_OK);
  EXPECT_TRUE(Lookup(u"Lib.A") == kClsA);
  EXPECT_TRUE(Lookup(u"Lib.B") == kClsB);
  const rt::RegistryData before = rt::ParseRegistry(garbage);
  const rt::RegistryData after = rt::ParseRegistry(ReadFile(registry));
  EXPECT_EQ(after.otherLines, before.otherLines);
  EXPECT_EQ(after.classes.size(), 2u);
}

TEST_F(RegistryFile, RefusesFieldsThatWouldBreakTheFormat) {
  const ServerRegistration a = Reg("Lib.A", kClsA, "/m/a.so");
  ASSERT_EQ(RegisterInprocServer(&a), S_OK);
  const std::string before = ReadFile(registry);

  const ServerRegistration bad[] = {
      Reg("Lib\tA", kClsB, "/m/b.so"),      Reg("Lib.B", kClsB, "/m/b\n.so"),
      Reg("Lib.B", kClsB, "relative/b.so"), Reg("Lib.B", kClsB, ""),
      Reg("Lib.B", kClsB, nullptr),         {"Lib.B", kClsB, "/m/b.so", "Lib\rName", kLib, 1, 0},
  };
  for (const ServerRegistration& reg : bad) EXPECT_EQ(RegisterInprocServer(&reg), E_INVALIDARG);
  EXPECT_EQ(RegisterInprocServer(nullptr), E_POINTER);
  EXPECT_EQ(UnregisterInprocServer(nullptr), E_POINTER);
  EXPECT_EQ(ReadFile(registry), before);
}

TEST_F(RegistryFile, WithoutProgIdOrTypeLibOnlyTheClassIsTouched) {
  const ServerRegistration full = Reg("Lib.B", kClsB, "/m/b.so");
  ASSERT_EQ(RegisterInprocServer(&full), S_OK);
  // Same LIBID and version in the struct, but no type library named.
  const ServerRegistration bare{nullptr, kClsA, "/m/a.so", nullptr, kLib, 1, 0};
  ASSERT_EQ(RegisterInprocServer(&bare), S_OK);
  rt::RegistryData data = rt::ParseRegistry(ReadFile(registry));
  ASSERT_EQ(data.classes.size(), 2u);
  EXPECT_EQ(data.classes[1].progId, "");
  EXPECT_EQ(data.progIds.size(), 1u);
  ASSERT_EQ(data.typeLibs.size(), 1u);
  EXPECT_EQ(data.typeLibs[0].modulePath, "/m/b.so");

  ASSERT_EQ(UnregisterInprocServer(&bare), S_OK);
  data = rt::ParseRegistry(ReadFile(registry));
  EXPECT_EQ(data.classes.size(), 1u);
  EXPECT_EQ(data.typeLibs.size(), 1u) << "B's type library must survive";
}

TEST_F(RegistryFile, CreatesMissingFoldersAndLeavesNoTemporaryFiles) {
  const fs::path deep = dir / "a" / "b" / "registry";
  ::setenv("ORVNCOM_REGISTRY", deep.c_str(), 1);
  const ServerRegistration a = Reg("Lib.A", kClsA, "/m/a.so");
  ASSERT_EQ(RegisterInprocServer(&a), S_OK);
  ASSERT_EQ(UnregisterInprocServer(&a), S_OK);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(deep.parent_path()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"registry"});
}

TEST_F(RegistryFile, KeepsTheFileModeAndWritesThroughALink) {
  const ServerRegistration a = Reg("Lib.A", kClsA, "/m/a.so");
  const fs::path real = dir / "real-registry";
  WriteFile(real, "");
  ::chmod(real.c_str(), 0640);
  fs::create_symlink(real, registry);
  ASSERT_EQ(RegisterInprocServer(&a), S_OK);
  EXPECT_TRUE(fs::is_symlink(registry));
  EXPECT_EQ(rt::ParseRegistry(ReadFile(real)).classes.size(), 1u);
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(RegistryFile, AFileThatCannotBeReadIsNeverOverwritten) {
  const ServerRegistration a = Reg("Lib.A", kClsA, "/m/a.so");
  // Too large: refused, and left exactly as it was.
  {
    WriteFile(registry, "");
    ASSERT_EQ(::truncate(registry.c_str(), rt::kMaxRegistryFileSize + 1), 0);
    EXPECT_TRUE(FAILED(RegisterInprocServer(&a)));
    EXPECT_TRUE(FAILED(UnregisterInprocServer(&a)));
    EXPECT_EQ(fs::file_size(registry), rt::kMaxRegistryFileSize + 1);
    CLSID clsid{};
    const HRESULT hr = CLSIDFromProgID(u"Lib.A", &clsid);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_NE(hr, REGDB_E_CLASSNOTREG) << "a damaged registry is not an empty one";
    fs::remove(registry);
  }
  // A folder in the file's place.
  {
    fs::create_directory(registry);
    EXPECT_TRUE(FAILED(RegisterInprocServer(&a)));
    EXPECT_TRUE(fs::is_directory(registry));
  }
}

TEST_F(RegistryFile, ConcurrentWritersLoseNothing) {
  // Without the lock, read-change-write cycles of two processes overwrite
  // each other's entries.
  constexpr int kPerChild = 25;
  std::vector<pid_t> children;
  for (int child = 0; child < 2; ++child) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      for (int i = 0; i < kPerChild; ++i) {
        CLSID clsid = kClsA;
        clsid.Data1 = static_cast<std::uint32_t>(child * 1000 + i);
        const std::string progId = "Lib." + std::to_string(child) + "." + std::to_string(i);
        const ServerRegistration reg = Reg(progId.c_str(), clsid, "/m/a.so");
        if (RegisterInprocServer(&reg) != S_OK) ++failures;
      }
      ::_exit(failures);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const rt::RegistryData data = rt::ParseRegistry(ReadFile(registry));
  EXPECT_EQ(data.classes.size(), 2u * kPerChild);
  EXPECT_EQ(data.progIds.size(), 2u * kPerChild);
}

TEST_F(RegistryFile, ProgIdLookupArgumentErrors) {
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"Lib.A", nullptr), E_POINTER);
  EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);
  EXPECT_EQ(CLSIDFromProgID(u"", &clsid), E_INVALIDARG);
  const char16_t lonelySurrogate[] = {u'A', 0xD800, u'B', 0};
  EXPECT_EQ(CLSIDFromProgID(lonelySurrogate, &clsid), E_INVALIDARG);
}

}  // namespace

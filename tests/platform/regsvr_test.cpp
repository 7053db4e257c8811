#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "orvn/comrt.h"
#include "platform/registry_file.h"
#include "tests/platform/support.h"
#include "tests/platform/test_module.h"

using namespace orvn;
using namespace orvn_test;
namespace fs = std::filesystem;

namespace {

struct ToolRun {
  int exitCode = -1;
  std::string output;  // stdout and stderr
};

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs the tool through the shell, from folder `cwd`.
ToolRun Tool(const std::string& args, const fs::path& cwd) {
  const std::string command = "cd " + Quote(cwd) + " && " + Quote(kRegsvr) + " " + args + " 2>&1";
  ToolRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

using Regsvr = TempRegistryTest;

TEST_F(Regsvr, RegistersListsAndUnregistersAModuleGivenByRelativePath) {
  const fs::path folder = fs::path(kTestModule).parent_path();
  const std::string relative = fs::path(kTestModule).filename().string();

  const ToolRun reg = Tool(Quote(relative), folder);
  ASSERT_EQ(reg.exitCode, 0) << reg.output;
  EXPECT_NE(reg.output.find("DllRegisterServer"), std::string::npos) << reg.output;
  EXPECT_NE(reg.output.find("succeeded"), std::string::npos) << reg.output;

  const rt::RegistryData data = rt::ParseRegistry(ReadFile(registry));
  ASSERT_EQ(data.classes.size(), 1u);
  EXPECT_EQ(fs::path(data.classes[0].modulePath), fs::path(kTestModule))
      << "the registry must hold the absolute path";
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(kTestProgId16, &clsid), S_OK);
  EXPECT_TRUE(clsid == CLSID_TestThing);

  const ToolRun list = Tool("-l", dir);
  EXPECT_EQ(list.exitCode, 0) << list.output;
  for (const std::string& part : {registry.string(), std::string(kTestProgId), kTestModule,
                                  std::string("OrvnTestLib"), std::string("1.2")})
    EXPECT_NE(list.output.find(part), std::string::npos) << part << " missing in\n" << list.output;

  const ToolRun unreg = Tool("-u " + Quote(kTestModule), dir);
  ASSERT_EQ(unreg.exitCode, 0) << unreg.output;
  EXPECT_EQ(CLSIDFromProgID(kTestProgId16, &clsid), REGDB_E_CLASSNOTREG);
  const ToolRun again = Tool("-u " + Quote(kTestModule), dir);
  EXPECT_EQ(again.exitCode, 0) << "unregistering twice is no failure\n" << again.output;
}

TEST_F(Regsvr, ShowsTheVersionRecord) {
  const ToolRun run = Tool("-v " + Quote(kTestModule), dir);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output,
            "FileVersion=1.2.3.4\nProductVersion=1.2.0.0\nInternalName=TestThing\n"
            "ProductName=Orvn test module\nComments=a=b\n");
  EXPECT_FALSE(fs::exists(registry)) << "-v must not touch the registry";
}

TEST_F(Regsvr, FailuresHaveMessagesAndExitCodes) {
  const fs::path text = dir / "text.so";
  WriteFile(text, "not a module\n");
  struct Case {
    std::string args;
    int exitCode;
    std::string message;
  };
  const Case cases[] = {
      {"", 1, "Usage"},
      {"-x " + Quote(kTestModule), 1, "Usage"},
      {"-l extra", 1, "Usage"},
      {Quote((dir / "missing.so").string()), 2, "cannot load"},
      {Quote(text.string()), 2, "cannot load"},
      {Quote(kEmptyModule), 3, "no entry DllRegisterServer"},
      {"-u " + Quote(kEmptyModule), 3, "no entry DllUnregisterServer"},
      {"-v " + Quote(text.string()), 2, "not a module file"},
      {"-v " + Quote((dir / "missing.so").string()), 2, "cannot open"},
      {"-v " + Quote(kEmptyModule), 3, "no version record"},
  };
  for (const Case& c : cases) {
    const ToolRun run = Tool(c.args, dir);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << c.args << "\n" << run.output;
  }
  EXPECT_FALSE(fs::exists(registry));
}

TEST_F(Regsvr, RegistryFailureIsReported) {
  fs::create_directory(registry);  // cannot be replaced by a file
  const ToolRun reg = Tool(Quote(kTestModule), dir);
  EXPECT_EQ(reg.exitCode, 4) << reg.output;
  EXPECT_NE(reg.output.find("failed"), std::string::npos) << reg.output;
  const ToolRun list = Tool("-l", dir);
  EXPECT_EQ(list.exitCode, 4) << list.output;
  EXPECT_NE(list.output.find("cannot read"), std::string::npos) << list.output;
}

}  // namespace

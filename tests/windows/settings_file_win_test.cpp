// TrailBeam.ini on Windows: the same bytes as everywhere, replaced in one
// step, and a file the operator protected left alone.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "rig/settings_file.h"
#include "settings_example.h"

namespace tb {
namespace {

using testing::FillWithExample;
using testing::Join;
using testing::kExampleLines;

namespace fs = std::filesystem;

// A fresh folder per test under the temporary folder, with a name that
// needs more than one code page (as a user's profile folder may).
class WindowsSettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           (L"tb B\u00fchne \u0141\u00f3d\u017a " + fs::path(info->name()).wstring());
    fs::remove_all(dir_);
    ASSERT_TRUE(fs::create_directories(dir_));
    path_ = dir_ / L"TrailBeam.ini";
    FillWithExample(store_);
  }
  void TearDown() override {
    for (const auto& entry : fs::directory_iterator(dir_))
      ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(dir_);
  }

  // The path as the shell hands it to the core: UTF-8.
  std::string Utf8(const fs::path& path) const {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
  }
  std::string Bytes(const fs::path& path) const {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  void Write(const fs::path& path, const std::string& bytes) const {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::vector<std::wstring> Entries() const {
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(dir_))
      names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
  fs::path path_;
  RigStore store_;
};

TEST_F(WindowsSettingsFile, WorkedExampleBytesAndBackAgain) {
  ASSERT_FALSE(save_config(store_, Utf8(path_)));
  EXPECT_EQ(Bytes(path_), Join(kExampleLines)) << "CR LF kept, nothing translated";
  EXPECT_EQ(Entries(), std::vector<std::wstring>{L"TrailBeam.ini"});

  // Points of a device not calibrated are not loaded (device 3's K2).
  RigStore read, expected;
  FillWithExample(expected);
  *expected.Pan(3, 2) = *expected.Tilt(3, 2) = -1;
  read_config(read, Utf8(path_));
  EXPECT_EQ(ConfigFileBytes(read), ConfigFileBytes(expected));
}

TEST_F(WindowsSettingsFile, ReplacedInOneStepAndAttributesKept) {
  Write(path_, "old contents\r\n");
  ASSERT_TRUE(::SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_FALSE(save_config(store_, Utf8(path_)));
  EXPECT_EQ(Bytes(path_), Join(kExampleLines));
  const DWORD attributes = ::GetFileAttributesW(path_.c_str());
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u) << std::hex << attributes;
  EXPECT_EQ(Entries(), (std::vector<std::wstring>{L"TrailBeam.ini", L"TrailBeam.ini.bak"}));
}

// One generation back: the file as it was before the last save that changed
// it, replaced in one step like the file itself, and only once the save
// succeeded.
TEST_F(WindowsSettingsFile, TheFileReplacedIsKeptBesideAsOneGeneration) {
  const fs::path backup = dir_ / L"TrailBeam.ini.bak";
  Write(path_, "old contents\r\n");
  ASSERT_TRUE(::SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_FALSE(save_config(store_, Utf8(path_)));
  EXPECT_EQ(Bytes(backup), "old contents\r\n");
  EXPECT_NE(::GetFileAttributesW(backup.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);

  RigStore cleared;
  FillWithExample(cleared);
  cleared.ResetCalibration();
  ASSERT_FALSE(save_config(cleared, Utf8(path_)));
  ASSERT_FALSE(save_config(cleared, Utf8(path_)));
  EXPECT_EQ(Bytes(backup), Join(kExampleLines)) << "saving the same bytes keeps the backup";
  EXPECT_EQ(Bytes(path_), ConfigFileBytes(cleared));

  const struct {
    const char* what;
    DWORD attributes;  // of the backup; 0: a folder in its place
    std::error_code expected;
  } refusals[] = {
      {"a write-protected backup", FILE_ATTRIBUTE_READONLY,
       make_error_code(Errc::backup_read_only)},
      {"a folder in its place", 0, make_error_code(Errc::backup_not_regular)},
  };
  for (const auto& c : refusals) {
    SCOPED_TRACE(c.what);
    ::SetFileAttributesW(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(backup);
    if (c.attributes != 0) {
      Write(backup, "kept\r\n");
      ASSERT_TRUE(::SetFileAttributesW(backup.c_str(), c.attributes));
    } else {
      fs::create_directory(backup);
    }
    EXPECT_EQ(save_config(store_, Utf8(path_)), c.expected);
    EXPECT_EQ(Bytes(path_), ConfigFileBytes(cleared)) << "refused before anything was written";
    EXPECT_EQ(Entries(), (std::vector<std::wstring>{L"TrailBeam.ini", L"TrailBeam.ini.bak"}));
  }
}

std::string g_tempSeen;
std::string g_targetDuringInterruption;
fs::path g_target;
std::error_code InterruptBeforeReplacing(const std::string& tempPath) {
  std::ifstream temp(fs::path(std::u8string(tempPath.begin(), tempPath.end())), std::ios::binary);
  g_tempSeen.assign(std::istreambuf_iterator<char>(temp), {});
  std::ifstream target(g_target, std::ios::binary);
  g_targetDuringInterruption.assign(std::istreambuf_iterator<char>(target), {});
  return {ERROR_DISK_FULL, std::system_category()};
}

TEST_F(WindowsSettingsFile, InterruptedBeforeTheReplacementLeavesTheOldFileWhole) {
  Write(path_, "old contents\r\n");
  g_target = path_;
  EXPECT_EQ(save_config(store_, Utf8(path_), InterruptBeforeReplacing),
            std::error_code(ERROR_DISK_FULL, std::system_category()));
  EXPECT_EQ(g_tempSeen, Join(kExampleLines)) << "the temporary file was complete and flushed";
  EXPECT_EQ(g_targetDuringInterruption, "old contents\r\n");
  EXPECT_EQ(Bytes(path_), "old contents\r\n");
  EXPECT_EQ(Entries(), std::vector<std::wstring>{L"TrailBeam.ini"}) << "temporary file removed";
}

TEST_F(WindowsSettingsFile, RefusedSavesLeaveTheFileAsItWas) {
  const fs::path folder = dir_ / L"Taken.ini";
  fs::create_directory(folder);
  const struct {
    const char* what;
    fs::path target;
    DWORD attributes;  // set on the existing file first; 0 for none
    std::error_code expected;
  } cases[] = {
      {"read-only file", path_, FILE_ATTRIBUTE_READONLY, make_error_code(Errc::read_only_file)},
      {"read-only and hidden", path_, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN,
       make_error_code(Errc::read_only_file)},
      {"a folder in its place", folder, 0, make_error_code(Errc::not_regular_file)},
      {"no such folder", dir_ / L"missing" / L"TrailBeam.ini", 0,
       std::error_code(ERROR_PATH_NOT_FOUND, std::system_category())},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ::SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    Write(path_, "old contents\r\n");
    if (c.attributes != 0) {
      ASSERT_TRUE(::SetFileAttributesW(c.target.c_str(), c.attributes));
    }
    EXPECT_EQ(save_config(store_, Utf8(c.target)), c.expected);
    EXPECT_EQ(Bytes(path_), "old contents\r\n");
    if (c.attributes != 0) {
      const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
      EXPECT_EQ(::GetFileAttributesW(c.target.c_str()) & kept, c.attributes);
    }
    EXPECT_EQ(Entries(), (std::vector<std::wstring>{L"Taken.ini", L"TrailBeam.ini"}));
  }
}

TEST_F(WindowsSettingsFile, FileHeldOpenByAnotherProgramIsReportedAndKept) {
  Write(path_, "old contents\r\n");
  // An editor that keeps the file open without letting others delete it.
  HANDLE held = ::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const std::error_code error = save_config(store_, Utf8(path_));
  ::CloseHandle(held);
  EXPECT_TRUE(error) << "the save cannot have replaced an open file";
  EXPECT_EQ(error.category(), std::system_category());
  EXPECT_EQ(Bytes(path_), "old contents\r\n");
  EXPECT_EQ(Entries(), std::vector<std::wstring>{L"TrailBeam.ini"});
}

TEST_F(WindowsSettingsFile, ReadingTakesOnlyAFileAndNeverBlocks) {
  const fs::path folder = dir_ / L"Folder.ini";
  fs::create_directory(folder);
  for (const fs::path& target :
       {folder, dir_ / L"missing.ini", fs::path(L"\\\\.\\pipe\\tb-none")}) {
    SCOPED_TRACE(Utf8(target));
    RigStore read;
    FillWithExample(read);
    read_config(read, Utf8(target));
    // Nothing read: the calibration is reset, the devices stay.
    EXPECT_EQ(*read.Calibrated(1), VFalse);
    EXPECT_EQ(read.Device(1)->Name, "Spot links");
  }
}

}  // namespace
}  // namespace tb

#include "shell/host_helper.h"

#include <gtest/gtest.h>

#include "recording_host.h"
#include "rig/errors.h"

namespace tb::shell {
namespace {

using testing::ComCall;
using testing::RecordingHelper;

TEST(ComHostHelper, EveryWriteFetchesAndReleasesItsOwnOutput) {
  RecordingHelper host;
  {
    ComHostHelper helper(&host);
    EXPECT_EQ(host.refs, 1);
    ASSERT_FALSE(helper.WriteChannel(7, 128));
    ASSERT_FALSE(helper.WriteChannel(8, -3));
    EXPECT_EQ(host.outputsAlive, 0);
  }
  EXPECT_EQ(host.refs, 0);
  const std::vector<ComCall> expected = {
      {"Output", 0, 0, 0}, {"WriteChannel", 7, 128, -1}, {"ReleaseOutput", 0, 0, 0},
      {"Output", 0, 0, 0}, {"WriteChannel", 8, -3, -1},  {"ReleaseOutput", 0, 0, 0},
  };
  EXPECT_EQ(host.calls, expected);
}

TEST(ComHostHelper, ReadsAnyChannelNumberAsItStands) {
  RecordingHelper host;
  host.channels[600] = 77;
  host.channels[0] = -1;
  ComHostHelper helper(&host);
  std::int32_t value = 5;
  ASSERT_FALSE(helper.ReadChannel(600, value));
  EXPECT_EQ(value, 77);
  ASSERT_FALSE(helper.ReadChannel(0, value));
  EXPECT_EQ(value, -1);
}

TEST(ComHostHelper, HostFailuresReachTheCallerWithTheirCode) {
  struct Case {
    std::string failKind;
    bool write;
  };
  for (const Case& c :
       {Case{"ReadChannel", false}, Case{"Output", true}, Case{"WriteChannel", true}}) {
    RecordingHelper host;
    host.failKind = c.failKind;
    host.failure = orvn::E_INVALIDARG;
    ComHostHelper helper(&host);
    std::int32_t value = 42;
    const std::error_code error =
        c.write ? helper.WriteChannel(1, 2) : helper.ReadChannel(1, value);
    EXPECT_EQ(error, MakeHresultError(orvn::E_INVALIDARG)) << c.failKind;
    EXPECT_EQ(ToHresult(error), orvn::E_INVALIDARG);
    EXPECT_EQ(value, 42) << "a failed read leaves the value alone";
    EXPECT_EQ(host.outputsAlive, 0) << c.failKind;
    EXPECT_FALSE(error.message().empty());
  }
}

TEST(ComHostHelper, WithoutAHelperEveryCallFailsCleanly) {
  ComHostHelper helper(nullptr);
  std::int32_t value = 0;
  EXPECT_EQ(helper.ReadChannel(1, value), Errc::no_host_helper);
  EXPECT_EQ(helper.WriteChannel(1, 1), Errc::no_host_helper);
}

TEST(ComHostHelper, CoreErrorsBecomeHostResults) {
  EXPECT_EQ(ToHresult({}), orvn::S_OK);
  EXPECT_EQ(ToHresult(make_error_code(Errc::out_of_range)), orvn::DISP_E_BADINDEX);
  EXPECT_EQ(ToHresult(std::error_code(EACCES, std::system_category())),
            orvn::HRESULT_FROM_WIN32(EACCES));
  EXPECT_TRUE(orvn::FAILED(ToHresult(make_error_code(Errc::read_only_file))));
}

}  // namespace
}  // namespace tb::shell

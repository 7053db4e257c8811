// The follow methods on the scenario rig, as the Linux build's timer runs
// them: the host calls must be those kept in <method>.trace, which the
// Windows build's windows must make too. TB_WRITE_TRACES=1 writes the
// files afresh instead (then look at the difference before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "follow/follow_methods.h"
#include "trace/follow_scenario.h"

namespace tb::testing {
namespace {

std::string Trace(std::int16_t method) {
  RigStore rig;
  ScenarioRig(rig);
  auto owned =
      std::make_unique<ScenarioHost>(rig.Device(1)->PanChannel, rig.Device(1)->TiltChannel);
  ScenarioHost* host = owned.get();
  rig.SetHostHelper(std::move(owned));
  rig.MasterDevice = 1;
  rig.FollowMethod = method;
  for (int d = 1; d <= kDeviceCount; ++d) rig.IsDeviceCalibrated(static_cast<std::int16_t>(d));
  FollowEngine engine;
  engine.Start();
  while (!host->Done()) (void)engine.OnTimer(rig);
  return host->Lines();
}

TEST(FollowTrace, EachMethodMakesTheKeptCalls) {
  for (std::int16_t method : {kFollowLinear, kFollowDistance, kFollowTrigonometric}) {
    SCOPED_TRACE(MethodName(method));
    const std::string file = std::string(TB_TRACE_DIR) + "/" + MethodName(method) + ".trace";
    const std::string lines = Trace(method);
    // The slaves are written to: a trace of reads alone would prove little.
    EXPECT_NE(lines.find("W "), std::string::npos);
    if (std::getenv("TB_WRITE_TRACES") != nullptr) {
      std::ofstream(file, std::ios::binary) << lines;
      continue;
    }
    std::ifstream in(file, std::ios::binary);
    ASSERT_TRUE(in) << file;
    std::stringstream kept;
    kept << in.rdbuf();
    EXPECT_EQ(lines, kept.str());
  }
}

}  // namespace
}  // namespace tb::testing

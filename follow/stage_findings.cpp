// What the operator is told about the stage at Enable TB. A stage that
// cannot be one is named with the device whose calibration shows it, and
// the method then follows the floor as it did before the lengths.
#include <cmath>

#include "follow/number_text.h"
#include "follow/stage_solve.h"

namespace tb {

std::vector<StageFinding> StageFindings(const StageSolution& solution) {
  using Kind = StageFinding::Kind;
  switch (solution.status) {
    case StageStatus::BelowFloor:
      return {{Kind::BelowFloor, solution.device, 0.0}};
    case StageStatus::Mirrored:
      return {{Kind::Mirrored, solution.device, 0.0}};
    case StageStatus::NoFit:
      return {{Kind::NoFit, solution.device, 0.0}};
    case StageStatus::Solved:
      if (std::abs(solution.lengthsDisagreePercent) > kLengthsDisagreePercent)
        return {{Kind::Lengths, 0, std::abs(solution.lengthsDisagreePercent)}};
      return {};
    default:
      return {};
  }
}

std::string StageFindingMessage(const StageFinding& finding) {
  const std::string device = "Device " + std::to_string(finding.device);
  const std::string floor = ", so TrailBeam follows the floor. ";
  switch (finding.kind) {
    case StageFinding::Kind::BelowFloor:
      return device + ": the stage fitted to the five points puts it below the floor" + floor +
             "Check its calibration.";
    case StageFinding::Kind::Mirrored:
      return device + ": its five points are not in the order of the marks on the stage" + floor +
             "Check its calibration.";
    case StageFinding::Kind::NoFit:
      return device + ": no stage fits its five points" + floor +
             "Check its calibration and its pan and tilt range.";
    case StageFinding::Kind::Lengths:
      return "The lengths K1-K3 and K1-K2 disagree by " + OneDecimal(finding.percent) +
             " %. Check both lengths.";
  }
  return {};
}

}  // namespace tb

#include "host/sim/operator_aim.h"

#include <cmath>
#include <cstdint>
#include <random>

namespace tbhost {
namespace {

constexpr std::uint32_t kAimSeed = 19;  // the operator's hand, the same in every run

}  // namespace

std::vector<std::array<FloorPoint, 5>> OperatorAims(const StageRig& rig, double spreadCm) {
  std::vector<std::array<FloorPoint, 5>> aims(rig.heads.size());
  std::mt19937 hand(kAimSeed);
  const bool spread = spreadCm > 0 && std::isfinite(spreadCm);
  std::normal_distribution<double> miss(0.0, spread ? spreadCm / 100.0 : 1.0);
  for (auto& head : aims) {
    for (Mark mark : kAllMarks) {
      FloorPoint at = rig.MarkAt(mark);
      if (spread) {
        at.x += miss(hand);
        at.y += miss(hand);
      }
      head[static_cast<int>(mark)] = at;
    }
  }
  return aims;
}

}  // namespace tbhost

#include "host/sim/stage_estimate.h"

#include <algorithm>
#include <cmath>

#include "follow/stage_solve.h"
#include "rig/rig_store.h"
#include "rig/settings_file.h"

namespace tbhost {
namespace {

void PutDevice(tb::RigStore& store, int device, const MovingHead& head,
               const std::array<PanTilt, 5>& marks) {
  tb::DeviceRecord& record = store.DeviceTable[static_cast<std::size_t>(device - 1)];
  record = {head.name,         head.panChannel,     head.tiltChannel,    head.panRangeDeg,
            head.tiltRangeDeg, head.panFineChannel, head.tiltFineChannel};
  const bool panFine = head.panFineChannel != 0;
  const bool tiltFine = head.tiltFineChannel != 0;
  for (int p = 1; p <= tb::kPointCount; ++p) {
    const PanTilt v = marks[static_cast<std::size_t>(p - 1)];
    *store.Pan(device, p) = panFine ? v.pan / 256 : v.pan;
    *store.PanFine(device, p) = panFine ? v.pan % 256 : 0;
    *store.Tilt(device, p) = tiltFine ? v.tilt / 256 : v.tilt;
    *store.TiltFine(device, p) = tiltFine ? v.tilt % 256 : 0;
  }
  (void)store.IsDeviceCalibrated(static_cast<std::int16_t>(device));
}

// The stage frame of the fit (K1 at the origin, K3 on +x, K2 on the side
// the fit chose) laid onto the rig's floor.
struct Frame {
  FloorPoint origin, u, v;
  FloorPoint ToRig(double x, double y) const {
    return {origin.x + x * u.x + y * v.x, origin.y + x * u.y + y * v.y};
  }
};

Frame FrameOf(const StageRig& rig, const tb::StageSolution& solution) {
  const FloorPoint k1 = rig.MarkAt(Mark::K1);
  const FloorPoint k3 = rig.MarkAt(Mark::K3);
  const FloorPoint k2 = rig.MarkAt(Mark::K2);
  const double length = Distance(k1, k3);
  Frame f{k1, {(k3.x - k1.x) / length, (k3.y - k1.y) / length}, {}};
  f.v = {-f.u.y, f.u.x};
  const double rigSide = (k2.x - k1.x) * f.v.x + (k2.y - k1.y) * f.v.y;
  const double fitSide = solution.marks[static_cast<int>(Mark::K2)].y;
  if ((rigSide < 0) != (fitSide < 0)) f.v = {-f.v.x, -f.v.y};
  return f;
}

// The fit over the store's calibrated devices; `headOf` gives each device's
// rig head (by device 1..16, -1: none).
StageEstimate Estimate(const StageRig& rig, tb::RigStore& store,
                       const std::array<int, tb::kDeviceCount>& headOf) {
  StageEstimate estimate;
  const auto heads = tb::StageHeadsOf(store);
  const tb::StageSolution solution =
      tb::SolveStage(heads, tb::UsableLengths(store.StageK1K3, store.StageK1K2));
  if (!solution.Valid()) {
    const auto findings = tb::StageFindings(solution);
    estimate.why = solution.status == tb::StageStatus::NoLength ? "no K1-K3 length"
                   : solution.status == tb::StageStatus::TooFewHeads
                       ? "fewer than two calibrated heads"
                   : findings.empty() ? "the stage is not solved"
                                      : tb::StageFindingMessage(findings.front());
    return estimate;
  }
  estimate.solved = true;
  const Frame frame = FrameOf(rig, solution);
  for (const tb::SolvedHead& solved : solution.heads) {
    const int index = headOf[static_cast<std::size_t>(solved.device - 1)];
    if (index < 0) continue;
    const MovingHead& head = rig.heads[static_cast<std::size_t>(index)];
    HeadEstimate e;
    e.head = static_cast<std::size_t>(index);
    e.place = frame.ToRig(solved.pose.position.x, solved.pose.position.y);
    e.height = solved.pose.position.z;
    e.offBy = std::hypot(Distance(e.place, {head.x, head.y}), e.height - head.height);
    e.largestSteps = solved.largestSteps;
    estimate.heads.push_back(e);
  }
  return estimate;
}

}  // namespace

StageEstimate EstimateStage(const StageRig& rig, std::size_t master,
                            const std::vector<std::array<PanTilt, 5>>& calibration, double k1k3,
                            double k1k2) {
  const std::size_t devices =
      std::min({rig.heads.size(), calibration.size(), static_cast<std::size_t>(tb::kDeviceCount)});
  if (master >= devices) return {false, "no such master head", {}};
  tb::RigStore store;
  std::array<int, tb::kDeviceCount> headOf;
  headOf.fill(-1);
  for (std::size_t h = 0; h < devices; ++h) {
    PutDevice(store, static_cast<int>(h + 1), rig.heads[h], calibration[h]);
    headOf[h] = static_cast<int>(h);
  }
  store.MasterDevice = static_cast<std::int16_t>(master + 1);
  store.StageK1K3 = k1k3;
  store.StageK1K2 = k1k2;
  return Estimate(rig, store, headOf);
}

StageEstimate EstimateSavedStage(const StageRig& rig, int master, std::string_view settingsFile) {
  tb::RigStore store;
  tb::ReadConfigFromBytes(store, settingsFile);
  std::array<int, tb::kDeviceCount> headOf;
  headOf.fill(-1);
  for (int d = 1; d <= tb::kDeviceCount; ++d) {
    const tb::DeviceRecord& device = *store.Device(d);
    for (std::size_t h = 0; h < rig.heads.size(); ++h)
      if (!device.Name.empty() && rig.heads[h].panChannel == device.PanChannel &&
          rig.heads[h].tiltChannel == device.TiltChannel)
        headOf[static_cast<std::size_t>(d - 1)] = static_cast<int>(h);
    // A device of another rig would be fitted against heads it is not.
    if (headOf[static_cast<std::size_t>(d - 1)] < 0)
      *store.Calibrated(d) = tb::VFalse;
    else
      (void)store.IsDeviceCalibrated(static_cast<std::int16_t>(d));
  }
  store.MasterDevice = 0;
  for (int d = 1; d <= tb::kDeviceCount; ++d) {
    const bool leads = master >= 0 ? headOf[static_cast<std::size_t>(d - 1)] == master
                                   : *store.Calibrated(d) != tb::VFalse;
    if (leads && *store.Calibrated(d) != tb::VFalse) {
      store.MasterDevice = static_cast<std::int16_t>(d);
      break;
    }
  }
  if (store.MasterDevice == 0) return {false, "the master is not calibrated", {}};
  return Estimate(rig, store, headOf);
}

double TapeLength(const StageRig& rig, Mark from, Mark to) {
  return std::round(Distance(rig.MarkAt(from), rig.MarkAt(to)) * 100.0) / 100.0;
}

}  // namespace tbhost

// Following at a height: the master's beam meets the plane at the height
// given, and every slave is aimed at that point through its solved pose.
// The stage is solved when following starts, never in a tick: a tick that
// finds the rig changed since (another master, a new calibration, other
// ranges or lengths) follows the floor until the stage is solved again.
#include <algorithm>
#include <cmath>

#include "follow/tick_steps.h"
#include "follow/trigonometric_follow.h"

namespace tb {

namespace {

Vec3 Minus(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

// The inverse of an orthogonal matrix: from the head's own frame to the
// stage.
Vec3 TransposedTimes(const Mat3& a, const Vec3& v) {
  const auto& m = a.m;
  return {m[0] * v.x + m[3] * v.y + m[6] * v.z, m[1] * v.x + m[4] * v.y + m[7] * v.z,
          m[2] * v.x + m[5] * v.y + m[8] * v.z};
}

// Where a beam from `from` meets the plane z = height ahead of the head.
std::optional<Vec3> AtHeight(const Vec3& from, const Vec3& beam, double height) {
  if (!(beam.z != 0.0)) return std::nullopt;
  const double reach = (height - from.z) / beam.z;
  if (!(reach > 0.0) || !std::isfinite(reach)) return std::nullopt;
  return Vec3{from.x + reach * beam.x, from.y + reach * beam.y, height};
}

RayMap FloorToSquare(const std::array<FloorMark, kPointCount>& marks) {
  static constexpr std::array<Vec3, 4> kSquare = {Vec3{0.0, 0.0, 1.0}, Vec3{0.0, 1.0, 1.0},
                                                  Vec3{1.0, 0.0, 1.0}, Vec3{1.0, 1.0, 1.0}};
  std::array<Vec3, 4> corners{};
  for (int p = 0; p < 4; ++p) corners[p] = {marks[p].x, marks[p].y, 1.0};
  return FitRayMap(corners, kSquare);
}

}  // namespace

double FollowHeightOf(const RigStore& store) {
  const double height = store.FollowHeight;
  if (!(height > 0.0)) return 0.0;  // also not a number
  return std::min(height, kMaxFollowHeight);
}

bool TrigonometricFollow::StageKey::operator==(const StageKey& other) const {
  return master == other.master && lengths.k1k3 == other.lengths.k1k3 &&
         lengths.k1k2 == other.lengths.k1k2 && calibrated == other.calibrated &&
         inputs == other.inputs;
}

TrigonometricFollow::StageKey TrigonometricFollow::StageKeyOf(RigStore& store) {
  StageKey key;
  key.master = store.MasterDevice;
  key.lengths = UsableLengths(store.StageK1K3, store.StageK1K2);
  for (std::int16_t d = 1; d <= kDeviceCount; ++d) {
    key.calibrated[d - 1] = store.IsDeviceCalibrated(d).value;
    key.inputs[d - 1] = InputsOf(store, d);
  }
  return key;
}

std::vector<StageFinding> TrigonometricFollow::PrepareStage(RigStore& store) {
  const StageKey key = StageKeyOf(store);
  if (key.lengths.k1k3 == 0.0) {
    // Without the length the method is the floor's, as it always was.
    poses_ = {};
    solution_ = {};
    solved_ = false;
    return {};
  }
  if (!solved_ || !(poses_.key == key)) {
    solution_ = SolveStage(StageHeadsOf(store), key.lengths);
    SetPoses(key);
    solved_ = true;
    ++solves_;
  }
  return StageFindings(solution_);
}

void TrigonometricFollow::SetPoses(const StageKey& key) {
  poses_ = {};
  poses_.key = key;
  if (!solution_.Valid()) return;
  for (const SolvedHead& head : solution_.heads) poses_.heads[head.device - 1] = head.pose;
  poses_.square = FloorToSquare(solution_.marks);
  poses_.valid = RigStore::ValidDevice(key.master) && poses_.heads[key.master - 1].has_value() &&
                 poses_.square.usable;
}

std::error_code TrigonometricFollow::HeightTick(RigStore& store, const MasterReading& reading) {
  double height = FollowHeightOf(store);
  if (store.HeightChannel > 0) {
    std::int32_t value = 0;
    if (auto e = reading.host->ReadChannel(store.HeightChannel, value)) return e;
    height = std::clamp(value, 0, kChannelTop) * kHeightChannelMetres;
  }
  const std::int16_t m = reading.device;
  const HeadPose& master = *poses_.heads[m - 1];
  const Vec3 own = DmxToRay(reading.pan, reading.tilt, RangesOf(store.DeviceTable[m - 1]));
  std::optional<Vec3> target =
      AtHeight(master.position, TransposedTimes(master.toOwn, own), height);
  // Judged where the point stands on the floor, as the floor's spot is.
  if (target && !NearTheMarks(poses_.square, {target->x, target->y, 1.0})) target.reset();

  return WriteSlaves(store, reading, [&](std::int16_t d) -> std::optional<DmxPair> {
    const auto& pose = poses_.heads[d - 1];
    if (!target || !pose) return std::nullopt;
    return Aim(store, d, pose->toOwn * Minus(*target, pose->position));
  });
}

}  // namespace tb

// A reference rig in a rig store on a fake host, for following at a
// height: every head of the rig as device 1.. (the first the master), 8-bit
// or with fine channels (device d's on 10d+2 and 10d+3), calibrated on the
// five marks; and what its beams hit at a height.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "follow_rig.h"
#include "stage_geometry.h"

namespace tb::testing {

class StageRig : public FollowRig {
 public:
  StageRig(const Rig& rig, bool fine) : rig_(rig), fine_(fine) {
    for (std::size_t i = 0; i < rig.heads.size(); ++i) Install(static_cast<std::int16_t>(i + 1));
    store.StageK1K3 = 6.0;
  }

  static std::int32_t PanFineChannel(int d) { return 10 * d + 2; }
  static std::int32_t TiltFineChannel(int d) { return 10 * d + 3; }

  const Head& HeadOf(std::int16_t d) const { return rig_.heads[d - 1].head; }
  std::int16_t Count() const { return static_cast<std::int16_t>(rig_.heads.size()); }

  // A real value on the 8-bit scale in the device's resolution, and back.
  std::int32_t Own(double value8) const {
    return static_cast<std::int32_t>(std::lround(fine_ ? value8 * 65535.0 / 255.0 : value8));
  }
  double Scale8(std::int32_t value) const { return fine_ ? value * 255.0 / 65535.0 : value; }

  // Of the values around an exact aim (8-bit scale), the pair in the
  // device's resolution whose beam passes nearest `target`, as an operator
  // takes it.
  std::pair<std::int32_t, std::int32_t> BestPair(const Head& head, Aim exact, Point3 target) const {
    const double scale = fine_ ? 65535.0 / 255.0 : 1.0;
    std::pair<std::int32_t, std::int32_t> best{Own(exact.pan), Own(exact.tilt)};
    double bestDistance = std::numeric_limits<double>::infinity();
    for (double pan : {std::floor(exact.pan * scale), std::ceil(exact.pan * scale)}) {
      for (double tilt : {std::floor(exact.tilt * scale), std::ceil(exact.tilt * scale)}) {
        const auto spot = SpotAt(head, pan / scale, tilt / scale, target.z);
        if (!spot) continue;
        const double distance = std::hypot(spot->x - target.x, spot->y - target.y);
        if (distance < bestDistance) {
          bestDistance = distance;
          best = {static_cast<std::int32_t>(pan), static_cast<std::int32_t>(tilt)};
        }
      }
    }
    return best;
  }

  // Device d's calibration from the exact aims at the marks, each moved by
  // `shift` (8-bit scale) before the best pair is taken; `miss`: the points
  // on the floor aimed at instead of the marks, as an operator's eye.
  void Install(std::int16_t d, std::array<Aim, 5> shift = {},
               std::optional<std::array<FloorPoint, 5>> miss = std::nullopt) {
    const Mounting& mounting = rig_.heads[d - 1];
    DeviceRecord& device = *store.Device(d);
    device.PanRange = static_cast<std::int32_t>(mounting.head.panRange);
    device.TiltRange = static_cast<std::int32_t>(mounting.head.tiltRange);
    device.PanFineChannel = fine_ ? PanFineChannel(d) : 0;
    device.TiltFineChannel = fine_ ? TiltFineChannel(d) : 0;
    const auto aims = CalibrationAims(mounting.head, mounting.side);
    for (int p = 1; p <= 5; ++p) {
      const FloorPoint mark = miss ? (*miss)[p - 1] : kMarks[p - 1];
      const Aim exact = miss ? AimNear(mounting.head, mark, aims[p - 1]).value() : aims[p - 1];
      const Aim aim{exact.pan + shift[p - 1].pan, exact.tilt + shift[p - 1].tilt};
      const auto [pan, tilt] = BestPair(mounting.head, aim, {mark.x, mark.y, 0.0});
      *store.Pan(d, p) = fine_ ? pan / 256 : pan;
      *store.Tilt(d, p) = fine_ ? tilt / 256 : tilt;
      *store.PanFine(d, p) = fine_ ? pan % 256 : 0;
      *store.TiltFine(d, p) = fine_ ? tilt % 256 : 0;
    }
  }

  // Aims the master at a point in the master's resolution; returns where
  // its beam meets the plane at the point's height.
  std::optional<Point3> MasterAt(Point3 target) {
    const Head& master = HeadOf(1);
    const auto aim = AimNearPoint(master, target, rig_.heads[0].side);
    if (!aim) return std::nullopt;
    const auto [pan, tilt] = BestPair(master, *aim, target);
    MasterReads(fine_ ? pan / 256 : pan, fine_ ? tilt / 256 : tilt);
    if (fine_) {
      host->channels[PanFineChannel(1)] = pan % 256;
      host->channels[TiltFineChannel(1)] = tilt % 256;
    }
    return SpotAt(master, Scale8(pan), Scale8(tilt), target.z);
  }

  // Where the last tick's pair for device d meets the plane at `height`.
  std::optional<Point3> SlaveAt(std::int16_t d, double height) const {
    std::int32_t pan = 0, tilt = 0;
    bool written = false;
    for (const HostCall& call : host->calls) {
      if (call.kind != HostCall::Write) continue;
      const std::int32_t scale = fine_ ? 256 : 1;
      if (call.channel == PanChannel(d)) pan += call.value * scale, written = true;
      if (call.channel == TiltChannel(d)) tilt += call.value * scale;
      if (fine_ && call.channel == PanFineChannel(d)) pan += call.value;
      if (fine_ && call.channel == TiltFineChannel(d)) tilt += call.value;
    }
    if (!written) return std::nullopt;
    return SpotAt(HeadOf(d), Scale8(pan), Scale8(tilt), height);
  }

  // Device d aimed exactly at `target` then rounded: where its beam meets
  // the plane at the target's height.
  std::optional<Point3> IdealAt(std::int16_t d, Point3 target) const {
    const auto aim = AimNearPoint(HeadOf(d), target, rig_.heads[d - 1].side);
    if (!aim) return std::nullopt;
    const auto [pan, tilt] = BestPair(HeadOf(d), *aim, target);
    return SpotAt(HeadOf(d), Scale8(pan), Scale8(tilt), target.z);
  }

 private:
  Rig rig_;
  bool fine_ = false;
};

inline double Distance(const Point3& a, const Point3& b) {
  return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

}  // namespace tb::testing

#include "host/sim/follow_stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tbhost {
namespace {

// Which side of the midpoint of a and b the reading lies on: false for a's.
bool OnSecondSide(int reading, int a, int b) {
  if (a == b) return false;
  const double mid = std::nearbyint((static_cast<double>(a) + b) / 2.0);
  return (a < b) == (reading >= mid);
}

}  // namespace

const char* ZoneName(int zone) {
  static const char* const kNames[kZoneCount] = {"all", "K1", "K2", "K3", "K4", "KM"};
  return zone >= 0 && zone < kZoneCount ? kNames[zone] : "?";
}

int ZoneOf(PanTilt reading, const std::array<PanTilt, 5>& cal, int panStep, int tiltStep) {
  const PanTilt km = cal[static_cast<int>(Mark::KM)];
  if (std::abs(reading.pan - km.pan) <= 2 * panStep &&
      std::abs(reading.tilt - km.tilt) <= 2 * tiltStep)
    return 5;
  const PanTilt k1 = cal[static_cast<int>(Mark::K1)];
  const bool panRight = OnSecondSide(reading.pan, k1.pan, cal[static_cast<int>(Mark::K3)].pan);
  const bool tiltUp = OnSecondSide(reading.tilt, k1.tilt, cal[static_cast<int>(Mark::K2)].tilt);
  return 1 + (panRight ? 2 : 0) + (tiltUp ? 1 : 0);
}

ErrorSummary Summarise(std::vector<double> distances, std::size_t noSpot) {
  ErrorSummary s;
  s.noSpot = noSpot;
  s.count = distances.size();
  if (distances.empty()) return s;
  std::sort(distances.begin(), distances.end());
  s.mean = std::accumulate(distances.begin(), distances.end(), 0.0) /
           static_cast<double>(distances.size());
  const auto rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(s.count)));
  s.p95 = distances[std::max<std::size_t>(rank, 1) - 1];
  s.max = distances.back();
  return s;
}

FollowReport Evaluate(const StageRig& rig, std::size_t masterIndex,
                      const std::vector<TickSample>& samples, double height) {
  const std::size_t heads = rig.heads.size();
  std::vector<std::array<std::vector<double>, kZoneCount>> distances(heads);
  std::vector<std::array<std::size_t, kZoneCount>> noSpot(heads);
  for (auto& row : noSpot) row.fill(0);

  for (const TickSample& sample : samples) {
    const int zone = sample.zone >= 1 && sample.zone < kZoneCount ? sample.zone : 0;
    const auto masterSpot = masterIndex < heads
                                ? BeamAtHeight(rig.heads[masterIndex], sample.master, height)
                                : std::nullopt;
    for (std::size_t h = 0; h < heads && h < sample.heads.size(); ++h) {
      if (h == masterIndex) continue;
      const auto slaveSpot = BeamAtHeight(rig.heads[h], sample.heads[h], height);
      // Every tick counts towards the total (zone 0) and its own zone once.
      const int zones[2] = {0, zone};
      const int zoneCount = zone == 0 ? 1 : 2;
      for (int i = 0; i < zoneCount; ++i) {
        if (masterSpot && slaveSpot)
          distances[h][zones[i]].push_back(Distance(*masterSpot, *slaveSpot));
        else
          ++noSpot[h][zones[i]];
      }
    }
  }

  FollowReport report;
  report.ticks = samples.size();
  report.bySlave.resize(heads);
  for (std::size_t h = 0; h < heads; ++h)
    for (int z = 0; z < kZoneCount; ++z)
      report.bySlave[h][z] = Summarise(std::move(distances[h][z]), noSpot[h][z]);
  return report;
}

Accuracy MeasureAccuracy(const StageRig& rig, std::size_t masterIndex,
                         const std::vector<TickSample>& samples, double height) {
  const std::size_t heads = rig.heads.size();
  const std::size_t slaves = masterIndex < heads ? heads - 1 : heads;
  std::vector<double> error, ideal;
  std::size_t errorMissing = 0, idealMissing = 0;
  Accuracy accuracy;
  std::size_t perSlave = 2;
  for (std::size_t h = 0; h < heads; ++h) {
    if (h == masterIndex) continue;
    perSlave = 2 + (rig.heads[h].panFineChannel != 0 ? 1 : 0) +
               (rig.heads[h].tiltFineChannel != 0 ? 1 : 0);
    break;
  }
  for (const TickSample& sample : samples) {
    // A slave followed gets all its channels written: two, or four with
    // fine channels (the rigs give every head the same).
    if (sample.writes >= 0 && static_cast<std::size_t>(sample.writes) < perSlave * slaves)
      accuracy.held += slaves - static_cast<std::size_t>(sample.writes) / perSlave;
    const auto masterSpot = masterIndex < heads
                                ? BeamAtHeight(rig.heads[masterIndex], sample.master, height)
                                : std::nullopt;
    for (std::size_t h = 0; h < heads; ++h) {
      if (h == masterIndex) continue;
      const MovingHead& slave = rig.heads[h];
      const auto spot =
          h < sample.heads.size() ? BeamAtHeight(slave, sample.heads[h], height) : std::nullopt;
      if (masterSpot && spot)
        error.push_back(Distance(*masterSpot, *spot));
      else
        ++errorMissing;
      const auto aim = masterSpot ? AimAtHeight(slave, *masterSpot, height) : std::nullopt;
      const auto best = aim ? BeamAtHeight(slave, *aim, height) : std::nullopt;
      if (best)
        ideal.push_back(Distance(*masterSpot, *best));
      else
        ++idealMissing;
    }
  }
  accuracy.error = Summarise(std::move(error), errorMissing);
  accuracy.ideal = Summarise(std::move(ideal), idealMissing);
  return accuracy;
}

}  // namespace tbhost

// Cost of one follow tick per method: a master and three calibrated slaves,
// 2 reads and 6 writes per tick, and the trigonometric method on a whole rig
// of sixteen devices. Besides the time, counts heap allocations
// made during the ticks (alloc_counter.cpp replaces the global operator new):
// the tick runs every 100 ms for hours and must allocate nothing.
//
//   build/plain/bin/follow_tick_bench
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "alloc_counter.h"
#include "follow/follow.h"
#include "follow/follow_methods.h"
#include "follow/stage_solve.h"
#include "orvn/dispatchimpl.h"
#include "shell/host_helper.h"

namespace {

// Channels in a flat array: the host side must not allocate either, or the
// count would measure the fake instead of the tick.
class ArrayHost final : public tb::HostChannels {
 public:
  std::array<std::int32_t, 512> channels{};
  std::int64_t writes = 0;

  std::error_code ReadChannel(std::int32_t channel, std::int32_t& value) override {
    value = channels[static_cast<std::size_t>(channel) % channels.size()];
    return {};
  }
  std::error_code WriteChannel(std::int32_t channel, std::int32_t value) override {
    channels[static_cast<std::size_t>(channel) % channels.size()] = value;
    ++writes;
    return {};
  }
};

using Calibration = std::int32_t[5][2];  // K1..K4, KM as (pan, tilt)

void SetUpRig(tb::RigStore& store, ArrayHost*& host, const Calibration& master,
              const Calibration (&slaves)[3]) {
  auto owned = std::make_unique<ArrayHost>();
  host = owned.get();
  store.SetHostHelper(std::move(owned));
  store.FollowMethod = tb::kFollowLinear;
  store.MasterDevice = 1;
  for (int d = 1; d <= 4; ++d) {
    store.Device(d)->PanChannel = 2 * d - 1;
    store.Device(d)->TiltChannel = 2 * d;
    const Calibration& points = d == 1 ? master : slaves[d - 2];
    for (int p = 1; p <= 5; ++p) {
      *store.Pan(d, p) = points[p - 1][0];
      *store.Tilt(d, p) = points[p - 1][1];
    }
  }
}

// The worked example's master and three slaves like its slave.
void SetUpRig(tb::RigStore& store, ArrayHost*& host) {
  const Calibration master = {{60, 40}, {60, 200}, {220, 40}, {220, 200}, {140, 120}};
  const Calibration slaves[3] = {
      {{31, 11}, {32, 191}, {201, 21}, {211, 181}, {91, 71}},
      {{32, 12}, {33, 192}, {202, 22}, {212, 182}, {92, 72}},
      {{33, 13}, {34, 193}, {203, 23}, {213, 183}, {93, 73}},
  };
  SetUpRig(store, host, master, slaves);
}

// Heads of a real stage, so that the trigonometric method has a floor to
// map: the master hung 6 m in front of an 8 x 6 m stage, 8 m high; slaves in
// front, on a boom at the left turned 90 degrees, and at the back turned 180
// degrees, each calibrated on the five marks with 8-bit values.
void SetUpStageRig(tb::RigStore& store, ArrayHost*& host) {
  const Calibration master = {{117, 169}, {120, 179}, {138, 169}, {135, 179}, {128, 173}};
  const Calibration slaves[3] = {
      {{128, 165}, {128, 181}, {151, 177}, {143, 185}, {138, 176}},
      {{142, 164}, {113, 164}, {133, 187}, {122, 187}, {128, 177}},
      {{137, 177}, {143, 163}, {118, 177}, {112, 163}, {128, 168}},
  };
  SetUpRig(store, host, master, slaves);
}

// The master's readings, stepping through a window of pan and tilt values.
struct Sweep {
  std::int32_t pan, panSpan, tilt, tiltSpan;
};
// The whole stage of the worked example: corner zones and centre all occur.
constexpr Sweep kWorkedExampleSweep{50, 180, 30, 190};
// The marked floor of the stage rig and somewhat beyond.
constexpr Sweep kStageSweep{112, 32, 165, 20};

// Runs the ticks while the master sweeps, and reports and checks the heap
// allocations they make. false when the benchmark was marked failed.
template <class Tick>
bool TickAndCountAllocations(benchmark::State& state, std::array<std::int32_t, 512>& channels,
                             const Sweep& sweep, Tick tick) {
  // The count only means something if it sees allocations at all.
  const std::size_t probeBefore = tb::bench::Allocations();
  auto probe = std::make_unique<int>(0);
  benchmark::DoNotOptimize(probe.get());
  if (tb::bench::Allocations() == probeBefore) {
    state.SkipWithError("allocation counter is not active");
    return false;
  }
  std::int32_t step = 0;
  const std::size_t allocationsBefore = tb::bench::Allocations();
  for (auto _ : state) {
    channels[1] = sweep.pan + step % sweep.panSpan;
    channels[2] = sweep.tilt + (step * 7) % sweep.tiltSpan;
    ++step;
    const std::error_code e = tick();
    benchmark::DoNotOptimize(e);
  }
  const std::size_t allocations = tb::bench::Allocations() - allocationsBefore;
  state.counters["allocs_per_tick"] = benchmark::Counter(static_cast<double>(allocations) /
                                                         static_cast<double>(state.iterations()));
  if (allocations != 0) {
    state.SkipWithError("the follow tick allocated on the heap");
    return false;
  }
  return true;
}

// Every slave must be written at every tick, or the figure would not be
// that of a whole tick.
void CheckWrites(benchmark::State& state, const ArrayHost& host, std::int64_t writesBefore,
                 double expected = 6.0) {
  const double perTick =
      static_cast<double>(host.writes - writesBefore) / static_cast<double>(state.iterations());
  state.counters["writes_per_tick"] = perTick;
  if (perTick != expected) state.SkipWithError("not every slave was written at every tick");
}

void BM_FollowTick(benchmark::State& state) {
  tb::RigStore store;
  ArrayHost* host = nullptr;
  SetUpRig(store, host);
  tb::FollowEngine engine;
  engine.Start();
  if (!TickAndCountAllocations(state, host->channels, kWorkedExampleSweep,
                               [&] { return engine.OnTimer(store); }))
    return;
  CheckWrites(state, *host, 0);
}
BENCHMARK(BM_FollowTick);

void BM_DistanceTick(benchmark::State& state) {
  tb::RigStore store;
  ArrayHost* host = nullptr;
  SetUpRig(store, host);
  store.FollowMethod = tb::kFollowDistance;
  tb::FollowEngine engine;
  engine.Start();
  if (!TickAndCountAllocations(state, host->channels, kWorkedExampleSweep,
                               [&] { return engine.OnTimer(store); }))
    return;
  CheckWrites(state, *host, 0);
}
BENCHMARK(BM_DistanceTick);

// Devices first to last get fine channels (and fine values of 128).
void MakeFine(tb::RigStore& store, int first, int last) {
  for (int d = first; d <= last; ++d) {
    store.Device(d)->PanFineChannel = 100 + 2 * d;
    store.Device(d)->TiltFineChannel = 101 + 2 * d;
    for (int p = 1; p <= 5; ++p) *store.PanFine(d, p) = *store.TiltFine(d, p) = 128;
  }
}

// Trigonometric ticks with the maps fitted: the first tick fits them, before
// the timing; none may fit again.
void RunTrigonometricTicks(benchmark::State& state, tb::RigStore& store, ArrayHost& host,
                           double writesPerTick) {
  store.FollowMethod = tb::kFollowTrigonometric;
  tb::FollowEngine engine;
  engine.Start();
  host.channels[1] = kStageSweep.pan;
  host.channels[2] = kStageSweep.tilt;
  if (engine.OnTimer(store)) state.SkipWithError("the first tick failed");
  const std::int64_t writesBefore = host.writes;
  const std::uint64_t fitsBefore = engine.Fits();
  if (!TickAndCountAllocations(state, host.channels, kStageSweep,
                               [&] { return engine.OnTimer(store); }))
    return;
  CheckWrites(state, host, writesBefore, writesPerTick);
  if (engine.Fits() != fitsBefore) state.SkipWithError("a map was fitted again");
}

// With fine, every head is 16-bit: four writes per slave.
void BM_TrigonometricTick(benchmark::State& state, bool fine) {
  tb::RigStore store;
  ArrayHost* host = nullptr;
  SetUpStageRig(store, host);
  if (fine) MakeFine(store, 1, 4);
  RunTrigonometricTicks(state, store, *host, fine ? 12.0 : 6.0);
}
BENCHMARK_CAPTURE(BM_TrigonometricTick, 8bit, false);
BENCHMARK_CAPTURE(BM_TrigonometricTick, 16bit, true);

// A whole rig: the master and fifteen slaves (the stage rig's three in
// turn), every head 16-bit: two reads for the master, four writes a slave.
void BM_TrigonometricTickFifteenSlaves(benchmark::State& state) {
  tb::RigStore store;
  ArrayHost* host = nullptr;
  SetUpStageRig(store, host);
  for (int d = 5; d <= tb::kDeviceCount; ++d) {
    const int like = 2 + (d - 2) % 3;
    store.Device(d)->PanChannel = 2 * d - 1;
    store.Device(d)->TiltChannel = 2 * d;
    store.PanCalibration[d - 1] = store.PanCalibration[like - 1];
    store.TiltCalibration[d - 1] = store.TiltCalibration[like - 1];
  }
  MakeFine(store, 1, tb::kDeviceCount);
  RunTrigonometricTicks(state, store, *host, 4.0 * (tb::kDeviceCount - 1));
}
BENCHMARK(BM_TrigonometricTickFifteenSlaves);

// A tick after a slave's calibration changed: one map fitted afresh.
void BM_TrigonometricTickWithRefit(benchmark::State& state) {
  tb::RigStore store;
  ArrayHost* host = nullptr;
  SetUpStageRig(store, host);
  store.FollowMethod = tb::kFollowTrigonometric;
  tb::FollowEngine engine;
  engine.Start();
  std::int32_t& point = *store.Tilt(3, 1);
  const std::int32_t taken = point;
  std::int64_t ticks = 0;
  const std::uint64_t fitsBefore = engine.Fits() + 4;  // the first tick fits all
  if (!TickAndCountAllocations(state, host->channels, kStageSweep, [&] {
        point = taken + static_cast<std::int32_t>(++ticks % 2);
        return engine.OnTimer(store);
      }))
    return;
  CheckWrites(state, *host, 0);
  state.counters["fits_per_tick"] =
      static_cast<double>(engine.Fits() - fitsBefore) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TrigonometricTickWithRefit);

// The marked floor of the stage rig, inside the marks.
constexpr Sweep kInsideSweep{118, 18, 170, 9};

// Following at 1.5 m: the stage solved once before the timing, the height
// channel read after the master (three reads, six writes per tick).
void BM_TrigonometricTickAtHeight(benchmark::State& state) {
  tb::RigStore store;
  ArrayHost* host = nullptr;
  SetUpStageRig(store, host);
  store.FollowMethod = tb::kFollowTrigonometric;
  store.StageK1K3 = 6.0;
  store.HeightChannel = 200;
  host->channels[200] = 150;
  tb::FollowEngine engine;
  if (!engine.PrepareStage(store).empty() || !engine.Trigonometric().Stage().Valid()) {
    state.SkipWithError("the stage rig gives no stage");
    return;
  }
  engine.Start();
  const std::int64_t writesBefore = host->writes;
  if (!TickAndCountAllocations(state, host->channels, kInsideSweep,
                               [&] { return engine.OnTimer(store); }))
    return;
  CheckWrites(state, *host, writesBefore);
  if (!engine.Trigonometric().FollowedAtHeight()) state.SkipWithError("not followed at a height");
  if (engine.Trigonometric().Solves() != 1) state.SkipWithError("the stage was solved again");
}
BENCHMARK(BM_TrigonometricTickAtHeight);

// The stage solve for the master and three slaves, 8-bit, as at Enable TB
// after a change of calibration (it must stay well under 50 ms).
void BM_StageSolve(benchmark::State& state) {
  tb::RigStore store;
  ArrayHost* host = nullptr;
  SetUpStageRig(store, host);
  const std::vector<tb::StageHead> heads = tb::StageHeadsOf(store);
  for (auto _ : state) {
    const tb::StageSolution solution = tb::SolveStage(heads, {6.0, 4.0});
    if (!solution.Valid()) {
      state.SkipWithError("the stage rig gives no stage");
      return;
    }
    benchmark::DoNotOptimize(solution.heads.data());
  }
  state.counters["devices"] = static_cast<double>(heads.size());
}
BENCHMARK(BM_StageSolve)->Unit(benchmark::kMillisecond);

// A host as a COM object: the helper hands out its one output object with
// AddRef for every write, as a host that keeps its output object would.
template <class I>
class Dispatch : public orvn::NoLateBinding<I> {
 public:
  orvn::HRESULT ORVN_STDCALL QueryInterface(orvn::REFIID, void** ppv) override {
    *ppv = nullptr;
    return orvn::E_NOINTERFACE;
  }
  orvn::ULONG ORVN_STDCALL AddRef() override { return ++refs; }
  orvn::ULONG ORVN_STDCALL Release() override { return --refs; }
  orvn::ULONG refs = 1;
};

class ComOutput final : public Dispatch<orvn::IORVNOutput> {
 public:
  std::array<std::int32_t, 512>* channels = nullptr;
  orvn::HRESULT ORVN_STDCALL WriteChannel(std::int32_t* channel, std::int32_t* value,
                                          orvn::VARIANT_BOOL*) override {
    (*channels)[static_cast<std::size_t>(*channel) % channels->size()] = *value;
    return orvn::S_OK;
  }
};

class ComHelper final : public Dispatch<orvn::IORVNPluginHelper> {
 public:
  std::array<std::int32_t, 512> channels{};
  ComOutput output;
  ComHelper() { output.channels = &channels; }
  orvn::HRESULT ORVN_STDCALL ReadChannel(std::int32_t* channel, std::int32_t* value) override {
    *value = channels[static_cast<std::size_t>(*channel) % channels.size()];
    return orvn::S_OK;
  }
  orvn::HRESULT ORVN_STDCALL get_Output(orvn::IORVNOutput** out) override {
    output.AddRef();
    *out = &output;
    return orvn::S_OK;
  }
};

void BM_FollowTickThroughComHost(benchmark::State& state) {
  tb::RigStore store;
  ArrayHost* unused = nullptr;
  SetUpRig(store, unused);
  ComHelper com;
  store.SetHostHelper(std::make_unique<tb::shell::ComHostHelper>(&com));
  tb::FollowEngine engine;
  engine.Start();
  if (!TickAndCountAllocations(state, com.channels, kWorkedExampleSweep,
                               [&] { return engine.OnTimer(store); }))
    return;
  if (com.output.refs != 1) state.SkipWithError("an output object was not released");
}
BENCHMARK(BM_FollowTickThroughComHost);

}  // namespace

BENCHMARK_MAIN();

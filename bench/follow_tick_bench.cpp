// Cost of one follow tick: a master and three calibrated slaves, 2 reads and
// 6 writes per tick. Besides the time, counts heap allocations made during
// the ticks (alloc_counter.cpp replaces the global operator new): the tick runs
// every 100 ms for hours and must allocate nothing.
//
//   build/plain/bin/follow_tick_bench
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "alloc_counter.h"
#include "follow/follow.h"
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

void SetUpRig(tb::RigStore& store, ArrayHost*& host) {
  auto owned = std::make_unique<ArrayHost>();
  host = owned.get();
  store.SetHostHelper(std::move(owned));
  store.FollowMethod = 1;
  store.MasterDevice = 1;
  const std::int32_t master[5][2] = {{60, 40}, {60, 200}, {220, 40}, {220, 200}, {140, 120}};
  const std::int32_t slave[5][2] = {{30, 10}, {31, 190}, {200, 20}, {210, 180}, {90, 70}};
  for (int d = 1; d <= 4; ++d) {
    store.Device(d)->PanChannel = 2 * d - 1;
    store.Device(d)->TiltChannel = 2 * d;
    for (int p = 1; p <= 5; ++p) {
      *store.Pan(d, p) = (d == 1 ? master : slave)[p - 1][0] + (d - 1);
      *store.Tilt(d, p) = (d == 1 ? master : slave)[p - 1][1] + (d - 1);
    }
  }
}

// Runs the ticks while the master sweeps the stage (so corner zones and the
// centre all occur), and reports and checks the heap allocations they make.
// false when the benchmark was marked failed.
bool TickAndCountAllocations(benchmark::State& state, tb::RigStore& store,
                             std::array<std::int32_t, 512>& channels) {
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
    channels[1] = 50 + step % 180;
    channels[2] = 30 + (step * 7) % 190;
    ++step;
    const std::error_code e = tb::OnFollowTimer(store);
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

void BM_FollowTick(benchmark::State& state) {
  tb::RigStore store;
  ArrayHost* host = nullptr;
  SetUpRig(store, host);
  if (!TickAndCountAllocations(state, store, host->channels)) return;
  state.counters["writes_per_tick"] =
      static_cast<double>(host->writes) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FollowTick);

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
  if (!TickAndCountAllocations(state, store, com.channels)) return;
  if (com.output.refs != 1) state.SkipWithError("an output object was not released");
}
BENCHMARK(BM_FollowTickThroughComHost);

}  // namespace

BENCHMARK_MAIN();

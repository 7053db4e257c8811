// The host's side of DMX access for plug-ins: the helper object handed to
// Init and the output object it gives out for each write.
#pragma once

#include <cstdint>
#include <functional>

#include "host/session/com_object.h"
#include "host/session/read_log.h"
#include "host/sim/universe.h"
#include "orvn/orvntypelib.h"

namespace tbhost {

// What plug-ins asked of the host. The output objects alive at a time show
// whether callers release every object they fetched.
struct HostCallCounts {
  std::int64_t reads = 0;
  std::int64_t outputsFetched = 0;
  std::int64_t writes = 0;
  std::int64_t failed = 0;
  std::int64_t outputsAlive = 0;

  std::int64_t Total() const { return reads + outputsFetched + writes; }
};

// Heard after every successful read (the demo takes a follow tick's start
// from the master's reads).
using ReadObserver = std::function<void(std::int32_t channel, std::int32_t value)>;

// The helper keeps the universe and the counts by reference: both must
// outlive it and every output object it hands out (the host owns all three
// for the whole session).
class ChannelHelper final : public ComObject<orvn::IORVNPluginHelper, orvn::IID_IORVNPluginHelper> {
 public:
  // Created with one reference, owned by the caller.
  static ChannelHelper* Create(Universe& universe, HostCallCounts& counts);

  void SetReadObserver(ReadObserver observer) { readObserver_ = std::move(observer); }
  // Times every read, before it is served; not owned, may be null.
  void SetReadLog(ReadLog* log) { readLog_ = log; }

  // Channels outside 1..512 fail with E_INVALIDARG and leave *value alone.
  orvn::HRESULT ORVN_STDCALL ReadChannel(std::int32_t* channel, std::int32_t* value) override;
  // A new output object on every call, so that a caller who keeps one
  // instead of fetching it afresh shows up in the counts.
  orvn::HRESULT ORVN_STDCALL get_Output(orvn::IORVNOutput** output) override;

 private:
  ChannelHelper(Universe& universe, HostCallCounts& counts)
      : universe_(universe), counts_(counts) {}

  Universe& universe_;
  HostCallCounts& counts_;
  ReadObserver readObserver_;
  ReadLog* readLog_ = nullptr;
};

// WriteChannel: channels outside 1..512 and values outside 0..255 fail with
// E_INVALIDARG and change nothing. The flag is accepted whatever it holds:
// this host applies every write at once, so it has no meaning here.
class ChannelOutput final : public ComObject<orvn::IORVNOutput, orvn::IID_IORVNOutput> {
 public:
  static ChannelOutput* Create(Universe& universe, HostCallCounts& counts);

  orvn::HRESULT ORVN_STDCALL WriteChannel(std::int32_t* channel, std::int32_t* value,
                                          orvn::VARIANT_BOOL* flag) override;

 private:
  ChannelOutput(Universe& universe, HostCallCounts& counts);
  ~ChannelOutput() override;

  Universe& universe_;
  HostCallCounts& counts_;
};

}  // namespace tbhost

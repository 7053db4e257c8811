// A recording host helper for tests that drive the plug-in through its
// binary interface: a value for every channel number (any int32), every
// call recorded in order, failures on request, reference counts visible.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "orvn/dispatchimpl.h"
#include "orvn/orvntypelib.h"

namespace tb::testing {

struct ComCall {
  std::string what;  // "ReadChannel", "Output", "WriteChannel", "ReleaseOutput"
  std::int32_t channel = 0;
  std::int32_t value = 0;
  orvn::VARIANT_BOOL flag = 0;
  bool operator==(const ComCall&) const = default;
};

template <class Interface>
using DispatchBase = orvn::NoLateBinding<Interface>;

class RecordingHelper;

class RecordingOutput final : public DispatchBase<orvn::IORVNOutput> {
 public:
  explicit RecordingOutput(RecordingHelper& host) : host_(host) {}
  orvn::HRESULT ORVN_STDCALL QueryInterface(orvn::REFIID riid, void** ppv) override;
  orvn::ULONG ORVN_STDCALL AddRef() override { return ++refs; }
  orvn::ULONG ORVN_STDCALL Release() override;
  orvn::HRESULT ORVN_STDCALL WriteChannel(std::int32_t* channel, std::int32_t* value,
                                          orvn::VARIANT_BOOL* flag) override;
  long refs = 1;

 private:
  RecordingHelper& host_;
};

// Lives on the test's stack; its reference count only tells whether the
// plug-in balanced its AddRef and Release.
class RecordingHelper final : public DispatchBase<orvn::IORVNPluginHelper> {
 public:
  std::map<std::int32_t, std::int32_t> channels;
  std::vector<ComCall> calls;
  long refs = 0;           // references the plug-in holds
  long outputsAlive = 0;   // output objects not yet released
  int failCallNumber = 0;  // 1-based over all calls; 0 never
  std::string failKind;    // "ReadChannel", "Output" or "WriteChannel": every such call fails
  orvn::HRESULT failure = orvn::E_FAIL;

  orvn::HRESULT ORVN_STDCALL QueryInterface(orvn::REFIID riid, void** ppv) override {
    if (riid == orvn::IID_IUnknown || riid == orvn::IID_IDispatch ||
        riid == orvn::IID_IORVNPluginHelper) {
      *ppv = this;
      AddRef();
      return orvn::S_OK;
    }
    *ppv = nullptr;
    return orvn::E_NOINTERFACE;
  }
  orvn::ULONG ORVN_STDCALL AddRef() override { return static_cast<orvn::ULONG>(++refs); }
  orvn::ULONG ORVN_STDCALL Release() override { return static_cast<orvn::ULONG>(--refs); }

  orvn::HRESULT ORVN_STDCALL ReadChannel(std::int32_t* channel, std::int32_t* value) override {
    if (Fails("ReadChannel")) return failure;
    *value = channels[*channel];
    calls.push_back({"ReadChannel", *channel, *value, 0});
    return orvn::S_OK;
  }
  orvn::HRESULT ORVN_STDCALL get_Output(orvn::IORVNOutput** output) override {
    if (Fails("Output")) {
      *output = nullptr;
      return failure;
    }
    calls.push_back({"Output", 0, 0, 0});
    ++outputsAlive;
    *output = new RecordingOutput(*this);
    return orvn::S_OK;
  }

  // Only the writes, as (channel, value) pairs.
  std::vector<std::pair<std::int32_t, std::int32_t>> Writes() const {
    std::vector<std::pair<std::int32_t, std::int32_t>> out;
    for (const auto& c : calls)
      if (c.what == "WriteChannel") out.emplace_back(c.channel, c.value);
    return out;
  }

  bool Fails(const std::string& kind) { return ++callCount_ == failCallNumber || failKind == kind; }

 private:
  friend class RecordingOutput;
  int callCount_ = 0;
};

inline orvn::HRESULT RecordingOutput::QueryInterface(orvn::REFIID riid, void** ppv) {
  if (riid == orvn::IID_IUnknown || riid == orvn::IID_IDispatch || riid == orvn::IID_IORVNOutput) {
    *ppv = this;
    AddRef();
    return orvn::S_OK;
  }
  *ppv = nullptr;
  return orvn::E_NOINTERFACE;
}

inline orvn::ULONG RecordingOutput::Release() {
  const long left = --refs;
  if (left == 0) {
    host_.calls.push_back({"ReleaseOutput", 0, 0, 0});
    --host_.outputsAlive;
    delete this;
  }
  return static_cast<orvn::ULONG>(left);
}

inline orvn::HRESULT RecordingOutput::WriteChannel(std::int32_t* channel, std::int32_t* value,
                                                   orvn::VARIANT_BOOL* flag) {
  if (host_.Fails("WriteChannel")) return host_.failure;
  host_.channels[*channel] = *value;
  host_.calls.push_back({"WriteChannel", *channel, *value, *flag});
  return orvn::S_OK;
}

}  // namespace tb::testing

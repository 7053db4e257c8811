#include "host/session/channel_helper.h"

#include <new>

namespace tbhost {

ChannelHelper* ChannelHelper::Create(Universe& universe, HostCallCounts& counts) {
  return new ChannelHelper(universe, counts);
}

orvn::HRESULT ORVN_STDCALL ChannelHelper::ReadChannel(std::int32_t* channel, std::int32_t* value) {
  ++counts_.reads;
  if (readLog_ != nullptr && channel != nullptr) readLog_->Note(*channel);
  if (channel == nullptr || value == nullptr) {
    ++counts_.failed;
    return orvn::E_POINTER;
  }
  std::int32_t read = 0;
  if (!universe_.Get(*channel, read)) {
    ++counts_.failed;
    return orvn::E_INVALIDARG;
  }
  *value = read;
  if (readObserver_) readObserver_(*channel, read);
  return orvn::S_OK;
}

orvn::HRESULT ORVN_STDCALL ChannelHelper::get_Output(orvn::IORVNOutput** output) {
  ++counts_.outputsFetched;
  if (output == nullptr) {
    ++counts_.failed;
    return orvn::E_POINTER;
  }
  *output = ChannelOutput::Create(universe_, counts_);
  if (*output == nullptr) {
    ++counts_.failed;
    return orvn::E_OUTOFMEMORY;
  }
  return orvn::S_OK;
}

ChannelOutput* ChannelOutput::Create(Universe& universe, HostCallCounts& counts) {
  return new (std::nothrow) ChannelOutput(universe, counts);
}

ChannelOutput::ChannelOutput(Universe& universe, HostCallCounts& counts)
    : universe_(universe), counts_(counts) {
  ++counts_.outputsAlive;
}

ChannelOutput::~ChannelOutput() { --counts_.outputsAlive; }

orvn::HRESULT ORVN_STDCALL ChannelOutput::WriteChannel(std::int32_t* channel, std::int32_t* value,
                                                       orvn::VARIANT_BOOL* flag) {
  ++counts_.writes;
  if (channel == nullptr || value == nullptr || flag == nullptr) {
    ++counts_.failed;
    return orvn::E_POINTER;
  }
  if (!Universe::ValidChannel(*channel) || !Universe::ValidValue(*value)) {
    ++counts_.failed;
    return orvn::E_INVALIDARG;
  }
  universe_.Set(*channel, *value);
  return orvn::S_OK;
}

}  // namespace tbhost

#include "host/sim/universe.h"

namespace tbhost {

bool Universe::Get(std::int32_t channel, std::int32_t& value) const {
  if (!ValidChannel(channel)) return false;
  value = At(channel);
  return true;
}

bool Universe::Set(std::int32_t channel, std::int32_t value) {
  if (!ValidChannel(channel) || !ValidValue(value)) return false;
  values_[static_cast<std::size_t>(channel - 1)] = static_cast<std::uint8_t>(value);
  // A listener may add listeners; call a snapshot so that none moves while it runs.
  const auto listeners = listeners_;
  for (const auto& listener : listeners) listener(channel, value);
  return true;
}

}  // namespace tbhost

// One DMX universe of 512 channels, numbered 1 to 512, each holding 0..255.
// Plain C++; windows and the demo listen through callbacks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace tbhost {

class Universe {
 public:
  static constexpr std::int32_t kChannels = 512;
  static constexpr std::int32_t kMaxValue = 255;

  static constexpr bool ValidChannel(std::int64_t channel) {
    return channel >= 1 && channel <= kChannels;
  }
  static constexpr bool ValidValue(std::int64_t value) { return value >= 0 && value <= kMaxValue; }

  // False (and nothing read) for a channel outside 1..512.
  bool Get(std::int32_t channel, std::int32_t& value) const;
  // Out-of-range channels and values are refused and change nothing: a
  // universe slot holds one byte, and quietly clamping would hide a fault in
  // whoever wrote. Listeners hear every accepted write, changed or not.
  bool Set(std::int32_t channel, std::int32_t value);
  // For callers that validated the channel already.
  std::int32_t At(std::int32_t channel) const {
    return values_[static_cast<std::size_t>(channel - 1)];
  }

  using Listener = std::function<void(std::int32_t channel, std::int32_t value)>;
  // Listeners stay registered for the universe's life.
  void AddListener(Listener listener) { listeners_.push_back(std::move(listener)); }

 private:
  std::array<std::uint8_t, kChannels> values_{};
  std::vector<Listener> listeners_;
};

}  // namespace tbhost

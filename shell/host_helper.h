// The one place that calls the host's helper object.
#pragma once

#include <system_error>

#include "orvn/orvntypelib.h"
#include "rig/host_channels.h"

namespace tb::shell {

// Host call results travel through the core as error codes of this category.
const std::error_category& hresult_category() noexcept;
inline std::error_code MakeHresultError(orvn::HRESULT hr) {
  return {static_cast<int>(hr), hresult_category()};
}
// The failure code to hand back to the host for an error from the core.
orvn::HRESULT ToHresult(const std::error_code& error);

// Holds its own counted reference to the helper, released when replaced.
class ComHostHelper final : public HostChannels {
 public:
  explicit ComHostHelper(orvn::IORVNPluginHelper* helper);
  ~ComHostHelper() override;
  ComHostHelper(const ComHostHelper&) = delete;
  ComHostHelper& operator=(const ComHostHelper&) = delete;

  std::error_code ReadChannel(std::int32_t channel, std::int32_t& value) override;
  // Fetches Output anew, writes with flag true, releases the output object.
  std::error_code WriteChannel(std::int32_t channel, std::int32_t value) override;

 private:
  orvn::IORVNPluginHelper* helper_;
};

}  // namespace tb::shell

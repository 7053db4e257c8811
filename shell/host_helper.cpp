#include "shell/host_helper.h"

#include <cstdio>
#include <string>

#include "rig/errors.h"

namespace tb::shell {

using namespace orvn;

namespace {

class HresultCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "hresult"; }
  std::string message(int code) const override {
    const auto hr = static_cast<orvn::HRESULT>(code);
    const char* text = "the host reported a failure";
    switch (hr) {
      case E_INVALIDARG:
        text = "the host refused the channel (invalid argument)";
        break;
      case E_POINTER:
        text = "the host returned no object";
        break;
      case E_NOTIMPL:
        text = "the host does not offer this call";
        break;
      case E_OUTOFMEMORY:
        text = "the host ran out of memory";
        break;
      default:
        break;
    }
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%s (0x%08X)", text, static_cast<unsigned>(hr));
    return buffer;
  }
};

}  // namespace

const std::error_category& hresult_category() noexcept {
  static const HresultCategory category;
  return category;
}

orvn::HRESULT ToHresult(const std::error_code& error) {
  if (!error) return S_OK;
  if (error.category() == hresult_category()) return static_cast<orvn::HRESULT>(error.value());
  if (error == Errc::out_of_range) return DISP_E_BADINDEX;
  if (error.category() == std::system_category() || error.category() == std::generic_category())
    return HRESULT_FROM_WIN32(static_cast<std::uint32_t>(error.value()));
  return E_FAIL;
}

ComHostHelper::ComHostHelper(orvn::IORVNPluginHelper* helper) : helper_(helper) {
  if (helper_ != nullptr) helper_->AddRef();
}

ComHostHelper::~ComHostHelper() {
  if (helper_ != nullptr) helper_->Release();
}

std::error_code ComHostHelper::ReadChannel(std::int32_t channel, std::int32_t& value) {
  if (helper_ == nullptr) return make_error_code(Errc::no_host_helper);
  LONG byRef = channel;
  LONG result = 0;
  const orvn::HRESULT hr = helper_->ReadChannel(&byRef, &result);
  if (FAILED(hr)) return MakeHresultError(hr);
  value = result;
  return {};
}

std::error_code ComHostHelper::WriteChannel(std::int32_t channel, std::int32_t value) {
  if (helper_ == nullptr) return make_error_code(Errc::no_host_helper);
  orvn::IORVNOutput* output = nullptr;
  orvn::HRESULT hr = helper_->get_Output(&output);
  if (FAILED(hr)) {
    if (output != nullptr) output->Release();
    return MakeHresultError(hr);
  }
  if (output == nullptr) return MakeHresultError(E_POINTER);
  LONG byRefChannel = channel;
  LONG byRefValue = value;
  orvn::VARIANT_BOOL flag = VARIANT_TRUE;
  hr = output->WriteChannel(&byRefChannel, &byRefValue, &flag);
  output->Release();
  return FAILED(hr) ? MakeHresultError(hr) : std::error_code{};
}

}  // namespace tb::shell

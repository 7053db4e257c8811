// The follow rate as the device setup window shows and takes it: ticks a
// second, one of the offered rates.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tb::ui {

// 10, 20, 25 or 40 with blanks around it; an empty text is the default.
// nullopt for anything else.
std::optional<std::int32_t> FollowRateEntry(const std::string& text);

// The rate in decimal; a rate not offered shows as the default it ticks at.
std::string FollowRateText(std::int32_t rate);

}  // namespace tb::ui

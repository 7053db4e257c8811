// The texts the operator types beside the devices: the measured lengths,
// the height channel and the follow rate in the device setup window, the
// follow height in the main window. Metres take a full stop or a comma and
// at most two decimals.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tb::ui {

// The follow height box's range, in centimetres.
inline constexpr std::int32_t kMaxFollowHeightCentimetres = 300;

// A stage length in metres: 0 for an empty text or 0 (not measured),
// else 0.10 to 100.00; nullopt for anything else.
std::optional<double> StageLengthEntry(const std::string& text);

// The height channel: 0 for an empty text or 0 (none), else 1 to 512.
std::optional<std::int32_t> HeightChannelEntry(const std::string& text);

// The follow height in metres, 0.00 to 3.00; an empty text is the floor.
std::optional<double> FollowHeightEntry(const std::string& text);

// The follow rate: 10, 20, 25 or 40; an empty text is the default.
std::optional<std::int32_t> FollowRateEntry(const std::string& text);

// What the fields show for a value: a length in metres with two decimals,
// a channel in decimal; the empty text for "not given".
std::string StageLengthText(double metres);
std::string HeightChannelText(std::int32_t channel);
std::string FollowHeightText(double metres);
// A rate not offered shows as the default it ticks at.
std::string FollowRateText(std::int32_t rate);

}  // namespace tb::ui

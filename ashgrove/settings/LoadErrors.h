#pragma once

#include <string_view>

#include "settings/ConstantText.h"
#include "settings/DurationLimits.h"

// The texts a load fails with, of the plugin's own making; a reload answers
// them over RCON. The JSON library's own errors all begin JsonErrorStart.
inline constexpr std::string_view CannotOpenConfig = "Can't open config.json";
// "config.json is N bytes, more than the limit of L bytes"
inline constexpr std::string_view TooLargeStart = "config.json is ";
inline constexpr std::string_view TooLargeMiddle = " bytes, more than the limit of ";
inline constexpr std::string_view TooLargeEnd = " bytes";
// "KEY: VALUE is out of range (-2147483648 to 2147483647)"
inline constexpr auto OutOfRangeEndText =
    " is out of range (" + Decimal<LowestDuration>() + " to " + Decimal<HighestDuration>() + ")";
inline constexpr std::string_view OutOfRangeEnd = OutOfRangeEndText.View();
inline constexpr std::string_view JsonErrorStart = "[json.exception.";

// Whether a reload's answer is one of the texts a load fails with: the
// plugin read (or tried to read) its file and refused it. For tools; the
// plugin itself never asks.
bool IsLoadFailure(std::string_view answer);

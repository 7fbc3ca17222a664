#pragma once

#include <cstdint>
#include <limits>

// A duration in the settings file is a signed 32-bit number of seconds once
// cut toward zero. The reader's check, its error text and the file's JSON
// Schema take the range from here.
inline constexpr std::int32_t LowestDuration = std::numeric_limits<std::int32_t>::min();
inline constexpr std::int32_t HighestDuration = std::numeric_limits<std::int32_t>::max();

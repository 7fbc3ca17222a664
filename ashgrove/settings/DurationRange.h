#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// Throws std::out_of_range when a numeric duration, cut toward zero, does not
// fit a signed 32-bit integer. The message quotes the number as the file
// spells it (`written`, when known): the parsed document keeps only the
// double, which would print 1e10 as 10000000000.0.
void RejectOutOfRangeDuration(const char* key, const nlohmann::json& member,
                              std::string_view written);

// "KEY: VALUE is out of range (-2147483648 to 2147483647)", the range a
// duration's.
std::string OutOfRangeText(std::string_view key, std::string_view value);

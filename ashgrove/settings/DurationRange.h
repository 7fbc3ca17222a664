#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

// Throws std::out_of_range when a numeric duration, cut toward zero, does not
// fit a signed 32-bit integer. The message quotes the number as the file
// spells it, which is why the file's text is passed along.
void RejectOutOfRangeDuration(const std::string& key, const nlohmann::json& member,
                              const std::string& file_text);

#pragma once

#include <string_view>

// The texts a load fails with, of the plugin's own making; a reload answers
// them over RCON. The JSON library's own errors all begin JsonErrorStart.
inline constexpr std::string_view CannotOpenConfig = "Can't open config.json";
inline constexpr std::string_view JsonErrorStart = "[json.exception.";
// The other two, "config.json is N bytes, more than the limit of L bytes"
// and "KEY: VALUE is out of range (-2147483648 to 2147483647)", are made
// where they are thrown: TooLargeText in ConfigFile.h, OutOfRangeText in
// DurationRange.h.

// Whether a reload's answer is one of the texts a load fails with: the
// plugin read (or tried to read) its file and refused it. For tools; the
// plugin itself never asks.
bool IsLoadFailure(std::string_view answer);

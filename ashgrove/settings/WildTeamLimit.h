#pragma once

#include <cstdint>

// Teams below this number are the wild ones; tamed creatures and players'
// tribes are numbered from it upwards. The rules sort bodies by it, and the
// settings table's texts quote it.
inline constexpr std::int32_t WildTeamLimit = 50001;

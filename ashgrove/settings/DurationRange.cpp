#include "settings/DurationRange.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "settings/DurationLimits.h"

namespace
{
using nlohmann::json;

bool FitsDuration(const json& member)
{
  if (member.is_number_unsigned())
  {
    return member.get<json::number_unsigned_t>() <=
           static_cast<json::number_unsigned_t>(HighestDuration);
  }
  if (member.is_number_integer())
  {
    const auto value = member.get<json::number_integer_t>();
    return value >= LowestDuration && value <= HighestDuration;
  }
  const double whole = std::trunc(member.get<json::number_float_t>());
  return whole >= LowestDuration && whole <= HighestDuration;
}
} // namespace

std::string OutOfRangeText(std::string_view key, std::string_view value)
{
  char range[64];
  std::snprintf(range, sizeof range, " is out of range (%d to %d)",
                static_cast<int>(LowestDuration), static_cast<int>(HighestDuration));
  std::string text(key);
  text.append(": ").append(value).append(range);
  return text;
}

void RejectOutOfRangeDuration(const char* key, const json& member, std::string_view written)
{
  if (FitsDuration(member))
  {
    return;
  }
  const std::string spelled = written.empty() ? member.dump() : std::string(written);
  throw std::out_of_range(OutOfRangeText(key, spelled));
}

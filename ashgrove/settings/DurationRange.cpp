#include "settings/DurationRange.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "settings/DurationLimits.h"
#include "settings/LoadErrors.h"

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

void RejectOutOfRangeDuration(const char* key, const json& member, std::string_view written)
{
  if (FitsDuration(member))
  {
    return;
  }
  const std::string spelled = written.empty() ? member.dump() : std::string(written);
  throw std::out_of_range(OutOfRangeText(key, spelled));
}

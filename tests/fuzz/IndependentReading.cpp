#include "IndependentReading.h"

#include <cmath>
#include <cstdint>
#include <sstream>

#include <nlohmann/json.hpp>

namespace
{
using nlohmann::json;

std::optional<bool> Switch(const json& object, const char* key, bool fallback)
{
  const auto member = object.find(key);
  if (member == object.end())
  {
    return fallback;
  }
  if (!member->is_boolean())
  {
    return std::nullopt;
  }
  return member->get<bool>();
}

std::optional<std::int32_t> Duration(const json& object, const char* key, std::int32_t fallback)
{
  const auto member = object.find(key);
  if (member == object.end())
  {
    return fallback;
  }
  long double whole = 0;
  switch (member->type())
  {
  case json::value_t::boolean:
    return member->get<bool>() ? 1 : 0;
  case json::value_t::number_integer:
    whole = static_cast<long double>(member->get<std::int64_t>());
    break;
  case json::value_t::number_unsigned:
    whole = static_cast<long double>(member->get<std::uint64_t>());
    break;
  case json::value_t::number_float:
    whole = std::trunc(static_cast<long double>(member->get<double>()));
    break;
  default:
    return std::nullopt;
  }
  if (whole < -2147483648.0L || whole > 2147483647.0L)
  {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(whole);
}
} // namespace

std::optional<CorpseSettingsValues> ReadSettingsIndependently(const std::string& text)
{
  json document;
  try
  {
    std::istringstream stream(text);
    stream >> document;
  }
  catch (const json::exception&)
  {
    return std::nullopt;
  }
  if (!document.is_object())
  {
    return std::nullopt;
  }
  const auto tamed = Switch(document, "tamedDinosAffected", false);
  const auto wild = Switch(document, "wildDinosAffected", false);
  const auto players = Switch(document, "playersBodiesAffected", false);
  const auto tamed_time = Duration(document, "tamedCorpseDecayTime", 1800);
  const auto wild_time = Duration(document, "wildCorpseDecayTime", 300);
  const auto players_time = Duration(document, "playersBodiesDecayTime", 1800);
  if (!tamed || !wild || !players || !tamed_time || !wild_time || !players_time)
  {
    return std::nullopt;
  }
  return CorpseSettingsValues{.tamedDinosAffected = *tamed,
                              .wildDinosAffected = *wild,
                              .playersBodiesAffected = *players,
                              .tamedCorpseDecayTime = *tamed_time,
                              .wildCorpseDecayTime = *wild_time,
                              .playersBodiesDecayTime = *players_time};
}

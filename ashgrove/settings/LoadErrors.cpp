#include "settings/LoadErrors.h"

#include <algorithm>
#include <cctype>

#include "settings/ConfigFile.h"
#include "settings/DurationLimits.h"
#include "settings/SettingsTable.h"

namespace
{
constexpr std::string_view TooLargeStart = "config.json is ";
constexpr std::string_view TooLargeMiddle = " bytes, more than the limit of ";
constexpr std::string_view TooLargeEnd = " bytes";

std::string OutOfRangeEnd()
{
  return " is out of range (" + std::to_string(LowestDuration) + " to " +
         std::to_string(HighestDuration) + ")";
}

bool IsDigits(std::string_view text)
{
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool IsTooLarge(std::string_view answer)
{
  if (!answer.starts_with(TooLargeStart) || !answer.ends_with(TooLargeEnd))
  {
    return false;
  }
  answer.remove_prefix(TooLargeStart.size());
  answer.remove_suffix(TooLargeEnd.size());
  const auto middle = answer.find(TooLargeMiddle);
  return middle != std::string_view::npos && IsDigits(answer.substr(0, middle)) &&
         IsDigits(answer.substr(middle + TooLargeMiddle.size()));
}

bool IsOutOfRange(std::string_view answer)
{
  if (!answer.ends_with(OutOfRangeEnd()))
  {
    return false;
  }
  for (const Setting& setting : SettingsTable)
  {
    const std::string_view key = setting.Key;
    if (setting.Kind == SettingKind::Duration && answer.starts_with(key) &&
        answer.substr(key.size()).starts_with(": "))
    {
      return true;
    }
  }
  return false;
}
} // namespace

std::string TooLargeText(std::uintmax_t size)
{
  return std::string(TooLargeStart) + std::to_string(size) + std::string(TooLargeMiddle) +
         std::to_string(ConfigFileLimit) + std::string(TooLargeEnd);
}

std::string OutOfRangeText(std::string_view key, std::string_view value)
{
  return std::string(key) + ": " + std::string(value) + OutOfRangeEnd();
}

bool IsLoadFailure(std::string_view answer)
{
  return answer == CannotOpenConfig || answer.starts_with(JsonErrorStart) || IsTooLarge(answer) ||
         IsOutOfRange(answer);
}

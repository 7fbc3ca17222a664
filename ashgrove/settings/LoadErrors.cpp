#include "settings/LoadErrors.h"

#include <charconv>
#include <cstdint>

#include "settings/ConfigFile.h"
#include "settings/DurationRange.h"
#include "settings/SettingsTable.h"

namespace
{
// The one number in the text decides what the whole of it must be.
bool IsTooLarge(std::string_view answer)
{
  const auto digits = answer.find_first_of("0123456789");
  if (digits == std::string_view::npos)
  {
    return false;
  }
  std::uintmax_t size = 0;
  const char* end = answer.data() + answer.size();
  std::from_chars(answer.data() + digits, end, size);
  return answer == TooLargeText(size);
}

bool IsOutOfRange(std::string_view answer)
{
  // What follows the value: the text for no key and no value, past ": ".
  if (!answer.ends_with(OutOfRangeText("", "").substr(2)))
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

bool IsLoadFailure(std::string_view answer)
{
  return answer == CannotOpenConfig || answer.starts_with(JsonErrorStart) || IsTooLarge(answer) ||
         IsOutOfRange(answer);
}

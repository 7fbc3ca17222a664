#include "settings/DurationRange.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace
{
using nlohmann::json;

constexpr double LowestDuration = std::numeric_limits<std::int32_t>::min();
constexpr double HighestDuration = std::numeric_limits<std::int32_t>::max();

// Finds how the file spells the number given to a top-level key (the last
// one, as a repeated key counts with its last value). The parsed document
// only keeps the double, which would print 1e10 as 10000000000.0.
class RawNumberFinder
{
public:
  explicit RawNumberFinder(const std::string& key) : wanted_(key) {}

  [[nodiscard]] const std::string& Found() const { return found_; }

  bool null() { return true; }
  bool boolean(bool /*value*/) { return true; }
  bool number_integer(json::number_integer_t /*value*/) { return true; }
  bool number_unsigned(json::number_unsigned_t /*value*/) { return true; }
  bool number_float(json::number_float_t /*value*/, const std::string& text)
  {
    if (depth_ == 1 && at_wanted_key_)
    {
      found_ = text;
    }
    return true;
  }
  bool string(std::string& /*value*/) { return true; }
  bool binary(json::binary_t& /*value*/) { return true; }
  bool start_object(std::size_t /*size*/) { return Enter(); }
  bool end_object() { return Leave(); }
  bool start_array(std::size_t /*size*/) { return Enter(); }
  bool end_array() { return Leave(); }
  bool key(std::string& name)
  {
    if (depth_ == 1)
    {
      at_wanted_key_ = name == wanted_;
    }
    return true;
  }
  bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                   const nlohmann::detail::exception& /*error*/)
  {
    return false;
  }

private:
  bool Enter()
  {
    ++depth_;
    return true;
  }
  bool Leave()
  {
    --depth_;
    return true;
  }

  const std::string& wanted_;
  std::string found_;
  int depth_ = 0;
  bool at_wanted_key_ = false;
};

std::string SpelledNumber(const std::string& key, const json& member, const std::string& file_text)
{
  if (member.is_number_float())
  {
    RawNumberFinder finder(key);
    json::sax_parse(file_text, &finder, json::input_format_t::json, false);
    if (!finder.Found().empty())
    {
      return finder.Found();
    }
  }
  return member.dump();
}

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
    return value >= static_cast<json::number_integer_t>(LowestDuration) &&
           value <= static_cast<json::number_integer_t>(HighestDuration);
  }
  const double whole = std::trunc(member.get<json::number_float_t>());
  return whole >= LowestDuration && whole <= HighestDuration;
}
} // namespace

void RejectOutOfRangeDuration(const std::string& key, const json& member,
                              const std::string& file_text)
{
  if (FitsDuration(member))
  {
    return;
  }
  throw std::out_of_range(key + ": " + SpelledNumber(key, member, file_text) +
                          " is out of range (-2147483648 to 2147483647)");
}

#include "configtool/SettingsCheck.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <regex>
#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "settings/ConfigFile.h"
#include "settings/SettingsReader.h"

namespace configtool
{
namespace
{
struct KeyInfo
{
  const char* Name;
  const char* Switch; // for a duration, the switch that makes it count
};

constexpr std::array<KeyInfo, 6> Keys = {{
    {"tamedDinosAffected", nullptr},
    {"wildDinosAffected", nullptr},
    {"playersBodiesAffected", nullptr},
    {"tamedCorpseDecayTime", "tamedDinosAffected"},
    {"wildCorpseDecayTime", "wildDinosAffected"},
    {"playersBodiesDecayTime", "playersBodiesAffected"},
}};

// Editors put this key in to find the file's schema; the server ignores it.
constexpr std::string_view SchemaKey = "$schema";

const KeyInfo* FindKey(std::string_view name)
{
  for (const KeyInfo& key : Keys)
  {
    if (name == key.Name)
    {
      return &key;
    }
  }
  return nullptr;
}

bool SwitchIsOn(const CorpseSettingsValues& settings, std::string_view name)
{
  if (name == "tamedDinosAffected")
  {
    return settings.tamedDinosAffected;
  }
  if (name == "wildDinosAffected")
  {
    return settings.wildDinosAffected;
  }
  return settings.playersBodiesAffected;
}

std::int32_t DurationOf(const CorpseSettingsValues& settings, std::string_view name)
{
  if (name == "tamedCorpseDecayTime")
  {
    return settings.tamedCorpseDecayTime;
  }
  if (name == "wildCorpseDecayTime")
  {
    return settings.wildCorpseDecayTime;
  }
  return settings.playersBodiesDecayTime;
}

std::string Lowered(std::string_view text)
{
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

// Edits (insertions, deletions, substitutions) between two short words.
std::size_t EditDistance(std::string_view a, std::string_view b)
{
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j)
  {
    row[j] = j;
  }
  for (std::size_t i = 1; i <= a.size(); ++i)
  {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j)
    {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Quote(std::string_view text)
{
  return nlohmann::json(std::string(text))
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Whole seconds as the reader cuts them; beyond 2^53 the file is refused
// for its range anyway and only the sign matters.
long long WholeSeconds(double value)
{
  constexpr double Limit = 9007199254740992.0;
  return static_cast<long long>(std::trunc(std::clamp(value, -Limit, Limit)));
}

std::optional<double> NumberValue(const std::string& text)
{
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size())
  {
    return std::nullopt;
  }
  return value;
}

class Findings
{
public:
  void Add(std::string kind, std::string message, std::optional<Location> at)
  {
    list_.push_back({std::move(kind), std::move(message), at});
  }

  std::vector<Finding> InFileOrder()
  {
    std::stable_sort(list_.begin(), list_.end(),
                     [](const Finding& a, const Finding& b)
                     {
                       const Location far{1 << 30, 0};
                       const Location& x = a.At ? *a.At : far;
                       const Location& y = b.At ? *b.At : far;
                       return x.Line != y.Line ? x.Line < y.Line : x.Column < y.Column;
                     });
    return std::move(list_);
  }

private:
  std::vector<Finding> list_;
};

void CheckUnknownKey(const Member& member, Findings& findings)
{
  if (member.Name == SchemaKey || FindKey(member.Name) != nullptr)
  {
    return;
  }
  std::string message = "unknown key " + Quote(member.Name) + " is ignored";
  if (const auto nearest = NearestKey(member.Name))
  {
    message += "; did you mean " + Quote(*nearest) + "?";
  }
  findings.Add("unknown-key", message, member.KeyAt);
}

void CheckDuration(const Member& member, const std::optional<CorpseSettingsValues>& settings,
                   Findings& findings)
{
  const KeyInfo* key = FindKey(member.Name);
  if (key == nullptr || key->Switch == nullptr)
  {
    return;
  }
  const std::string name = Quote(member.Name);
  std::optional<double> seconds;
  if (member.Kind == ValueKind::Boolean)
  {
    const bool on = member.Text == "true";
    seconds = on ? 1.0 : 0.0;
    findings.Add("boolean-duration",
                 fmt::format("{} is {}, which counts as {} second{}", name, member.Text, on ? 1 : 0,
                             on ? "" : "s"),
                 member.ValueAt);
  }
  else if (member.Kind == ValueKind::Number)
  {
    seconds = NumberValue(member.Text);
    if (seconds && std::isfinite(*seconds) && std::trunc(*seconds) != *seconds)
    {
      findings.Add("fraction",
                   fmt::format("{} is {}; the fraction is cut, leaving {} seconds", name,
                               member.Text, WholeSeconds(*seconds)),
                   member.ValueAt);
    }
  }
  if (seconds && WholeSeconds(*seconds) <= 0)
  {
    findings.Add("non-positive",
                 fmt::format("{} is {} seconds; it is written to the body as it is", name,
                             WholeSeconds(*seconds)),
                 member.ValueAt);
  }
  // A duration left at its default while its switch is off just spells the
  // default out, as the sample file does; any other value was meant to do
  // something.
  if (settings && !SwitchIsOn(*settings, key->Switch) &&
      DurationOf(*settings, member.Name) != DurationOf(DefaultSettings, member.Name))
  {
    findings.Add("switch-off",
                 fmt::format("{} has no effect: {} is false", name, Quote(key->Switch)),
                 member.KeyAt);
  }
}

void CheckMembers(const FileLayout& layout, const std::optional<CorpseSettingsValues>& settings,
                  Findings& findings)
{
  std::map<std::string, const Member*> last;
  for (const Member& member : layout.Members)
  {
    CheckUnknownKey(member, findings);
    const auto [earlier, first_time] = last.emplace(member.Name, &member);
    if (!first_time)
    {
      findings.Add("duplicate-key",
                   fmt::format("key {} is given again (also at line {}, column {}); the last "
                               "one counts",
                               Quote(member.Name), earlier->second->KeyAt.Line,
                               earlier->second->KeyAt.Column),
                   member.KeyAt);
      earlier->second = &member;
    }
  }
  // Only the value that counts is judged.
  for (const auto& [name, member] : last)
  {
    CheckDuration(*member, settings, findings);
  }
}

void CheckLayout(const FileLayout& layout, const std::optional<CorpseSettingsValues>& settings,
                 Findings& findings)
{
  if (layout.TopLevelObject)
  {
    CheckMembers(layout, settings, findings);
  }
  for (const NestedKey& nested : layout.NestedKeys)
  {
    findings.Add("nested-key",
                 fmt::format("{} inside a nested object is not read; only the keys of the "
                             "top-level object count",
                             Quote(nested.Name)),
                 nested.At);
  }
  if (layout.TrailingText)
  {
    findings.Add("trailing-text", "text after the first JSON value is not read",
                 layout.TrailingText);
  }
}

std::optional<Location> ParseErrorLocation(const std::string& text)
{
  static const std::regex position(R"(at line (\d+), column (\d+))");
  std::smatch match;
  if (!std::regex_search(text, match, position))
  {
    return std::nullopt;
  }
  return Location{std::stoi(match[1]), std::stoi(match[2])};
}

// Where the faulty value of a key is: its last occurrence, which counts.
std::optional<Location> ValueLocation(const FileLayout& layout, const std::string& key)
{
  std::optional<Location> at;
  for (const Member& member : layout.Members)
  {
    if (member.Name == key)
    {
      at = member.ValueAt;
    }
  }
  return at;
}

Refusal Refused(const std::exception& error, std::string kind, const char* key,
                const FileLayout* layout)
{
  Refusal refusal{error.what(), std::move(kind), std::nullopt, std::nullopt};
  if (key != nullptr)
  {
    refusal.Key = key;
  }
  if (refusal.Kind == "parse")
  {
    refusal.At = ParseErrorLocation(refusal.Text);
  }
  else if (layout != nullptr && key != nullptr)
  {
    refusal.At = ValueLocation(*layout, key);
  }
  else if (layout != nullptr)
  {
    refusal.At = layout->ValueAt;
  }
  return refusal;
}
} // namespace

bool IsSettingsKey(std::string_view name)
{
  return FindKey(name) != nullptr;
}

std::optional<std::string> NearestKey(std::string_view name)
{
  const std::string lowered = Lowered(name);
  const KeyInfo* best = nullptr;
  std::size_t best_distance = 4; // more edits than this is another word
  for (const KeyInfo& key : Keys)
  {
    const std::size_t distance = EditDistance(lowered, Lowered(key.Name));
    if (distance < best_distance)
    {
      best = &key;
      best_distance = distance;
    }
  }
  if (best == nullptr)
  {
    return std::nullopt;
  }
  return std::string(best->Name);
}

CheckResult CheckSettingsText(const std::string& bytes)
{
  CheckResult result;
  const char* key = nullptr;
  std::optional<FileLayout> layout;
  try
  {
    result.Settings = ReadSettingsText(bytes, &key);
  }
  catch (const nlohmann::json::parse_error& error)
  {
    result.Error = Refused(error, "parse", nullptr, nullptr);
    return result;
  }
  catch (const nlohmann::json::out_of_range& error)
  {
    result.Error = Refused(error, "overflow", nullptr, nullptr);
    return result;
  }
  catch (const nlohmann::json::type_error& error)
  {
    layout = ScanLayout(bytes, &IsSettingsKey);
    result.Error = Refused(error, key != nullptr ? "type" : "document", key, &*layout);
  }
  catch (const std::out_of_range& error)
  {
    layout = ScanLayout(bytes, &IsSettingsKey);
    result.Error = Refused(error, "range", key, &*layout);
  }
  if (!layout)
  {
    layout = ScanLayout(bytes, &IsSettingsKey);
  }
  Findings findings;
  CheckLayout(*layout, result.Settings, findings);
  result.Warnings = findings.InFileOrder();
  return result;
}

FileCheck CheckSettingsFile(const std::filesystem::path& path)
{
  FileCheck check;
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status))
  {
    check.Unreadable = "no such file";
    return check;
  }
  if (!std::filesystem::is_regular_file(status))
  {
    check.Unreadable =
        std::filesystem::is_directory(status) ? "it is a folder" : "it is not a regular file";
    return check;
  }
  std::string bytes;
  try
  {
    bytes = ReadConfigFileAt(path);
  }
  catch (const std::exception& refused)
  {
    // Too large, or gone or changed since it was looked at: the server
    // would refuse it with this very text.
    const std::string text = refused.what();
    check.Result.Error = Refusal{text, text == "Can't open config.json" ? "open" : "size",
                                 std::nullopt, std::nullopt};
    return check;
  }
  check.Result = CheckSettingsText(bytes);
  return check;
}

std::vector<std::string> Effects(const CorpseSettingsValues& settings)
{
  const auto kind = [](const char* who, bool on, std::int32_t seconds, const char* rest)
  {
    if (!on)
    {
      return fmt::format("{}: the game's own lifespan (switch off)", who);
    }
    return fmt::format("{}: {} s, {}", who, seconds, rest);
  };
  return {
      kind("players' bodies", settings.playersBodiesAffected, settings.playersBodiesDecayTime,
           "decomposition multipliers apply"),
      kind("tamed creatures", settings.tamedDinosAffected, settings.tamedCorpseDecayTime,
           "decomposition multipliers ignored"),
      kind("wild creatures", settings.wildDinosAffected, settings.wildCorpseDecayTime,
           "also when nobody is near, decomposition multipliers ignored"),
      "dead characters' item deposits: their class's default corpse lifespan (no setting)",
  };
}
} // namespace configtool

#include "configtool/SettingsCheck.h"

#include "configtool/Schema.h"
#include "configtool/Text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "settings/ConfigFile.h"
#include "settings/LoadErrors.h"
#include "settings/SettingsReader.h"
#include "settings/SettingsTable.h"

namespace configtool
{
namespace
{
// Editors put this key in to find the file's schema; the server ignores it.

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

// The warnings about one file, placed by the offsets the reader noted.
class Findings
{
public:
  explicit Findings(std::string_view bytes) : bytes_(bytes) {}

  [[nodiscard]] Location Position(std::size_t at) const { return PositionOf(bytes_, at); }

  void Add(std::string kind, std::string message, std::size_t at)
  {
    list_.push_back({std::move(kind), std::move(message), Position(at)});
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
  std::string_view bytes_;
  std::vector<Finding> list_;
};

void CheckUnknownKey(const TopLevelMember& member, Findings& findings)
{
  if (member.Name == SchemaKey || FindSetting(member.Name) != nullptr)
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

void CheckDuration(const TopLevelMember& member,
                   const std::optional<CorpseSettingsValues>& settings, Findings& findings)
{
  const Setting* setting = FindSetting(member.Name);
  if (setting == nullptr || setting->Kind != SettingKind::Duration)
  {
    return;
  }
  const std::string name = Quote(member.Name);
  std::optional<double> seconds;
  if (member.Kind == JsonKind::Boolean)
  {
    const bool on = member.Text == "true";
    seconds = on ? 1.0 : 0.0;
    findings.Add("boolean-duration",
                 fmt::format("{} is {}, which counts as {} second{}", name, member.Text, on ? 1 : 0,
                             on ? "" : "s"),
                 member.ValueAt);
  }
  else if (member.Kind == JsonKind::Number)
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
  const Setting& governing = SwitchOf(*setting);
  if (settings && governing.ValueIn(*settings) == 0 &&
      setting->ValueIn(*settings) != setting->ValueIn(DefaultSettings))
  {
    findings.Add("switch-off",
                 fmt::format("{} has no effect: {} is false", name, Quote(governing.Key)),
                 member.KeyAt);
  }
}

void CheckMembers(const SettingsFilePlaces& layout,
                  const std::optional<CorpseSettingsValues>& settings, Findings& findings)
{
  std::map<std::string, const TopLevelMember*> last;
  for (const TopLevelMember& member : layout.Members)
  {
    CheckUnknownKey(member, findings);
    const auto [earlier, first_time] = last.emplace(member.Name, &member);
    if (!first_time)
    {
      const Location before = findings.Position(earlier->second->KeyAt);
      findings.Add("duplicate-key",
                   fmt::format("key {} is given again (also at line {}, column {}); the last "
                               "one counts",
                               Quote(member.Name), before.Line, before.Column),
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

void CheckLayout(const SettingsFilePlaces& layout,
                 const std::optional<CorpseSettingsValues>& settings, Findings& findings)
{
  if (layout.ValueKind == JsonKind::Object)
  {
    CheckMembers(layout, settings, findings);
  }
  for (const NestedSettingsKey& nested : layout.NestedKeys)
  {
    findings.Add("nested-key",
                 fmt::format("{} inside a nested object is not read; only the keys of the "
                             "top-level object count",
                             Quote(nested.Name)),
                 nested.KeyAt);
  }
  if (layout.TrailingAt)
  {
    findings.Add("trailing-text", "text after the first JSON value is not read",
                 *layout.TrailingAt);
  }
}

Refusal RefusalOf(const std::exception& error, RefusalKind kind, const std::string& bytes,
                  const SettingsReading& reading)
{
  Refusal refusal{error.what(), kind, std::nullopt, std::nullopt};
  const SettingsFilePlaces& layout = reading.Layout;
  if (refusal.Kind == RefusalKind::Parse && layout.ErrorAt)
  {
    refusal.At = PositionAfterReading(bytes, *layout.ErrorAt);
  }
  else if (reading.FailingSetting != nullptr)
  {
    refusal.Key = reading.FailingSetting->Key;
    // The faulty value is the key's last, which counts.
    if (const TopLevelMember* member = layout.LastMember(*refusal.Key))
    {
      refusal.At = PositionOf(bytes, member->ValueAt);
    }
  }
  else if (refusal.Kind == RefusalKind::Document && layout.ValueAt)
  {
    refusal.At = PositionOf(bytes, *layout.ValueAt);
  }
  return refusal;
}
} // namespace

const char* KindWord(RefusalKind kind)
{
  switch (kind)
  {
  case RefusalKind::Parse:
    return "parse";
  case RefusalKind::Overflow:
    return "overflow";
  case RefusalKind::Document:
    return "document";
  case RefusalKind::Type:
    return "type";
  case RefusalKind::Range:
    return "range";
  case RefusalKind::Size:
    return "size";
  case RefusalKind::Open:
    break;
  }
  return "open";
}

std::optional<std::string> NearestKey(std::string_view name)
{
  std::vector<std::string> keys;
  for (const Setting& setting : SettingsTable)
  {
    keys.emplace_back(setting.Key);
  }
  return Nearest(name, keys);
}

CheckResult CheckSettingsText(const std::string& bytes)
{
  CheckResult result;
  SettingsReading reading;
  try
  {
    result.Settings = ReadSettingsText(bytes, &reading);
  }
  catch (const nlohmann::json::parse_error& error)
  {
    result.Error = RefusalOf(error, RefusalKind::Parse, bytes, reading);
    return result;
  }
  catch (const nlohmann::json::out_of_range& error)
  {
    result.Error = RefusalOf(error, RefusalKind::Overflow, bytes, {});
    return result;
  }
  catch (const nlohmann::json::type_error& error)
  {
    result.Error = RefusalOf(
        error, reading.FailingSetting != nullptr ? RefusalKind::Type : RefusalKind::Document, bytes,
        reading);
  }
  catch (const std::out_of_range& error)
  {
    result.Error = RefusalOf(error, RefusalKind::Range, bytes, reading);
  }
  Findings findings(bytes);
  CheckLayout(reading.Layout, result.Settings, findings);
  result.Warnings = findings.InFileOrder();
  return result;
}

FileCheck CheckSettingsFile(const std::filesystem::path& path)
{
  FileCheck check;
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::none)
  {
    // The system would not say what is there (no right to search a folder
    // on the way, say): the server could not open it either.
    check.Result.Error =
        Refusal{std::string(CannotOpenConfig), RefusalKind::Open, std::nullopt, std::nullopt};
    return check;
  }
  if (auto why = NoFileReason(status, error))
  {
    check.Unreadable = std::move(why);
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
    check.Result.Error =
        Refusal{text, text == CannotOpenConfig ? RefusalKind::Open : RefusalKind::Size,
                std::nullopt, std::nullopt};
    return check;
  }
  check.Result = CheckSettingsText(bytes);
  return check;
}

std::vector<std::string> Effects(const CorpseSettingsValues& settings)
{
  std::vector<std::string> lines;
  for (const Setting& duration : SettingsTable)
  {
    if (duration.Kind != SettingKind::Duration)
    {
      continue;
    }
    const Setting& governing = SwitchOf(duration);
    const auto at = static_cast<std::size_t>(governing.SummaryLine);
    lines.resize(std::max(lines.size(), at + 1));
    lines[at] = governing.ValueIn(settings) != 0
                    ? fmt::format("{}: {} s, {}", governing.Bodies, duration.ValueIn(settings),
                                  governing.WhenOn)
                    : fmt::format("{}: the game's own lifespan (switch off)", governing.Bodies);
  }
  lines.emplace_back(
      "dead characters' item deposits: their class's default corpse lifespan (no setting)");
  return lines;
}
} // namespace configtool

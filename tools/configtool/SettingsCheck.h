#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/JsonPlaces.h"
#include "settings/SettingsValues.h"

namespace configtool
{
using Location = TextPosition;

// Something the server accepts but the operator probably did not mean.
struct Finding
{
  std::string Kind; // a stable name for scripts, e.g. "unknown-key"
  std::string Message;
  std::optional<Location> At;
};

// What kind of fault makes the server refuse a file.
enum class RefusalKind
{
  Parse,    // not JSON
  Overflow, // a number too large for the JSON library
  Document, // JSON, but no object
  Type,     // a setting of the wrong type
  Range,    // a duration out of range
  Size,     // a file too large to read
  Open,     // a file that cannot be opened
};

// The kind's name in reports for scripts: "parse", "overflow", ...
const char* KindWord(RefusalKind kind);

// Why the server would refuse the file.
struct Refusal
{
  std::string Text; // exactly what a reload answers over RCON
  RefusalKind Kind = RefusalKind::Parse;
  std::optional<std::string> Key;
  std::optional<Location> At;
};

struct CheckResult
{
  std::optional<CorpseSettingsValues> Settings; // what a reload would put in force
  std::optional<Refusal> Error;
  std::vector<Finding> Warnings; // in file order
};

// Reads the bytes with the server's own reader, in its one pass, then looks
// at what the reader saw on the way for what it silently passes over.
CheckResult CheckSettingsText(const std::string& bytes);

// A settings file checked as the server would read it from that path.
struct FileCheck
{
  // Why the path cannot be read at all, in words (the server would answer
  // "Can't open config.json"); then Result holds nothing.
  std::optional<std::string> Unreadable;
  CheckResult Result;
};
FileCheck CheckSettingsFile(const std::filesystem::path& path);

// In plain words, what each kind of body (and a dead body's deposit) gets
// under these settings, one line each.
std::vector<std::string> Effects(const CorpseSettingsValues& settings);

// The known key a mistyped one was probably meant to be, if any is close:
// the same but for case, or a few letters apart.
std::optional<std::string> NearestKey(std::string_view name);
} // namespace configtool

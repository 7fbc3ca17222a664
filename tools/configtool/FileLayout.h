#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace configtool
{
// A place in the file: lines counted from 1 at each line feed, columns in
// bytes from 1, as the JSON library counts them in its parse errors.
struct Location
{
  int Line = 1;
  int Column = 1;

  bool operator==(const Location&) const = default;
};

enum class ValueKind
{
  Object,
  Array,
  String,
  Number,
  Boolean,
  Null,
};

// One member of the top-level object, in file order.
struct Member
{
  std::string Name; // escapes decoded
  Location KeyAt;
  Location ValueAt;
  ValueKind Kind = ValueKind::Null;
  std::string Text; // the value's bytes as written, for numbers and literals
};

// A member below the top level whose name is one the settings use.
struct NestedKey
{
  std::string Name;
  Location At;
};

// Where things stand in a settings file: what the reader looks at (the
// top-level members of the first JSON value) and what it passes over.
struct FileLayout
{
  std::optional<Location> ValueAt; // the first value, if any
  bool TopLevelObject = false;
  std::vector<Member> Members;
  std::vector<NestedKey> NestedKeys;
  std::optional<Location> TrailingText; // anything but blanks after the value
};

// Scans the first JSON value of a settings file (a leading byte-order mark
// skipped). Meant for files the JSON library has parsed; on anything else it
// stops where the text stops making sense and returns what it found.
// `is_settings_key` tells which nested member names to report.
FileLayout ScanLayout(std::string_view text, bool (*is_settings_key)(std::string_view name));
} // namespace configtool

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

// A place in a settings file: lines counted from 1 at each line feed,
// columns in bytes from 1, as the JSON library counts them in its parse
// errors (a leading byte-order mark counts in the first line).
struct TextPosition
{
  int Line = 1;
  int Column = 1;

  bool operator==(const TextPosition&) const = default;
};

// Where the JSON library says it is after reading `count` bytes of `text`;
// the end of the input counts as one byte more, as in its parse errors.
TextPosition PositionAfterReading(std::string_view text, std::size_t count);

// The line and column of the byte at `offset`.
TextPosition PositionOf(std::string_view text, std::size_t offset);

enum class JsonKind
{
  Object,
  Array,
  String,
  Number,
  Boolean,
  Null,
};

// A member of the top-level object, in file order. Offsets count bytes
// from the start of the file.
struct TopLevelMember
{
  std::string Name; // escapes decoded
  std::size_t KeyAt = 0;
  std::size_t ValueAt = 0;
  JsonKind Kind = JsonKind::Null;
  std::string Text; // a number or literal exactly as written
};

// A member below the top level whose name is a settings key.
struct NestedSettingsKey
{
  std::string Name;
  std::size_t KeyAt = 0;
};

// Where things stand in a settings file, as the JSON library's own parser
// met them on its one pass: what the reader looks at (the top-level members
// of the first value) and what it passes over.
struct TextLayout
{
  std::optional<std::size_t> ValueAt; // the first value, if there is one
  std::optional<JsonKind> ValueKind;
  std::vector<TopLevelMember> Members;
  std::vector<NestedSettingsKey> NestedKeys;
  std::optional<std::size_t> TrailingAt; // anything but blanks after the first value
  std::optional<std::size_t> ErrorAt;    // bytes read when parsing failed, the end counting one

  // The value of the last member of that name (the one that counts).
  [[nodiscard]] const TopLevelMember* LastMember(std::string_view name) const;
};

// The first JSON value of `bytes`, parsed exactly as stream extraction
// parses it: the same grammar and errors, a leading byte-order mark
// skipped, whatever follows the value left unread. `layout` is filled on the
// way; when parsing fails it holds what came before the fault and where the
// fault is, and the library's exception is thrown.
nlohmann::json ParseFirstValue(const std::string& bytes, TextLayout& layout);

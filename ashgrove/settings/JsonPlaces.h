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

// What the JSON library's parser meets on its one pass over a text, each
// thing with where it stands: offsets count bytes from the start of the
// text.
class JsonPlaces
{
public:
  // A member's name; `depth` counts the containers around it, so the first
  // value's own members are at depth 1.
  virtual void Key(int depth, const std::string& name, std::size_t at) = 0;
  // A value at `depth` (0 for the first value itself) that starts at `at`;
  // a number or literal comes with its text as written, a string or a
  // container without.
  virtual void Value(int depth, JsonKind kind, std::size_t at, std::string_view text) = 0;
  // The object or array at `depth` has closed.
  virtual void Closed(int /*depth*/) {}
  // The first value has ended; `trailing` is where text after it begins.
  virtual void Ended(std::optional<std::size_t> /*trailing*/) {}
  // Parsing failed once the parser had read `count` bytes, the end of the
  // input counting as one.
  virtual void Failed(std::size_t /*count*/) {}

protected:
  JsonPlaces() = default;
  ~JsonPlaces() = default;
  JsonPlaces(const JsonPlaces&) = default;
  JsonPlaces& operator=(const JsonPlaces&) = default;
};

// The first JSON value of `bytes`, parsed exactly as stream extraction
// parses it: the same grammar and errors, a leading byte-order mark
// skipped, whatever follows the value left unread. `places` hears of each
// key and value on the way; when parsing fails it has heard what came before
// the fault and where the fault is, and the library's exception is thrown.
nlohmann::json ParseFirstValue(const std::string& bytes, JsonPlaces& places);

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
struct SettingsFilePlaces final : JsonPlaces
{
  std::optional<std::size_t> ValueAt; // the first value, if there is one
  std::optional<JsonKind> ValueKind;
  std::vector<TopLevelMember> Members;
  std::vector<NestedSettingsKey> NestedKeys;
  std::optional<std::size_t> TrailingAt; // anything but blanks after the first value
  std::optional<std::size_t> ErrorAt;    // bytes read when parsing failed, the end counting one

  // The value of the last member of that name (the one that counts).
  [[nodiscard]] const TopLevelMember* LastMember(std::string_view name) const;

  void Key(int depth, const std::string& name, std::size_t at) override;
  void Value(int depth, JsonKind kind, std::size_t at, std::string_view text) override;
  void Ended(std::optional<std::size_t> trailing) override { TrailingAt = trailing; }
  void Failed(std::size_t count) override { ErrorAt = count; }

private:
  bool awaiting_value_ = false;
};

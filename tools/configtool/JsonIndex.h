#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "settings/JsonPlaces.h"

namespace configtool
{
// Where each value of a JSON text stands, by its path ("" for the first
// value, "/servers/0/name" below it), as the JSON library's parser met it on
// its one pass, down to a depth; and the keys an object was given twice,
// which the parsed document keeps only once.
class JsonIndex final : public JsonPlaces
{
public:
  // Values inside more than `depth` arrays and objects are not indexed: a
  // path for every value of a deeply nested text would cost the cube of its
  // depth.
  explicit JsonIndex(std::size_t depth) : depth_(depth) {}

  struct Spot
  {
    std::optional<std::size_t> KeyAt; // a member's name, when the value is one
    std::size_t ValueAt = 0;
  };

  struct Repeated
  {
    std::string Name;
    std::size_t KeyAt = 0;
  };

  [[nodiscard]] const Spot* Find(const std::string& path) const;
  [[nodiscard]] const std::vector<Repeated>& RepeatedKeys() const { return repeated_; }
  [[nodiscard]] std::optional<std::size_t> TrailingAt() const { return trailing_; }
  [[nodiscard]] std::optional<std::size_t> ErrorAt() const { return error_; }

  void Key(int depth, const std::string& name, std::size_t at) override;
  void Value(int depth, JsonKind kind, std::size_t at, std::string_view text) override;
  void Closed(int depth) override;
  void Ended(std::optional<std::size_t> trailing) override { trailing_ = trailing; }
  void Failed(std::size_t count) override { error_ = count; }

private:
  struct Level
  {
    bool Object = false;
    std::size_t Index = 0; // an array's next element
    std::string Key;       // an object's member under way
    std::size_t KeyAt = 0;
    std::set<std::string> Seen;
  };

  [[nodiscard]] std::string PathHere() const;
  void NextElement();

  std::size_t depth_;
  std::vector<Level> levels_;
  std::map<std::string, Spot> spots_;
  std::vector<Repeated> repeated_;
  std::optional<std::size_t> trailing_;
  std::optional<std::size_t> error_;
};

// A member's path below its object's: "/" and the name, with "~" and "/"
// escaped as a JSON pointer escapes them.
std::string MemberPath(const std::string& object, const std::string& name);
} // namespace configtool

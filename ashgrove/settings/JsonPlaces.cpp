#include "settings/JsonPlaces.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "settings/SettingsTable.h"

namespace
{
using nlohmann::json;

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c)
{
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A pointer into the bytes that tells, as the parser takes each one, how far
// it has read: at each of the parser's events the token it has just read
// ends there.
class ReadingIterator
{
public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  ReadingIterator(const char* at, const char** read) : at_(at), read_(read) {}

  reference operator*() const { return *at_; }
  ReadingIterator& operator++()
  {
    *read_ = ++at_;
    return *this;
  }
  ReadingIterator operator++(int)
  {
    ReadingIterator before = *this;
    ++*this;
    return before;
  }
  friend bool operator==(const ReadingIterator& a, const ReadingIterator& b)
  {
    return a.at_ == b.at_;
  }

private:
  const char* at_;
  const char** read_;
};

// Builds the document from the parser's events as the library's own
// builder does (a key given again takes its last value; an error throws the
// parser's own exception), on the library's public interface alone.
class DocumentBuilder
{
public:
  explicit DocumentBuilder(json& root) : root_(root) {}

  bool null() { return Put(nullptr); }
  bool boolean(bool value) { return Put(value); }
  bool number_integer(json::number_integer_t value) { return Put(value); }
  bool number_unsigned(json::number_unsigned_t value) { return Put(value); }
  bool number_float(json::number_float_t value, const std::string& /*text*/) { return Put(value); }
  bool string(std::string& value) { return Put(value); }
  bool binary(json::binary_t& value) { return Put(json(value)); }
  bool start_object(std::size_t /*size*/) { return Open(json::object()); }
  bool key(std::string& name)
  {
    member_ = &(*open_.back())[name];
    return true;
  }
  bool end_object() { return Close(); }
  bool start_array(std::size_t /*size*/) { return Open(json::array()); }
  bool end_array() { return Close(); }
  template <class Exception>
  bool parse_error(std::size_t /*position*/, const std::string& /*token*/, const Exception& error)
  {
    throw error;
  }

private:
  // Where a value goes: the root, the end of the open array, or the member
  // whose key came last. Only the innermost open value ever grows, so the
  // places of those around it stay put.
  json* Place(json value)
  {
    if (open_.empty())
    {
      root_ = std::move(value);
      return &root_;
    }
    json& inner = *open_.back();
    if (inner.is_array())
    {
      inner.push_back(std::move(value));
      return &inner.back();
    }
    *member_ = std::move(value);
    return member_;
  }
  bool Put(json value)
  {
    Place(std::move(value));
    return true;
  }
  bool Open(json value)
  {
    open_.push_back(Place(std::move(value)));
    return true;
  }
  bool Close()
  {
    open_.pop_back();
    return true;
  }

  json& root_;
  std::vector<json*> open_;
  json* member_ = nullptr;
};

// Builds the document and tells the listener where each key and value stands.
// A token's start is found by skipping blanks and separators from the end of
// the token before it; its end is where the parser stopped reading, or, for
// numbers and literals, which the parser reads one byte past, their start
// and length.
class PlaceRecorder
{
public:
  PlaceRecorder(const std::string& bytes, const char* const& read, json& document,
                JsonPlaces& places)
      : bytes_(bytes), read_(read), builder_(document), places_(places)
  {
    if (std::string_view(bytes_).substr(0, ByteOrderMark.size()) == ByteOrderMark)
    {
      next_ = ByteOrderMark.size();
    }
  }

  bool null()
  {
    Scalar(JsonKind::Null, 4);
    return builder_.null();
  }
  bool boolean(bool value)
  {
    Scalar(JsonKind::Boolean, value ? 4 : 5);
    return builder_.boolean(value);
  }
  bool number_integer(json::number_integer_t value)
  {
    // Only negative numbers come here, and "-0": the one integer written
    // longer than the library prints it.
    Scalar(JsonKind::Number, std::to_string(value).size() + (value == 0 ? 1 : 0));
    return builder_.number_integer(value);
  }
  bool number_unsigned(json::number_unsigned_t value)
  {
    Scalar(JsonKind::Number, std::to_string(value).size());
    return builder_.number_unsigned(value);
  }
  bool number_float(json::number_float_t value, const std::string& text)
  {
    Scalar(JsonKind::Number, text.size());
    return builder_.number_float(value, text);
  }
  bool string(std::string& value)
  {
    const std::size_t at = NextToken();
    places_.Value(depth_, JsonKind::String, at, {});
    Passed(Read());
    return builder_.string(value);
  }
  bool binary(json::binary_t& value) { return builder_.binary(value); }
  bool start_object(std::size_t size)
  {
    Open(JsonKind::Object);
    return builder_.start_object(size);
  }
  bool end_object()
  {
    Close();
    return builder_.end_object();
  }
  bool start_array(std::size_t size)
  {
    Open(JsonKind::Array);
    return builder_.start_array(size);
  }
  bool end_array()
  {
    Close();
    return builder_.end_array();
  }
  bool key(std::string& name)
  {
    places_.Key(depth_, name, NextToken());
    next_ = Read();
    return builder_.key(name);
  }
  // The builder throws the library's own exception, of its own type.
  template <class Exception>
  bool parse_error(std::size_t position, const std::string& token, const Exception& error)
  {
    places_.Failed(position);
    return builder_.parse_error(position, token, error);
  }

private:
  [[nodiscard]] std::size_t Read() const { return static_cast<std::size_t>(read_ - bytes_.data()); }

  [[nodiscard]] std::size_t NextToken() const
  {
    std::size_t at = next_;
    while (at < bytes_.size() && (IsBlank(bytes_[at]) || bytes_[at] == ',' || bytes_[at] == ':'))
    {
      ++at;
    }
    return at;
  }

  void Scalar(JsonKind kind, std::size_t length)
  {
    const std::size_t at = NextToken();
    const std::size_t end = std::min(at + length, bytes_.size());
    places_.Value(depth_, kind, at, std::string_view(bytes_).substr(at, end - at));
    Passed(end);
  }

  void Open(JsonKind kind)
  {
    const std::size_t at = NextToken();
    places_.Value(depth_, kind, at, {});
    ++depth_;
    next_ = at + 1;
  }

  void Close()
  {
    --depth_;
    places_.Closed(depth_);
    Passed(Read());
  }

  // A value ends at `end`; after the first one the parser reads nothing.
  void Passed(std::size_t end)
  {
    next_ = end;
    if (depth_ != 0)
    {
      return;
    }
    std::size_t at = end;
    while (at < bytes_.size() && IsBlank(bytes_[at]))
    {
      ++at;
    }
    places_.Ended(at < bytes_.size() ? std::optional<std::size_t>(at) : std::nullopt);
  }

  const std::string& bytes_;
  const char* const& read_;
  DocumentBuilder builder_;
  JsonPlaces& places_;
  std::size_t next_ = 0; // where the search for the next token starts
  int depth_ = 0;
};
} // namespace

TextPosition PositionAfterReading(std::string_view text, std::size_t count)
{
  const std::size_t read = std::min(count, text.size());
  int line = 1;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < read; ++i)
  {
    if (text[i] == '\n')
    {
      ++line;
      line_start = i + 1;
    }
  }
  return {line, static_cast<int>(count - line_start)};
}

TextPosition PositionOf(std::string_view text, std::size_t offset)
{
  return PositionAfterReading(text, offset + 1);
}

const TopLevelMember* SettingsFilePlaces::LastMember(std::string_view name) const
{
  const auto found =
      std::find_if(Members.rbegin(), Members.rend(),
                   [&](const TopLevelMember& member) { return member.Name == name; });
  return found == Members.rend() ? nullptr : &*found;
}

void SettingsFilePlaces::Key(int depth, const std::string& name, std::size_t at)
{
  if (depth == 1)
  {
    Members.push_back({name, at, at, JsonKind::Null, {}});
    awaiting_value_ = true;
  }
  else if (FindSetting(name) != nullptr)
  {
    NestedKeys.push_back({name, at});
  }
}

void SettingsFilePlaces::Value(int depth, JsonKind kind, std::size_t at, std::string_view text)
{
  if (depth == 0)
  {
    ValueAt = at;
    ValueKind = kind;
  }
  else if (depth == 1 && awaiting_value_)
  {
    TopLevelMember& member = Members.back();
    member.ValueAt = at;
    member.Kind = kind;
    member.Text = text;
    awaiting_value_ = false;
  }
}

nlohmann::json ParseFirstValue(const std::string& bytes, JsonPlaces& places)
{
  json document;
  const char* read = bytes.data();
  PlaceRecorder recorder(bytes, read, document, places);
  const char* begin = bytes.data();
  json::sax_parse(ReadingIterator(begin, &read), ReadingIterator(begin + bytes.size(), &read),
                  &recorder, json::input_format_t::json, false);
  return document;
}

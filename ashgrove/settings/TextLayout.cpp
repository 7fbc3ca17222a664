#include "settings/TextLayout.h"

#include <algorithm>
#include <iterator>

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

// Builds the document with the library's own builder, the one stream
// extraction uses, and notes where each token the reader cares about
// stands. A token's start is found by skipping blanks and separators from
// the end of the token before it; its end is where the parser stopped
// reading, or, for numbers and literals, which the parser reads one byte
// past, their start and length.
class LayoutRecorder
{
public:
  LayoutRecorder(const std::string& bytes, const char* const& read, json& document,
                 TextLayout& layout)
      : bytes_(bytes), read_(read), builder_(document), layout_(layout)
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
    Scalar(JsonKind::String, Read() - at);
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
    const std::size_t at = NextToken();
    if (depth_ == 1)
    {
      layout_.Members.push_back({name, at, at, JsonKind::Null, {}});
      awaiting_value_ = true;
    }
    else if (FindSetting(name) != nullptr)
    {
      layout_.NestedKeys.push_back({name, at});
    }
    next_ = Read();
    return builder_.key(name);
  }
  // The builder throws the library's own exception, of its own type.
  template <class Exception>
  bool parse_error(std::size_t position, const std::string& token, const Exception& error)
  {
    layout_.ErrorAt = position;
    return builder_.parse_error(position, token, error);
  }

private:
  [[nodiscard]] std::size_t Read() const { return static_cast<std::size_t>(read_ - bytes_.data()); }

  std::size_t NextToken() const
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
    Note(kind, at, end);
    next_ = end;
    if (depth_ == 0)
    {
      Ended(end);
    }
  }

  void Open(JsonKind kind)
  {
    const std::size_t at = NextToken();
    Note(kind, at, at);
    ++depth_;
    next_ = at + 1;
  }

  void Close()
  {
    --depth_;
    next_ = Read();
    if (depth_ == 0)
    {
      Ended(next_);
    }
  }

  void Note(JsonKind kind, std::size_t at, std::size_t end)
  {
    if (depth_ == 0)
    {
      layout_.ValueAt = at;
      layout_.ValueKind = kind;
    }
    else if (depth_ == 1 && awaiting_value_)
    {
      TopLevelMember& member = layout_.Members.back();
      member.ValueAt = at;
      member.Kind = kind;
      if (kind == JsonKind::Number || kind == JsonKind::Boolean || kind == JsonKind::Null)
      {
        member.Text = bytes_.substr(at, end - at);
      }
      awaiting_value_ = false;
    }
  }

  // The first value ends here; the parser reads nothing after it.
  void Ended(std::size_t end)
  {
    std::size_t at = end;
    while (at < bytes_.size() && IsBlank(bytes_[at]))
    {
      ++at;
    }
    if (at < bytes_.size())
    {
      layout_.TrailingAt = at;
    }
  }

  const std::string& bytes_;
  const char* const& read_;
  nlohmann::detail::json_sax_dom_parser<json> builder_;
  TextLayout& layout_;
  std::size_t next_ = 0; // where the search for the next token starts
  int depth_ = 0;
  bool awaiting_value_ = false;
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

const TopLevelMember* TextLayout::LastMember(std::string_view name) const
{
  const auto found =
      std::find_if(Members.rbegin(), Members.rend(),
                   [&](const TopLevelMember& member) { return member.Name == name; });
  return found == Members.rend() ? nullptr : &*found;
}

nlohmann::json ParseFirstValue(const std::string& bytes, TextLayout& layout)
{
  json document;
  const char* read = bytes.data();
  LayoutRecorder recorder(bytes, read, document, layout);
  const char* begin = bytes.data();
  json::sax_parse(ReadingIterator(begin, &read), ReadingIterator(begin + bytes.size(), &read),
                  &recorder, json::input_format_t::json, false);
  return document;
}

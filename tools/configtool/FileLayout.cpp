#include "configtool/FileLayout.h"

#include <cstdint>

namespace configtool
{
namespace
{
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

void AppendUtf8(std::string& out, std::uint32_t code)
{
  if (code < 0x80)
  {
    out += static_cast<char>(code);
  }
  else if (code < 0x800)
  {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  else if (code < 0x10000)
  {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  else
  {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A forward-only reader over the text that knows where it is. Every step
// checks the end, so no input can lead it past the text.
class Cursor
{
public:
  explicit Cursor(std::string_view text) : text_(text) {}

  [[nodiscard]] bool AtEnd() const { return index_ >= text_.size(); }
  [[nodiscard]] char Peek() const { return AtEnd() ? '\0' : text_[index_]; }
  [[nodiscard]] Location Here() const
  {
    return {line_, static_cast<int>(index_ - line_start_) + 1};
  }
  [[nodiscard]] std::size_t Index() const { return index_; }
  [[nodiscard]] std::string_view Since(std::size_t start) const
  {
    return text_.substr(start, index_ - start);
  }
  [[nodiscard]] std::string_view Rest() const { return text_.substr(index_); }

  char Next()
  {
    const char c = Peek();
    if (!AtEnd())
    {
      ++index_;
      if (c == '\n')
      {
        ++line_;
        line_start_ = index_;
      }
    }
    return c;
  }

  void SkipBlanks()
  {
    while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')
    {
      Next();
    }
  }

private:
  std::string_view text_;
  std::size_t index_ = 0;
  std::size_t line_start_ = 0;
  int line_ = 1;
};

int HexDigit(char c)
{
  if (c >= '0' && c <= '9')
  {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f')
  {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F')
  {
    return c - 'A' + 10;
  }
  return -1;
}

std::uint32_t ReadHex4(Cursor& cursor)
{
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i)
  {
    const int digit = HexDigit(cursor.Next());
    value = (value << 4) | static_cast<std::uint32_t>(digit < 0 ? 0 : digit);
  }
  return value;
}

char Unescaped(char c)
{
  switch (c)
  {
  case 'b':
    return '\b';
  case 'f':
    return '\f';
  case 'n':
    return '\n';
  case 'r':
    return '\r';
  case 't':
    return '\t';
  default:
    return c; // '"', '\\' and '/' stand for themselves
  }
}

// A string token, the cursor at its opening quote; returns it decoded.
std::string ReadString(Cursor& cursor)
{
  std::string out;
  cursor.Next();
  while (!cursor.AtEnd() && cursor.Peek() != '"')
  {
    const char c = cursor.Next();
    if (c != '\\')
    {
      out += c;
      continue;
    }
    const char escape = cursor.Next();
    if (escape != 'u')
    {
      out += Unescaped(escape);
      continue;
    }
    std::uint32_t code = ReadHex4(cursor);
    if (code >= 0xD800 && code <= 0xDBFF && cursor.Peek() == '\\')
    {
      cursor.Next();
      cursor.Next(); // 'u'
      const std::uint32_t low = ReadHex4(cursor);
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(out, code);
  }
  cursor.Next(); // closing quote
  return out;
}

// A number or a literal: everything up to the next structural character.
std::string_view ReadBareToken(Cursor& cursor)
{
  const std::size_t start = cursor.Index();
  while (!cursor.AtEnd())
  {
    const char c = cursor.Peek();
    if (c == ',' || c == ']' || c == '}' || c == ':' || c == ' ' || c == '\t' || c == '\n' ||
        c == '\r')
    {
      break;
    }
    cursor.Next();
  }
  return cursor.Since(start);
}

ValueKind BareKind(std::string_view token)
{
  if (token == "true" || token == "false")
  {
    return ValueKind::Boolean;
  }
  if (token == "null")
  {
    return ValueKind::Null;
  }
  return ValueKind::Number;
}

// Walks the value without recursion, so that deep nesting costs heap, not
// stack.
class Scanner
{
public:
  Scanner(std::string_view text, bool (*is_settings_key)(std::string_view))
      : cursor_(text), is_settings_key_(is_settings_key)
  {
  }

  FileLayout Scan()
  {
    SkipByteOrderMark();
    cursor_.SkipBlanks();
    if (cursor_.AtEnd())
    {
      return std::move(layout_);
    }
    layout_.ValueAt = cursor_.Here();
    layout_.TopLevelObject = cursor_.Peek() == '{';
    if (!ScanValue())
    {
      return std::move(layout_);
    }
    cursor_.SkipBlanks();
    if (!cursor_.AtEnd())
    {
      layout_.TrailingText = cursor_.Here();
    }
    return std::move(layout_);
  }

private:
  struct Level
  {
    bool Object = false;
    bool ExpectKey = false;
  };

  // The mark's bytes still count in the first line's columns, as they do in
  // the JSON library's messages.
  void SkipByteOrderMark()
  {
    if (cursor_.Rest().substr(0, ByteOrderMark.size()) == ByteOrderMark)
    {
      for (std::size_t i = 0; i < ByteOrderMark.size(); ++i)
      {
        cursor_.Next();
      }
    }
  }

  // Reads one whole value; false when the text breaks off or makes no sense.
  bool ScanValue()
  {
    do
    {
      cursor_.SkipBlanks();
      if (cursor_.AtEnd())
      {
        return false;
      }
      if (!Step())
      {
        return false;
      }
    } while (!stack_.empty());
    return true;
  }

  // One token.
  bool Step()
  {
    const char c = cursor_.Peek();
    if (c == '{' || c == '[')
    {
      OpenContainer(c == '{');
      return true;
    }
    if (c == '}' || c == ']')
    {
      cursor_.Next();
      if (stack_.empty())
      {
        return false;
      }
      stack_.pop_back();
      return true;
    }
    if (c == ',')
    {
      cursor_.Next();
      if (!stack_.empty())
      {
        stack_.back().ExpectKey = stack_.back().Object;
      }
      return true;
    }
    if (c == ':')
    {
      cursor_.Next();
      return true;
    }
    if (!stack_.empty() && stack_.back().ExpectKey)
    {
      return ReadKey();
    }
    ReadScalar();
    return true;
  }

  void OpenContainer(bool object)
  {
    RecordTopLevelValue(object ? ValueKind::Object : ValueKind::Array, {});
    cursor_.Next();
    stack_.push_back({object, object});
  }

  bool ReadKey()
  {
    if (cursor_.Peek() != '"')
    {
      return false;
    }
    const Location at = cursor_.Here();
    std::string name = ReadString(cursor_);
    stack_.back().ExpectKey = false;
    if (stack_.size() == 1)
    {
      layout_.Members.push_back({std::move(name), at, at, ValueKind::Null, {}});
      awaiting_member_value_ = true;
    }
    else if (is_settings_key_(name))
    {
      layout_.NestedKeys.push_back({std::move(name), at});
    }
    return true;
  }

  void ReadScalar()
  {
    if (cursor_.Peek() == '"')
    {
      const Location at = cursor_.Here();
      ReadString(cursor_);
      RecordTopLevelValue(ValueKind::String, {}, at);
      return;
    }
    const Location at = cursor_.Here();
    const std::string_view token = ReadBareToken(cursor_);
    if (token.empty())
    {
      cursor_.Next(); // a character no JSON value starts with
      return;
    }
    RecordTopLevelValue(BareKind(token), token, at);
  }

  void RecordTopLevelValue(ValueKind kind, std::string_view text)
  {
    RecordTopLevelValue(kind, text, cursor_.Here());
  }

  void RecordTopLevelValue(ValueKind kind, std::string_view text, Location at)
  {
    if (stack_.size() != 1 || !awaiting_member_value_)
    {
      return;
    }
    Member& member = layout_.Members.back();
    member.Kind = kind;
    member.ValueAt = at;
    member.Text = std::string(text);
    awaiting_member_value_ = false;
  }

  Cursor cursor_;
  bool (*is_settings_key_)(std::string_view);
  FileLayout layout_;
  std::vector<Level> stack_;
  bool awaiting_member_value_ = false;
};
} // namespace

FileLayout ScanLayout(std::string_view text, bool (*is_settings_key)(std::string_view name))
{
  return Scanner(text, is_settings_key).Scan();
}
} // namespace configtool

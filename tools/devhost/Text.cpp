#include "devhost/Text.h"

#include <cstdint>

#include "host/FString.h"

namespace devhost
{
namespace
{
constexpr char32_t Replacement = 0xFFFD;

bool IsContinuation(unsigned char byte)
{
  return (byte & 0xC0U) == 0x80U;
}

// Decodes one scalar value starting at text[index] and advances index past
// it; overlong forms, surrogates and values above U+10FFFF are rejected.
char32_t DecodeOne(std::string_view text, std::size_t& index)
{
  const auto lead = static_cast<unsigned char>(text[index++]);
  if (lead < 0x80U)
  {
    return lead;
  }
  std::size_t length = 0;
  char32_t value = 0;
  char32_t lowest = 0;
  if ((lead & 0xE0U) == 0xC0U)
  {
    length = 1;
    value = lead & 0x1FU;
    lowest = 0x80;
  }
  else if ((lead & 0xF0U) == 0xE0U)
  {
    length = 2;
    value = lead & 0x0FU;
    lowest = 0x800;
  }
  else if ((lead & 0xF8U) == 0xF0U)
  {
    length = 3;
    value = lead & 0x07U;
    lowest = 0x10000;
  }
  else
  {
    return Replacement;
  }
  for (std::size_t i = 0; i < length; ++i)
  {
    if (index >= text.size() || !IsContinuation(static_cast<unsigned char>(text[index])))
    {
      return Replacement;
    }
    value = (value << 6U) | (static_cast<unsigned char>(text[index++]) & 0x3FU);
  }
  if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
  {
    return Replacement;
  }
  return value;
}

void AppendWide(std::wstring& out, char32_t value)
{
  if constexpr (sizeof(wchar_t) == 2)
  {
    if (value >= 0x10000)
    {
      value -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (value >> 10U)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (value & 0x3FFU)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(value));
}

void AppendUtf8(std::string& out, char32_t value)
{
  if (value < 0x80)
  {
    out.push_back(static_cast<char>(value));
  }
  else if (value < 0x800)
  {
    out.push_back(static_cast<char>(0xC0U | (value >> 6U)));
    out.push_back(static_cast<char>(0x80U | (value & 0x3FU)));
  }
  else if (value < 0x10000)
  {
    out.push_back(static_cast<char>(0xE0U | (value >> 12U)));
    out.push_back(static_cast<char>(0x80U | ((value >> 6U) & 0x3FU)));
    out.push_back(static_cast<char>(0x80U | (value & 0x3FU)));
  }
  else
  {
    out.push_back(static_cast<char>(0xF0U | (value >> 18U)));
    out.push_back(static_cast<char>(0x80U | ((value >> 12U) & 0x3FU)));
    out.push_back(static_cast<char>(0x80U | ((value >> 6U) & 0x3FU)));
    out.push_back(static_cast<char>(0x80U | (value & 0x3FU)));
  }
}

// One scalar value from wide text; pairs surrogates where wchar_t is 16 bits.
char32_t NextWide(std::wstring_view text, std::size_t& index)
{
  const auto unit =
      static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[index++]));
  if (unit >= 0xD800 && unit <= 0xDBFF && index < text.size())
  {
    const auto low = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[index]));
    if (low >= 0xDC00 && low <= 0xDFFF)
    {
      ++index;
      return 0x10000 + ((unit - 0xD800) << 10U) + (low - 0xDC00);
    }
  }
  if ((unit >= 0xD800 && unit <= 0xDFFF) || unit > 0x10FFFF)
  {
    return Replacement;
  }
  return unit;
}
} // namespace

std::wstring WideFromUtf8(std::string_view text)
{
  std::wstring out;
  out.reserve(text.size());
  std::size_t index = 0;
  while (index < text.size())
  {
    AppendWide(out, DecodeOne(text, index));
  }
  return out;
}

std::string Utf8FromWide(std::wstring_view text)
{
  std::string out;
  out.reserve(text.size());
  std::size_t index = 0;
  while (index < text.size())
  {
    AppendUtf8(out, NextWide(text, index));
  }
  return out;
}

std::string Utf8(const FString& text)
{
  return Utf8FromWide(std::wstring_view(text.c_str(), static_cast<std::size_t>(text.Len())));
}
} // namespace devhost

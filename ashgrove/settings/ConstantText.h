#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Text put together at compile time, so that a number a message or a
// description quotes comes from the constant that holds it and lands in the
// binary as a plain string.
template <std::size_t Size> struct ConstantText
{
  char Chars[Size + 1] = {};

  constexpr ConstantText() = default;

  constexpr ConstantText(const char (&text)[Size + 1]) // NOLINT: a literal stands for itself
  {
    for (std::size_t i = 0; i < Size; ++i)
    {
      Chars[i] = text[i];
    }
  }

  [[nodiscard]] constexpr const char* CStr() const { return Chars; }
  [[nodiscard]] constexpr std::string_view View() const { return {Chars, Size}; }
};

template <std::size_t Length> ConstantText(const char (&)[Length]) -> ConstantText<Length - 1>;

template <std::size_t Left, std::size_t Right>
constexpr ConstantText<Left + Right> operator+(const ConstantText<Left>& left,
                                               const ConstantText<Right>& right)
{
  ConstantText<Left + Right> joined;
  for (std::size_t i = 0; i < Left; ++i)
  {
    joined.Chars[i] = left.Chars[i];
  }
  for (std::size_t i = 0; i < Right; ++i)
  {
    joined.Chars[Left + i] = right.Chars[i];
  }
  return joined;
}

template <std::size_t Left, std::size_t Length>
constexpr auto operator+(const ConstantText<Left>& left, const char (&right)[Length])
{
  return left + ConstantText<Length - 1>(right);
}

template <std::size_t Length, std::size_t Right>
constexpr auto operator+(const char (&left)[Length], const ConstantText<Right>& right)
{
  return ConstantText<Length - 1>(left) + right;
}

constexpr std::uint64_t Magnitude(std::int64_t value)
{
  return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

constexpr std::size_t DecimalSize(std::int64_t value)
{
  std::size_t size = value < 0 ? 2 : 1;
  for (std::uint64_t rest = Magnitude(value); rest >= 10; rest /= 10)
  {
    ++size;
  }
  return size;
}

// A whole number as std::to_string writes it.
template <std::int64_t Value> constexpr ConstantText<DecimalSize(Value)> Decimal()
{
  ConstantText<DecimalSize(Value)> text;
  std::uint64_t rest = Magnitude(Value);
  for (std::size_t i = DecimalSize(Value); i-- > (Value < 0 ? 1U : 0U);)
  {
    text.Chars[i] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  }
  if (Value < 0)
  {
    text.Chars[0] = '-';
  }
  return text;
}

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "devhost/Text.h"
#include "host/FString.h"

namespace
{
struct TextCase
{
  const char* Name;
  std::string Utf8;
  std::wstring Wide;
};

void PrintTo(const TextCase& c, std::ostream* out)
{
  *out << c.Name;
}

class TextConversion : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(TextConversion, RoundTripsThroughFString)
{
  const TextCase& c = GetParam();
  EXPECT_EQ(devhost::WideFromUtf8(c.Utf8), c.Wide);
  EXPECT_EQ(devhost::Utf8FromWide(c.Wide), c.Utf8);
  const FString narrow(c.Utf8.c_str());
  const FString wide(c.Wide.c_str());
  EXPECT_EQ(std::wstring(narrow.c_str()), c.Wide);
  EXPECT_EQ(narrow.Len(), static_cast<std::int32_t>(c.Wide.size()));
  EXPECT_EQ(devhost::Utf8(wide), c.Utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextConversion,
    ::testing::Values(TextCase{"Empty", "", L""},
                      TextCase{"Ascii", "Reloaded config", L"Reloaded config"},
                      TextCase{"Latin", "C:\\Serveur\\caf\xC3\xA9", L"C:\\Serveur\\caf\u00e9"},
                      TextCase{"Cjk", "\xE4\xB8\x96\xE7\x95\x8C", L"\u4e16\u754c"},
                      TextCase{"BeyondTheBasicPlane", "\xF0\x9F\xA6\x96", L"\U0001F996"}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(TextConversion, MalformedUtf8BecomesReplacementCharacters)
{
  EXPECT_EQ(devhost::WideFromUtf8("a\xFF"
                                  "b"),
            L"a\uFFFDb");
  EXPECT_EQ(devhost::WideFromUtf8("\xC3"), L"\uFFFD");             // cut short
  EXPECT_EQ(devhost::WideFromUtf8("\xC0\xAF"), L"\uFFFD");         // overlong
  EXPECT_EQ(devhost::WideFromUtf8("\xED\xA0\x80"), L"\uFFFD");     // surrogate
  EXPECT_EQ(devhost::WideFromUtf8("\xF4\x90\x80\x80"), L"\uFFFD"); // above U+10FFFF
}

TEST(FStringStorage, MovingKeepsTheStorageAndEmptiesTheSource)
{
  FString first("text");
  const wchar_t* storage = first.RawData();
  FString second(std::move(first));
  EXPECT_EQ(second.RawData(), storage);
  EXPECT_EQ(first.RawData(), nullptr); // NOLINT(bugprone-use-after-move)
  FString third;
  third = std::move(second);
  EXPECT_EQ(third.RawData(), storage);
  EXPECT_STREQ(third.c_str(), L"text");
}
} // namespace

#include <gtest/gtest.h>

#include <exception>
#include <optional>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "settings/JsonPlaces.h"
#include "support/Errors.h"
#include "support/SettingsCases.h"

namespace
{
// What stream extraction makes of the bytes: the document, or the text of
// what it throws.
struct Extracted
{
  std::optional<nlohmann::json> Document;
  std::string Error;
};

template <class Parse> Extracted Parsed(Parse parse)
{
  std::optional<nlohmann::json> document;
  const auto error = testsupport::ErrorText([&] { document = parse(); });
  return {document, error.value_or("")};
}

Extracted ByStreamExtraction(const std::string& bytes)
{
  return Parsed(
      [&]
      {
        nlohmann::json document;
        std::istringstream stream(bytes);
        stream >> document;
        return document;
      });
}

Extracted ByTheOnePass(const std::string& bytes, SettingsFilePlaces& layout)
{
  return Parsed([&] { return ParseFirstValue(bytes, layout); });
}

// Files of every kind the parser meets: the settings tests' own, and what
// lies at the edges of the grammar.
std::vector<std::string> Files()
{
  std::vector<std::string> files = {"",
                                    " ",
                                    "{",
                                    "}",
                                    "[",
                                    "\"",
                                    "nul",
                                    "-",
                                    "1.",
                                    "1e",
                                    "1e999",
                                    "-0",
                                    "05",
                                    "5x",
                                    "01.5",
                                    "\"\\u12\"",
                                    "\"\\ud800\"",
                                    "{\"a\"\n:\r\n\t1}",
                                    "\xEF\xBB\xBF\xEF\xBB\xBF{}",
                                    "\xEF\xBB{}",
                                    "{\"a\": \"x\n\"}",
                                    "{\"a\": \"\xFF\"}",
                                    std::string("{\"a\": \"\0\"}", 9),
                                    "[[[[[[[[[[]]]]]]]]]]",
                                    "{\"a\": 1,}",
                                    "{,}",
                                    "{\"a\" 1}",
                                    "// c\n{}",
                                    "/* c */ {}",
                                    "{\"a\": [1, {\"b\": true}], \"c\": null} trailing"};
  for (const testsupport::LoadCase& c : testsupport::SettingsCases())
  {
    files.push_back(c.File);
  }
  return files;
}

// The one pass is the library's own parser: it must accept, build and refuse
// exactly what stream extraction does, with the same texts.
TEST(SettingsFilePlaces, ParsesExactlyAsStreamExtraction)
{
  for (const std::string& file : Files())
  {
    SettingsFilePlaces layout;
    const Extracted expected = ByStreamExtraction(file);
    const Extracted actual = ByTheOnePass(file, layout);
    EXPECT_EQ(actual.Error, expected.Error) << file;
    EXPECT_EQ(actual.Document, expected.Document) << file;
  }
}

// Where a parse error is, computed from the bytes the parser read, is where
// the library's own message says it is.
TEST(SettingsFilePlaces, AParseErrorsPositionIsTheOneItsMessageGives)
{
  const std::regex stated(R"(at line (\d+), column (\d+))");
  int checked = 0;
  for (const std::string& file : Files())
  {
    SettingsFilePlaces layout;
    const Extracted parsed = ByTheOnePass(file, layout);
    std::smatch match;
    if (!std::regex_search(parsed.Error, match, stated))
    {
      continue;
    }
    ++checked;
    ASSERT_TRUE(layout.ErrorAt) << file;
    const TextPosition at = PositionAfterReading(file, *layout.ErrorAt);
    EXPECT_EQ(at, (TextPosition{std::stoi(match[1]), std::stoi(match[2])}))
        << file << ": " << parsed.Error;
  }
  EXPECT_GT(checked, 20);
}

struct MemberSpot
{
  std::string Name;
  TextPosition Key;
  TextPosition Value;
  JsonKind Kind;
  std::string Text;

  bool operator==(const MemberSpot&) const = default;
};

void PrintTo(const MemberSpot& spot, std::ostream* out)
{
  *out << spot.Name << " key " << spot.Key.Line << ":" << spot.Key.Column << " value "
       << spot.Value.Line << ":" << spot.Value.Column << " '" << spot.Text << "'";
}

struct LayoutCase
{
  const char* Name;
  std::string File;
  std::vector<MemberSpot> Members;
  std::optional<TextPosition> Trailing;
};

void PrintTo(const LayoutCase& c, std::ostream* out)
{
  *out << c.Name;
}

class Layouts : public ::testing::TestWithParam<LayoutCase>
{
};

TEST_P(Layouts, PlaceEveryTopLevelMemberAndWhatFollowsTheValue)
{
  const LayoutCase& c = GetParam();
  SettingsFilePlaces layout;
  ParseFirstValue(c.File, layout);
  std::vector<MemberSpot> members;
  for (const TopLevelMember& member : layout.Members)
  {
    members.push_back({member.Name, PositionOf(c.File, member.KeyAt),
                       PositionOf(c.File, member.ValueAt), member.Kind, member.Text});
  }
  EXPECT_EQ(members, c.Members);
  std::optional<TextPosition> trailing;
  if (layout.TrailingAt)
  {
    trailing = PositionOf(c.File, *layout.TrailingAt);
  }
  EXPECT_EQ(trailing, c.Trailing);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Layouts,
    ::testing::Values(
        LayoutCase{"KindsAndTexts",
                   R"({"a": -0, "b": 1E2, "c": true, "d": null, "e": "s", "f": [1], "g": {}})",
                   {{"a", {1, 2}, {1, 7}, JsonKind::Number, "-0"},
                    {"b", {1, 11}, {1, 16}, JsonKind::Number, "1E2"},
                    {"c", {1, 21}, {1, 26}, JsonKind::Boolean, "true"},
                    {"d", {1, 32}, {1, 37}, JsonKind::Null, "null"},
                    {"e", {1, 43}, {1, 48}, JsonKind::String, ""},
                    {"f", {1, 53}, {1, 58}, JsonKind::Array, ""},
                    {"g", {1, 63}, {1, 68}, JsonKind::Object, ""}},
                   std::nullopt},
        LayoutCase{"NumbersAsWritten",
                   "{\"a\": 99999999999999999999,\n\"b\":-2147483649.50e0}",
                   {{"a", {1, 2}, {1, 7}, JsonKind::Number, "99999999999999999999"},
                    {"b", {2, 1}, {2, 5}, JsonKind::Number, "-2147483649.50e0"}},
                   std::nullopt},
        LayoutCase{"EscapedNamesDecoded",
                   R"({"t\u0041": {"x": 1}, "\"q\"" : 2})",
                   {{"tA", {1, 2}, {1, 13}, JsonKind::Object, ""},
                    {"\"q\"", {1, 23}, {1, 33}, JsonKind::Number, "2"}},
                   std::nullopt},
        LayoutCase{"ByteOrderMarkCountsInTheFirstLine",
                   "\xEF\xBB\xBF{\"a\": 1}  x",
                   {{"a", {1, 5}, {1, 10}, JsonKind::Number, "1"}},
                   TextPosition{1, 14}},
        LayoutCase{"ANumberEndsWhereTheGrammarSays", "05", {}, TextPosition{1, 2}},
        LayoutCase{"BlanksAfterTheValueAreNothing", "{}\n\r\n\t ", {}, std::nullopt},
        LayoutCase{"TextAfterAStringValue", "\"s\"x", {}, TextPosition{1, 4}}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(SettingsFilePlaces, NestedSettingsKeysAreNotedWhereverTheyAre)
{
  const std::string file =
      R"({"tamedDinosAffected": {"wildDinosAffected": 1}, "l": [{"x": {"wildCorpseDecayTime": 5, "other": 1}}]})";
  SettingsFilePlaces layout;
  ParseFirstValue(file, layout);
  ASSERT_EQ(layout.NestedKeys.size(), 2U);
  EXPECT_EQ(layout.NestedKeys[0].Name, "wildDinosAffected");
  EXPECT_EQ(PositionOf(file, layout.NestedKeys[0].KeyAt), (TextPosition{1, 25}));
  EXPECT_EQ(layout.NestedKeys[1].Name, "wildCorpseDecayTime");
  EXPECT_EQ(PositionOf(file, layout.NestedKeys[1].KeyAt), (TextPosition{1, 63}));
}
} // namespace

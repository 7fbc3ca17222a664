#include "support/SettingsCases.h"

#include <ostream>

namespace testsupport
{
namespace
{
std::string RangeError(const std::string& key, const std::string& written)
{
  return key + ": " + written + " is out of range (-2147483648 to 2147483647)";
}

const LoadCase Cases[] = {
    {"EmptyObjectGivesDefaults", "{}", Defaults, ""},
    {"SampleFile",
     R"({"tamedDinosAffected": true, "wildDinosAffected": true, "playersBodiesAffected": true,
         "tamedCorpseDecayTime": 3600, "wildCorpseDecayTime": 60, "playersBodiesDecayTime": 7200})",
     SampleSettings, ""},
    {"OneKeyResetsTheOthersToDefaults", R"({"wildDinosAffected": true})",
     DefaultsBut([](CorpseSettingsValues& v) { v.wildDinosAffected = true; }), ""},
    {"FractionsCutTowardZero",
     R"({"tamedCorpseDecayTime": 90.9, "wildCorpseDecayTime": -90.9, "playersBodiesDecayTime": 1e2})",
     DefaultsBut(
         [](CorpseSettingsValues& v)
         {
           v.tamedCorpseDecayTime = 90;
           v.wildCorpseDecayTime = -90;
           v.playersBodiesDecayTime = 100;
         }),
     ""},
    {"BooleansAsDurations",
     R"({"tamedCorpseDecayTime": true, "wildCorpseDecayTime": false, "playersBodiesDecayTime": -5})",
     DefaultsBut(
         [](CorpseSettingsValues& v)
         {
           v.tamedCorpseDecayTime = 1;
           v.wildCorpseDecayTime = 0;
           v.playersBodiesDecayTime = -5;
         }),
     ""},
    {"ZeroAndLimitsAreKept",
     R"({"tamedCorpseDecayTime": 2147483647, "wildCorpseDecayTime": -2147483648,
         "playersBodiesDecayTime": 0})",
     DefaultsBut(
         [](CorpseSettingsValues& v)
         {
           v.tamedCorpseDecayTime = 2147483647;
           v.wildCorpseDecayTime = -2147483647 - 1;
           v.playersBodiesDecayTime = 0;
         }),
     ""},
    {"FractionsJustInsideTheLimits",
     R"({"tamedCorpseDecayTime": 2147483647.9, "wildCorpseDecayTime": -2147483648.9})",
     DefaultsBut(
         [](CorpseSettingsValues& v)
         {
           v.tamedCorpseDecayTime = 2147483647;
           v.wildCorpseDecayTime = -2147483647 - 1;
         }),
     ""},
    {"TrailingTextIsIgnored", R"({"wildDinosAffected": true} this is not json {)",
     DefaultsBut([](CorpseSettingsValues& v) { v.wildDinosAffected = true; }), ""},
    {"LastDuplicateWins", R"({"wildCorpseDecayTime": 10, "wildCorpseDecayTime": 20})",
     DefaultsBut([](CorpseSettingsValues& v) { v.wildCorpseDecayTime = 20; }), ""},
    {"KeysAreCaseSensitive", R"({"WildDinosAffected": true, "tamedcorpsedecaytime": 5})", Defaults,
     ""},
    {"NestedKeysAreNotSearched", R"({"more": {"tamedDinosAffected": true}})", Defaults, ""},
    {"ByteOrderMarkIsAccepted", "\xEF\xBB\xBF{\"playersBodiesAffected\": true}",
     DefaultsBut([](CorpseSettingsValues& v) { v.playersBodiesAffected = true; }), ""},
    {"NumberForSwitch", R"({"tamedDinosAffected": true, "wildDinosAffected": 1})", std::nullopt,
     "[json.exception.type_error.302] type must be boolean, but is number"},
    {"ObjectForSwitch", R"({"playersBodiesAffected": {}})", std::nullopt,
     "[json.exception.type_error.302] type must be boolean, but is object"},
    {"NullDuration", R"({"tamedDinosAffected": true, "tamedCorpseDecayTime": null})", std::nullopt,
     "[json.exception.type_error.302] type must be number, but is null"},
    {"StringDuration", R"({"wildCorpseDecayTime": "300"})", std::nullopt,
     "[json.exception.type_error.302] type must be number, but is string"},
    {"ArrayDuration", R"({"playersBodiesDecayTime": [1]})", std::nullopt,
     "[json.exception.type_error.302] type must be number, but is array"},
    {"ArrayDocument", "[1, 2]", std::nullopt,
     "[json.exception.type_error.306] cannot use value() with array"},
    {"NullDocument", "null", std::nullopt,
     "[json.exception.type_error.306] cannot use value() with null"},
    {"EmptyFile", "", std::nullopt,
     "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while parsing "
     "value - unexpected end of input; expected '[', '{', or a literal"},
    {"Comment", "// settings\n{}", std::nullopt,
     "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while parsing "
     "value - invalid literal; last read: '/'"},
    {"TrailingComma", "{\n  \"wildDinosAffected\": true,\n}", std::nullopt,
     "[json.exception.parse_error.101] parse error at line 3, column 1: syntax error while parsing "
     "object key - unexpected '}'; expected string literal"},
    {"NumberOverflow", R"({"tamedCorpseDecayTime": 1e999})", std::nullopt,
     "[json.exception.out_of_range.406] number overflow parsing '1e999'"},
    {"IntegerAboveRange", R"({"tamedCorpseDecayTime": 4294967596})", std::nullopt,
     RangeError("tamedCorpseDecayTime", "4294967596")},
    {"IntegerJustAboveRange", R"({"playersBodiesDecayTime": 2147483648})", std::nullopt,
     RangeError("playersBodiesDecayTime", "2147483648")},
    {"IntegerJustBelowRange", R"({"wildCorpseDecayTime": -2147483649})", std::nullopt,
     RangeError("wildCorpseDecayTime", "-2147483649")},
    {"ExponentAboveRangeAsWritten", R"({"wildCorpseDecayTime": 1e10})", std::nullopt,
     RangeError("wildCorpseDecayTime", "1e10")},
    {"FractionBelowRangeAsWritten", R"({"tamedCorpseDecayTime": -2147483649.5})", std::nullopt,
     RangeError("tamedCorpseDecayTime", "-2147483649.5")},
    {"HugeIntegerAsWritten", R"({"tamedCorpseDecayTime": 99999999999999999999})", std::nullopt,
     RangeError("tamedCorpseDecayTime", "99999999999999999999")},
    {"LastDuplicateDecidesTheRange",
     R"({"tamedCorpseDecayTime": 1e20, "tamedCorpseDecayTime": 3e10})", std::nullopt,
     RangeError("tamedCorpseDecayTime", "3e10")},
};

} // namespace

void PrintTo(const LoadCase& load_case, std::ostream* out)
{
  *out << load_case.Name;
}

const std::vector<LoadCase>& SettingsCases()
{
  static const std::vector<LoadCase> cases(std::begin(Cases), std::end(Cases));
  return cases;
}
} // namespace testsupport

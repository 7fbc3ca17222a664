#include "settings/CorpseSettings.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "settings/ConfigPath.h"
#include "settings/DurationRange.h"

CorpseSettingsValues CorpseSettings;

namespace
{
// The last document a load got as far as parsing. Only LoadSettings reads it.
nlohmann::json SettingsDocument;

std::string ReadConfigText()
{
  std::ifstream file(ConfigFilePath());
  if (!file.is_open())
  {
    throw std::runtime_error("Can't open config.json");
  }
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::int32_t ReadDuration(const nlohmann::json& document, const std::string& key,
                          std::int32_t fallback, const std::string& file_text)
{
  if (document.is_object())
  {
    const auto member = document.find(key);
    if (member != document.end() && member->is_number())
    {
      RejectOutOfRangeDuration(key, *member, file_text);
    }
  }
  return document.value(key, fallback);
}

// Keys are read in a fixed order so that the first faulty one is the one
// reported.
CorpseSettingsValues ReadSettings(const nlohmann::json& document, const std::string& file_text)
{
  CorpseSettingsValues values;
  values.tamedDinosAffected = document.value("tamedDinosAffected", false);
  values.wildDinosAffected = document.value("wildDinosAffected", false);
  values.playersBodiesAffected = document.value("playersBodiesAffected", false);
  values.tamedCorpseDecayTime = ReadDuration(document, "tamedCorpseDecayTime", 1800, file_text);
  values.wildCorpseDecayTime = ReadDuration(document, "wildCorpseDecayTime", 300, file_text);
  values.playersBodiesDecayTime = ReadDuration(document, "playersBodiesDecayTime", 1800, file_text);
  return values;
}
} // namespace

void LoadSettings()
{
  const std::string text = ReadConfigText();
  // Stream extraction stops at the end of the first complete value, so
  // whatever follows it in the file is never looked at.
  std::istringstream stream(text);
  stream >> SettingsDocument;
  // Stored only once every key has been read: a file that fails half-way
  // must not leave the server on a mix that no file ever held.
  CorpseSettings = ReadSettings(SettingsDocument, text);
}

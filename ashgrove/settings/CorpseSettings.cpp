#include "settings/CorpseSettings.h"

#include "settings/ConfigFile.h"
#include "settings/ConfigPath.h"
#include "settings/SettingsReader.h"

CorpseSettingsValues CorpseSettings;

void LoadSettings()
{
  // Stored only once every key has been read: a file that fails half-way
  // must not leave the server on a mix that no file ever held.
  CorpseSettings = ReadSettingsText(ReadConfigFile(ConfigFilePath()));
}

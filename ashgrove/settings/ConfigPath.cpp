#include "settings/ConfigPath.h"

#include "host/Interfaces.h"
#include "settings/SettingsLocation.h"

std::string ConfigFilePath()
{
  return ConfigFileIn(AsaApi::Tools::GetCurrentDir());
}

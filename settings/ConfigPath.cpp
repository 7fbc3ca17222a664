#include "settings/ConfigPath.h"

#include "host/Interfaces.h"

std::string ConfigFilePath()
{
  // Plain concatenation: the server directory is used exactly as the host
  // reports it.
  return AsaApi::Tools::GetCurrentDir() + "/ArkApi/Plugins/Ashgrove/config.json";
}

#pragma once

#include <string>

// Where a server keeps this plugin's settings file: below its working
// directory, joined by plain concatenation (the directory is used exactly as
// given, no separator added, removed or converted).
inline constexpr const char* ConfigFileBelowServer = "/ArkApi/Plugins/Ashgrove/config.json";

inline std::string ConfigFileIn(const std::string& server_directory)
{
  return server_directory + ConfigFileBelowServer;
}

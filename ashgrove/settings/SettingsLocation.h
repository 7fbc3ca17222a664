#pragma once

#include <filesystem>
#include <string>

// Where a server keeps this plugin's settings file: below its working
// directory, joined by plain concatenation (the directory is used exactly as
// given, no separator added, removed or converted).
inline constexpr const char* ConfigFileBelowServer = "/ArkApi/Plugins/Ashgrove/config.json";

inline std::string ConfigFileIn(const std::string& server_directory)
{
  return server_directory + ConfigFileBelowServer;
}

// The same for a directory given as a path of the system's own kind (wide on
// Windows), for tools and tests.
inline std::filesystem::path ConfigFilePathIn(const std::filesystem::path& server_directory)
{
  return {server_directory.native() + std::filesystem::path(ConfigFileBelowServer).native()};
}

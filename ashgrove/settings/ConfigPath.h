#pragma once

#include <string>

// Where the server keeps this plugin's settings file.
std::string ConfigFilePath();

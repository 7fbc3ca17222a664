#pragma once

#include <optional>

#include "host/FString.h"

// The full path of this plugin's own library file, by which the host tells
// plugins apart; empty when the system cannot report it.
std::optional<FString> PluginModulePath();

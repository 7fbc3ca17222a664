#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace configtool
{
// The JSON Schema (draft 2020-12) of the settings file, made from the
// settings table; config/config.schema.json is this, printed.
nlohmann::ordered_json SettingsSchema();

// The schema as `ashgrove-config schema` prints it and the file holds it.
std::string SchemaText();
} // namespace configtool

#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace configtool
{
// The key by which a settings or cluster file names its schema, for
// editors; the tool and the server pass it by.
inline constexpr std::string_view SchemaKey = "$schema";

// The JSON Schema (draft 2020-12) of the settings file, made from the
// settings table; config/config.schema.json is this, printed.
nlohmann::ordered_json SettingsSchema();

// The schema as `ashgrove-config schema` prints it and the file holds it.
std::string SchemaText();
} // namespace configtool

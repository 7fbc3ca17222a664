#pragma once

namespace configtool
{
// The JSON Schema (draft 2020-12) of the settings file, as shipped in
// config/config.schema.json.
const char* SchemaText();
} // namespace configtool

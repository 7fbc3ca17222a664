#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/Export.h"
#include "host/Reflection.h"

// Test controls over what the host's reflection answers
// (ReflectionControls.cpp).
namespace devhost
{
// Makes the reflection answer as if the game had no member or function of
// this name, until ResetGame.
ASAAPI_API void HideName(const std::string& name);
// Makes GetBitField answer this description for every bit field it resolves.
ASAAPI_API void OverrideBitField(std::optional<BitField> field);

// A record of every reflected lookup and every game function called, in
// order ("member:NAME", "bitfield:NAME", "function:NAME", "call:NAME").
// Recording allocates, so it is off unless asked for.
ASAAPI_API void SetLookupTrace(bool enabled);
ASAAPI_API std::vector<std::string> LookupTrace();
} // namespace devhost

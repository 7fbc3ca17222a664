#pragma once

#include <cstdint>
#include <optional>

#include "host/GameFunctions.h"

// Whole seconds a dead character's class gives a corpse of its kind by
// default; empty when the class or its default lifespan cannot be had.
std::optional<std::int32_t> DefaultCorpseLifespan(APrimalCharacter* character);

// Detour on the game's DropInventoryDeposit: a dead character's deposit lasts
// as long as its class's default corpse does, from now.
DropInventoryDepositSignature OnDropInventoryDeposit;

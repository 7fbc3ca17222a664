#pragma once

#include "host/GameFunctions.h"

// Detour on the game's DropInventoryDeposit: a dead character's deposit lasts
// as long as its class's default corpse does, from now.
DropInventoryDepositSignature OnDropInventoryDeposit;

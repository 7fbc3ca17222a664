#pragma once

#include "host/GameFunctions.h"

// Detour on the game's DropInventoryDeposit: a dead character's deposit lasts
// as long as its class's default corpse does, from now.
DropInventoryDepositSignature OnDropInventoryDeposit;

// Filled by the host when the detour is installed: the way back to the
// game's own DropInventoryDeposit.
extern DropInventoryDepositFunction DropInventoryDepositTrampoline;

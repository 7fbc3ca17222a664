#pragma once

#include <string>
#include <unordered_map>

#include "host/GameFunctions.h"

// The game's own functions (internal/GameFunctions.cpp): those the plugin
// calls by reflected name, and the two it detours.
namespace devhost::detail
{
// Every function the game answers by reflected name.
void RegisterGameFunctions(std::unordered_map<std::string, void*>& functions);

DieSignature GameDie;
DropInventoryDepositSignature GameDropInventoryDeposit;

// The deposit actor the game's DropInventoryDeposit hands out.
APrimalStructureItemContainer* DepositActor();
} // namespace devhost::detail

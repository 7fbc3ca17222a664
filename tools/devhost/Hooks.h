#pragma once

#include <string>

#include "host/Export.h"
#include "host/GameFunctions.h"

// The host's detour table (Hooks.cpp, which also implements
// AsaApi::IHooks): one slot per detourable game function.
namespace devhost
{
ASAAPI_API bool DetourInstalled(const std::string& signature);

// What the game reaches when it calls one of the functions: the installed
// detour, or the game's own function when none is.
DieFunction DieEntry();
DropInventoryDepositFunction DropInventoryDepositEntry();

// Removes every detour.
void ResetHooks();
} // namespace devhost

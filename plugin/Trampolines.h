#pragma once

#include "host/GameFunctions.h"

// Filled by the host when the detours are installed: the way back to the
// game's own functions.
extern DieFunction DieTrampoline;
extern DropInventoryDepositFunction DropInventoryDepositTrampoline;

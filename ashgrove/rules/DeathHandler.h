#pragma once

#include "host/GameFunctions.h"

// Detour on the game's Die: applies the configured corpse lifespan to the
// dying character, then lets the game carry out the death.
DieSignature OnCharacterDie;

// Filled by the host when the detour is installed: the way back to the
// game's own Die.
extern DieFunction DieTrampoline;

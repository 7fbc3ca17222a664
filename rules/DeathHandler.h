#pragma once

#include "host/GameFunctions.h"

// Detour on the game's Die: applies the configured corpse lifespan to the
// dying character, then lets the game carry out the death.
DieSignature OnCharacterDie;

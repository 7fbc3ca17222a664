#pragma once

#include "host/GameTypes.h"

// Detour on the game's Die: applies the configured corpse lifespan to the
// dying character, then lets the game carry out the death.
bool OnCharacterDie(APrimalCharacter* character, float damage, FDamageEvent& damage_event,
                    AController* killer, AActor* damage_causer);

#pragma once

#include "commands/ReloadTexts.h"
#include "host/GameTypes.h"

// Ashgrove.Reload typed on the server console: re-reads the settings and
// tells the issuing player whether that worked.
void ReloadFromConsole(APlayerController* player, FString* text, bool flag);

// Ashgrove.Reload over RCON: re-reads the settings and answers the request
// with "Reloaded config" or with the reason it failed.
void ReloadFromRcon(RCONClientConnection* connection, RCONPacket* request, UWorld* world);

#pragma once

#include <string>

#include "host/Interfaces.h"

// Everything Plugin_Init installs, one row each, in the order the host sees
// them; Plugin_Unload removes the same rows in the same order. Adding a
// detour or a command is one row here, so install and removal cannot drift
// apart.
struct DetourRow
{
  const std::string& Signature; // the detoured function's reflected name
  void* Detour;
  void** Trampoline; // the host fills it with the way to the game's own function
};

struct CommandRow
{
  const char* Name; // one name on the console and over RCON
  void (*OnConsole)(APlayerController*, FString*, bool);
  void (*OnRcon)(RCONClientConnection*, RCONPacket*, UWorld*);
};

void InstallAll();
void RemoveAll();

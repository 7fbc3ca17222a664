#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/Export.h"
#include "host/GameTypes.h"

// The host's command registry, driven as the console and RCON drive it
// (Commands.cpp, which also implements AsaApi::ICommands).
namespace devhost
{
// Commands. A line's first word names the command; the rest is its text.
// Both return false when no command of that name is registered.
ASAAPI_API bool RunConsoleCommand(APlayerController* player, const std::string& line);
ASAAPI_API bool RunRconCommand(RCONClientConnection* connection, std::int32_t request_id,
                               const std::string& line);
ASAAPI_API bool ConsoleCommandRegistered(const std::string& name);
ASAAPI_API bool RconCommandRegistered(const std::string& name);
// How many callbacks the registry holds; each keeps code of its plugin.
ASAAPI_API std::size_t RegisteredCommandCount();
// Forgets every command.
void ResetCommands();
} // namespace devhost

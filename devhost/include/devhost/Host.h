#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/Export.h"
#include "host/GameTypes.h"

// The development host's own controls: what a test or the development server
// configures, drives and reads back. The plugin never sees these.
namespace devhost
{
// The host call journal, the captured log and the delivered messages keep
// only their most recent entries, so that memory stays flat however long a
// server runs.
constexpr std::size_t RecentRecordLimit = 4096;

// The directory GetCurrentDir reports.
ASAAPI_API void SetServerDirectory(const std::string& directory);

// Host calls the plugin made, in order, e.g. "InstallDetour <signature>"
// (the most recent RecentRecordLimit).
ASAAPI_API std::vector<std::string> HostCalls();
ASAAPI_API void ClearHostCalls();

// Detours.
ASAAPI_API bool DetourInstalled(const std::string& signature);

// Commands. A line's first word names the command; the rest is its text.
// Both return false when no command of that name is registered.
ASAAPI_API bool RunConsoleCommand(APlayerController* player, const std::string& line);
ASAAPI_API bool RunRconCommand(RCONClientConnection* connection, std::int32_t request_id,
                               const std::string& line);
ASAAPI_API bool ConsoleCommandRegistered(const std::string& name);
ASAAPI_API bool RconCommandRegistered(const std::string& name);
// How many callbacks the registry holds; each keeps code of its plugin.
ASAAPI_API std::size_t RegisteredCommandCount();

// Players and what plugins show them.
struct DeliveredMessage
{
  std::string Player;
  std::string MessengerPath;
  MessageColour Colour;
  std::string Text;
};
ASAAPI_API APlayerController* Player(const std::string& name);
ASAAPI_API std::string PlayerName(const APlayerController* player);
ASAAPI_API std::vector<DeliveredMessage> DeliveredMessages();
ASAAPI_API void ClearDeliveredMessages();
ASAAPI_API void SetMessageListener(std::function<void(const DeliveredMessage&)> listener);
// Paths the plugins asked MessengerForPlugin for, in order (read from the
// host call journal, so ClearHostCalls forgets them too, and only lookups
// among its most recent entries are seen).
ASAAPI_API std::vector<std::string> MessengerLookups();

// RCON connections: each reply a plugin sends on one goes to its receiver.
struct RconReply
{
  std::int32_t Id = 0;
  std::int32_t Type = 0;
  std::string Body;
};
using RconReceiver = std::function<void(const RconReply&)>;
ASAAPI_API RCONClientConnection* OpenRconConnection(RconReceiver receiver);
ASAAPI_API void CloseRconConnection(RCONClientConnection* connection);

// The host's log sinks: a console sink and a capture sink, which keeps the
// most recent RecentRecordLimit lines.
ASAAPI_API std::vector<std::string> CapturedLog();
ASAAPI_API void ClearCapturedLog();
ASAAPI_API void SetLogListener(std::function<void(const std::string&)> listener);
ASAAPI_API void SetConsoleLogEnabled(bool enabled);
// Owners of the capture sink besides the host itself.
ASAAPI_API long ForeignSinkReferences();
// Puts the host's own formatter back on its sinks, dropping any a plugin set.
ASAAPI_API void RestoreHostLogFormat();

// Everything above back to a fresh start (commands and detours included).
ASAAPI_API void ResetHost();
} // namespace devhost

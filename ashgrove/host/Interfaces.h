#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/Export.h"
#include "host/FString.h"
#include "host/GameTypes.h"

namespace spdlog::sinks
{
class sink;
}

class PluginMessenger
{
public:
  virtual ~PluginMessenger() = default;
  virtual void SendPlayerMessage(APlayerController* player, MessageColour colour,
                                 const FString& text) = 0;
};

namespace AsaApi
{
using ConsoleCommandCallback = std::function<void(APlayerController*, FString*, bool)>;
using RconCommandCallback = std::function<void(RCONClientConnection*, RCONPacket*, UWorld*)>;

class IHooks
{
public:
  virtual ~IHooks() = default;
  virtual bool RemoveDetour(const std::string& signature, void* detour) = 0;
  // Fills *trampoline with the way back to the game's own function before the
  // game can reach the detour.
  virtual bool InstallDetour(const std::string& signature, void* detour, void** trampoline) = 0;
};

class ICommands
{
public:
  virtual ~ICommands() = default;
  virtual void RegisterConsoleCommand(const FString& name,
                                      const ConsoleCommandCallback& callback) = 0;
  virtual void RegisterRconCommand(const FString& name, const RconCommandCallback& callback) = 0;
  virtual bool UnregisterConsoleCommand(const FString& name) = 0;
  virtual bool UnregisterRconCommand(const FString& name) = 0;
};

class IApiUtils
{
public:
  virtual ~IApiUtils() = default;
  virtual UWorld* CurrentWorld() = 0;
  virtual std::shared_ptr<PluginMessenger> MessengerForPlugin(const FString& plugin_path) = 0;
};

ASAAPI_API IHooks& GetHooks();
ASAAPI_API ICommands& GetCommands();
ASAAPI_API IApiUtils& GetApiUtils();

namespace Tools
{
ASAAPI_API std::string GetCurrentDir();
} // namespace Tools
} // namespace AsaApi

ASAAPI_API std::vector<std::shared_ptr<spdlog::sinks::sink>>& GetLogSinks();

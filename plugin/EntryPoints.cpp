#include "plugin/EntryPoints.h"

#include <functional>
#include <string>

#include "commands/ReloadCommands.h"
#include "host/AsaApi.h"
#include "plugin/PluginLog.h"
#include "plugin/Trampolines.h"
#include "rules/DeathHandler.h"
#include "rules/DepositLifetime.h"
#include "settings/CorpseSettings.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace
{
constexpr const char* ReloadCommandName = "Ashgrove.Reload";

template <class Function> void* AsDetour(Function function)
{
  return reinterpret_cast<void*>(function);
}
} // namespace

// The host owns the order of what follows: settings are in place before any
// detour can run, and commands come last because they need the log channel.
// Nothing is caught here; a failed load reaches the host with its message.
extern "C" void Plugin_Init()
{
  PluginLog::Get();
  PluginLog::Init("Ashgrove");
  LoadSettings();
  AsaApi::GetHooks().InstallDetour(std::string(GameNames::Die), AsDetour(&OnCharacterDie),
                                   reinterpret_cast<void**>(&DieTrampoline));
  AsaApi::GetHooks().InstallDetour(std::string(GameNames::DropInventoryDeposit),
                                   AsDetour(&OnDropInventoryDeposit),
                                   reinterpret_cast<void**>(&DropInventoryDepositTrampoline));
  AsaApi::GetCommands().RegisterConsoleCommand(FString(ReloadCommandName),
                                               AsaApi::ConsoleCommandCallback(&ReloadFromConsole));
  AsaApi::GetCommands().RegisterRconCommand(FString(ReloadCommandName),
                                            AsaApi::RconCommandCallback(&ReloadFromRcon));
}

// Keeps no record of what Plugin_Init managed: every removal is asked for,
// and the host ignores those it does not know.
extern "C" void Plugin_Unload()
{
  AsaApi::GetHooks().RemoveDetour(std::string(GameNames::Die), AsDetour(&OnCharacterDie));
  AsaApi::GetHooks().RemoveDetour(std::string(GameNames::DropInventoryDeposit),
                                  AsDetour(&OnDropInventoryDeposit));
  AsaApi::GetCommands().UnregisterConsoleCommand(FString(ReloadCommandName));
  AsaApi::GetCommands().UnregisterRconCommand(FString(ReloadCommandName));
}

#if defined(_WIN32)
BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/)
{
  if (reason == DLL_PROCESS_ATTACH)
  {
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}
#endif

#include "plugin/Installation.h"

#include <array>

#include "commands/ReloadCommands.h"
#include "host/ReflectedNames.h"
#include "rules/DeathHandler.h"
#include "rules/DepositLifetime.h"

namespace
{
template <class Function> void* AsDetour(Function function)
{
  return reinterpret_cast<void*>(function);
}

template <class Function> void** AsSlot(Function* slot)
{
  return reinterpret_cast<void**>(slot);
}

std::array<DetourRow, 2> Detours()
{
  return {{
      {GameNames::Die, AsDetour(&OnCharacterDie), AsSlot(&DieTrampoline)},
      {GameNames::DropInventoryDeposit, AsDetour(&OnDropInventoryDeposit),
       AsSlot(&DropInventoryDepositTrampoline)},
  }};
}

constexpr std::array<CommandRow, 1> Commands = {{
    {ReloadCommandName, &ReloadFromConsole, &ReloadFromRcon},
}};
} // namespace

// Each host interface is asked for at the moment of each call: the host may
// hand out another one later, so none is kept.
void InstallAll()
{
  for (const DetourRow& detour : Detours())
  {
    AsaApi::GetHooks().InstallDetour(detour.Signature, detour.Detour, detour.Trampoline);
  }
  for (const CommandRow& command : Commands)
  {
    AsaApi::GetCommands().RegisterConsoleCommand(FString(command.Name),
                                                 AsaApi::ConsoleCommandCallback(command.OnConsole));
    AsaApi::GetCommands().RegisterRconCommand(FString(command.Name),
                                              AsaApi::RconCommandCallback(command.OnRcon));
  }
}

// Keeps no record of what InstallAll managed: every removal is asked for,
// and the host ignores those it does not know.
void RemoveAll()
{
  for (const DetourRow& detour : Detours())
  {
    AsaApi::GetHooks().RemoveDetour(detour.Signature, detour.Detour);
  }
  for (const CommandRow& command : Commands)
  {
    AsaApi::GetCommands().UnregisterConsoleCommand(FString(command.Name));
    AsaApi::GetCommands().UnregisterRconCommand(FString(command.Name));
  }
}

#include "devhost/Hooks.h"

#include <atomic>

#include "devhost/Host.h"
#include "devhost/internal/GameFunctions.h"
#include "host/Interfaces.h"
#include "host/ReflectedNames.h"

namespace devhost
{
namespace
{
using detail::GameDie;
using detail::GameDropInventoryDeposit;

// One detourable game function: its own code and, when a plugin detours it,
// the detour the game now reaches instead.
struct DetourSlot
{
  const std::string& Signature;
  void* Original;
  std::atomic<void*> Entry;
  void* Detour = nullptr;
};

DetourSlot& DieSlot()
{
  static DetourSlot slot{
      GameNames::Die, reinterpret_cast<void*>(&GameDie), {reinterpret_cast<void*>(&GameDie)}};
  return slot;
}

DetourSlot& DropSlot()
{
  static DetourSlot slot{GameNames::DropInventoryDeposit,
                         reinterpret_cast<void*>(&GameDropInventoryDeposit),
                         {reinterpret_cast<void*>(&GameDropInventoryDeposit)}};
  return slot;
}

DetourSlot* FindSlot(const std::string& signature)
{
  for (DetourSlot* slot : {&DieSlot(), &DropSlot()})
  {
    if (slot->Signature == signature)
    {
      return slot;
    }
  }
  return nullptr;
}

class Hooks final : public AsaApi::IHooks
{
public:
  bool RemoveDetour(const std::string& signature, void* detour) override
  {
    RecordHostCall("RemoveDetour " + signature);
    DetourSlot* slot = FindSlot(signature);
    if (slot == nullptr || slot->Detour == nullptr || slot->Detour != detour)
    {
      return false;
    }
    slot->Entry.store(slot->Original, std::memory_order_release);
    slot->Detour = nullptr;
    return true;
  }

  // One detour per function. The trampoline is written before the detour
  // becomes reachable, so the detour never finds it empty.
  bool InstallDetour(const std::string& signature, void* detour, void** trampoline) override
  {
    RecordHostCall("InstallDetour " + signature);
    DetourSlot* slot = FindSlot(signature);
    if (slot == nullptr || detour == nullptr || trampoline == nullptr ||
        (slot->Detour != nullptr && slot->Detour != detour))
    {
      return false;
    }
    *trampoline = slot->Original;
    slot->Detour = detour;
    slot->Entry.store(detour, std::memory_order_release);
    return true;
  }
};
} // namespace

DieFunction DieEntry()
{
  return reinterpret_cast<DieFunction>(DieSlot().Entry.load(std::memory_order_acquire));
}

DropInventoryDepositFunction DropInventoryDepositEntry()
{
  return reinterpret_cast<DropInventoryDepositFunction>(
      DropSlot().Entry.load(std::memory_order_acquire));
}

void ResetHooks()
{
  for (DetourSlot* slot : {&DieSlot(), &DropSlot()})
  {
    slot->Entry.store(slot->Original);
    slot->Detour = nullptr;
  }
}

bool DetourInstalled(const std::string& signature)
{
  const DetourSlot* slot = FindSlot(signature);
  return slot != nullptr && slot->Detour != nullptr;
}
} // namespace devhost

namespace AsaApi
{
IHooks& GetHooks()
{
  devhost::RecordHostCall("GetHooks");
  static devhost::Hooks hooks;
  return hooks;
}
} // namespace AsaApi

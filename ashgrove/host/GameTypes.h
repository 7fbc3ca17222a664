#pragma once

#include <cstdint>

#include "host/FString.h"

// Game classes the plugin only passes around or reaches by reflected name.
class UObject;
class UClass;
class UWorld;
class AActor;
class AController;
class APlayerController;
class APrimalCharacter;
class UPrimalInventoryComponent;
class APrimalStructureItemContainer;
class RCONClientConnection;
struct FDamageEvent;

template <class T> struct TSubclassOf
{
  UClass* Class = nullptr;
};

namespace UE::Math
{
template <class T> struct TVector
{
  T X{};
  T Y{};
  T Z{};
};
} // namespace UE::Math

// An RCON request as the host hands it to a command: the request id is the
// second field.
struct RCONPacket
{
  std::int32_t Length = 0;
  std::int32_t Id = 0;
  std::int32_t Type = 0;
  FString Body;
};

struct MessageColour
{
  float R = 0.0F;
  float G = 0.0F;
  float B = 0.0F;
  float A = 0.0F;
};

#pragma once

#include <string>

// Every game member and function the plugin reaches, by the name the game's
// reflection gives it. These are constants, resolved again at every use.
namespace GameNames
{
// Members, resolved with GetAddress(object, name).
inline const std::string TargetingTeam = "UPrimalActor.TargetingTeam";
inline const std::string OwnerPrivate = "UActorComponent.OwnerPrivate";
inline const std::string ClassPrivate = "UObjectBase.ClassPrivate";
inline const std::string CorpseLifespan = "APrimalCharacter.CorpseLifespan";
inline const std::string TamedCorpseLifespan = "APrimalDinoCharacter.TamedCorpseLifespan";
inline const std::string CorpseLifespanNonRelevant =
    "APrimalDinoCharacter.CorpseLifespanNonRelevant";
inline const std::string TimeSeconds = "UWorld.TimeSeconds";

// Bit field, resolved with GetBitField(object, name).
inline const std::string IgnoreCorpseDecompositionMultipliers =
    "APrimalCharacter.bIgnoreCorpseDecompositionMultipliers";

// Functions, resolved with GetAddress(name).
inline const std::string IsShooterCharacter = "UPrimalActor.IsShooterCharacter()";
inline const std::string IsPrimalDino = "UPrimalActor.IsPrimalDino()";
inline const std::string IsPrimalCharacter = "UPrimalActor.IsPrimalCharacter()";
inline const std::string IsDead = "APrimalCharacter.IsDead()";
inline const std::string GetDefaultObject = "UClass.GetDefaultObject(bool)";
inline const std::string RconSendMessage = "RCONClientConnection.SendMessage(int,int,FString&)";
inline const std::string FMemoryFree = "FMemory.Free(void*)";

// Detoured functions.
inline const std::string Die = "APrimalCharacter.Die(float,FDamageEvent&,AController*,AActor*)";
inline const std::string DropInventoryDeposit =
    "UPrimalInventoryComponent.DropInventoryDeposit(double,bool,bool,"
    "TSubclassOf<APrimalStructureItemContainer>,APrimalStructureItemContainer*,"
    "APrimalStructureItemContainer**,AActor*,FString,FString,unsigned__int64,float,bool,int,bool,"
    "UE::Math::TVector<double>&,bool,bool,bool,bool,bool)";
} // namespace GameNames

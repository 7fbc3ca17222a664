#pragma once

#include <cstdint>
#include <string>

#include "devhost/World.h"

// The game's bodies the tests kill, through the development host.
namespace testsupport
{
// A player's body (team 60000), a tamed creature (team 60000) and a wild
// one (team 7), each with its class's default lifespans.
struct ThreeBodies
{
  devhost::SimCharacter* Player = nullptr;
  devhost::SimCharacter* Tamed = nullptr;
  devhost::SimCharacter* Wild = nullptr;
};
ThreeBodies SpawnThreeBodies(float player_corpse, float dino_corpse, float dino_tamed);

constexpr std::int32_t WildTeam = 7;
constexpr std::int32_t TribeTeam = 60000;

// What the plugin answers "Ashgrove.Reload" sent over an in-process RCON
// connection with that request id; empty when nothing answers.
std::string ReloadOverRcon(std::int32_t id = 1);
} // namespace testsupport

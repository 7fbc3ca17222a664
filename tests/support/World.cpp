#include "support/World.h"

#include "devhost/Commands.h"
#include "devhost/Rcon.h"

namespace testsupport
{
ThreeBodies SpawnThreeBodies(float player_corpse, float dino_corpse, float dino_tamed)
{
  // Class names of their own, so that a test may spawn several sets.
  static int sets = 0;
  const std::string suffix = std::to_string(sets++);
  auto* player_class =
      devhost::DefineClass("Player" + suffix, devhost::CharacterKind::Player, player_corpse, 0.0F);
  auto* dino_class =
      devhost::DefineClass("Dino" + suffix, devhost::CharacterKind::Dino, dino_corpse, dino_tamed);
  return {devhost::SpawnCharacter("player", player_class, TribeTeam),
          devhost::SpawnCharacter("tamed", dino_class, TribeTeam),
          devhost::SpawnCharacter("wild", dino_class, WildTeam)};
}

std::string ReloadOverRcon(std::int32_t id)
{
  std::string answer;
  RCONClientConnection* connection =
      devhost::OpenRconConnection([&](const devhost::RconReply& reply) { answer = reply.Body; });
  devhost::RunRconCommand(connection, id, "Ashgrove.Reload");
  devhost::CloseRconConnection(connection);
  return answer;
}
} // namespace testsupport

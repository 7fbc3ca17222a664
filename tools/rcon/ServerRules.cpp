#include "rcon/ServerRules.h"

#include <string>

namespace rcon
{
void ServerRules::Handle(const Packet& packet, Actions& actions)
{
  if (packet.Type == Auth)
  {
    authenticated_ = actions.LogIn(packet.Body);
    if (authenticated_)
    {
      actions.Send(packet.Id, ResponseValue, "");
      actions.Send(packet.Id, AuthResponse, "");
      return;
    }
    actions.Send(-1, AuthResponse, "");
    actions.CloseWhenSent();
  }
  else if (!authenticated_)
  {
    actions.Drop("command before authentication");
  }
  else if (packet.Type == ExecCommand)
  {
    if (!actions.RunCommand(packet.Id, packet.Body))
    {
      actions.Send(packet.Id, ResponseValue, "Unknown command: " + packet.Body);
    }
  }
  else
  {
    actions.Send(packet.Id, ResponseValue, "");
  }
}
} // namespace rcon

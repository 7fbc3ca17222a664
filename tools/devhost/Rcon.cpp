#include "devhost/Rcon.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "devhost/Text.h"
#include "devhost/internal/GameState.h"
#include "host/ReflectedNames.h"

// The connection the game keeps for one RCON client.
class RCONClientConnection
{
public:
  explicit RCONClientConnection(devhost::RconReceiver receiver) : Receiver(std::move(receiver)) {}
  devhost::RconReceiver Receiver;
};

namespace devhost::detail
{
namespace
{
std::vector<std::unique_ptr<RCONClientConnection>>& Connections()
{
  static std::vector<std::unique_ptr<RCONClientConnection>> connections;
  return connections;
}

// A connection that is still open, or null: a plugin may answer on one that
// its client has closed meanwhile.
RCONClientConnection* FindConnection(RCONClientConnection* connection)
{
  for (const auto& open : Connections())
  {
    if (open.get() == connection)
    {
      return connection;
    }
  }
  return nullptr;
}
} // namespace

void RconSendMessage(RCONClientConnection* connection, int id, int type, FString& body)
{
  Trace("call", GameNames::RconSendMessage);
  RCONClientConnection* open = FindConnection(connection);
  if (open != nullptr && open->Receiver)
  {
    open->Receiver(RconReply{id, type, Utf8(body)});
  }
}
} // namespace devhost::detail

namespace devhost
{
RCONClientConnection* OpenRconConnection(RconReceiver receiver)
{
  auto& connections = detail::Connections();
  connections.push_back(std::make_unique<RCONClientConnection>(std::move(receiver)));
  return connections.back().get();
}

void CloseRconConnection(RCONClientConnection* connection)
{
  auto& connections = detail::Connections();
  connections.erase(std::remove_if(connections.begin(), connections.end(),
                                   [&](const auto& open) { return open.get() == connection; }),
                    connections.end());
}
} // namespace devhost

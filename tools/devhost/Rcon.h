#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "host/Export.h"
#include "host/GameTypes.h"

// The game's RCON connections (Rcon.cpp): the development server opens one
// per client, and each reply a plugin sends on one goes to its receiver.
namespace devhost
{
struct RconReply
{
  std::int32_t Id = 0;
  std::int32_t Type = 0;
  std::string Body;
};
using RconReceiver = std::function<void(const RconReply&)>;
ASAAPI_API RCONClientConnection* OpenRconConnection(RconReceiver receiver);
ASAAPI_API void CloseRconConnection(RCONClientConnection* connection);

namespace detail
{
// The game's "RCONClientConnection.SendMessage(int,int,FString&)": hands the
// reply to the receiver of that connection, if it is still open.
void RconSendMessage(RCONClientConnection* connection, int id, int type, FString& body);
} // namespace detail
} // namespace devhost

#pragma once

#include "host/FString.h"
#include "host/GameTypes.h"

namespace devhost::detail
{
// The game's "RCONClientConnection.SendMessage(int,int,FString&)": hands the
// reply to the receiver of that connection, if it is still open.
void RconSendMessage(RCONClientConnection* connection, int id, int type, FString& body);
} // namespace devhost::detail

#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/Export.h"
#include "host/GameTypes.h"

// Players on the server and the messages plugins show them through their
// messengers (Players.cpp, which also implements AsaApi::IApiUtils and so
// answers the running world).
namespace devhost
{
// Players and what plugins show them.
struct DeliveredMessage
{
  std::string Player;
  std::string MessengerPath;
  MessageColour Colour;
  std::string Text;
};
ASAAPI_API APlayerController* Player(const std::string& name);
ASAAPI_API std::string PlayerName(const APlayerController* player);
ASAAPI_API std::vector<DeliveredMessage> DeliveredMessages();
ASAAPI_API void ClearDeliveredMessages();
ASAAPI_API void SetMessageListener(std::function<void(const DeliveredMessage&)> listener);
// Paths the plugins asked MessengerForPlugin for, in order (the most recent
// RecentRecordLimit, until ResetHost).
ASAAPI_API std::vector<std::string> MessengerLookups();
// Forgets the delivered messages, the lookups and the listener.
void ResetPlayers();
} // namespace devhost

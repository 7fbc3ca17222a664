#include "devhost/Players.h"

#include <map>
#include <memory>
#include <utility>

#include "devhost/Host.h"
#include "devhost/Text.h"
#include "devhost/internal/GameState.h"
#include "devhost/internal/RecentEntries.h"
#include "host/Interfaces.h"

// A player connected to the server, as far as a console command needs one.
class APlayerController
{
public:
  explicit APlayerController(std::string name) : Name(std::move(name)) {}
  std::string Name;
};

namespace devhost
{
namespace
{
struct Players
{
  std::map<std::string, std::unique_ptr<APlayerController>> ByName;
  RecentEntries<DeliveredMessage> Delivered;
  RecentEntries<std::string> MessengerLookups;
  std::function<void(const DeliveredMessage&)> Listener;
};

Players& PlayerState()
{
  static Players players;
  return players;
}

// Shows text to players on behalf of the one plugin whose path it was made
// for.
class Messenger final : public PluginMessenger
{
public:
  explicit Messenger(std::string path) : path_(std::move(path)) {}

  void SendPlayerMessage(APlayerController* player, MessageColour colour,
                         const FString& text) override
  {
    if (player == nullptr)
    {
      return;
    }
    DeliveredMessage message{player->Name, path_, colour, Utf8(text)};
    auto& players = PlayerState();
    players.Delivered.Add(message);
    if (players.Listener)
    {
      players.Listener(message);
    }
  }

private:
  std::string path_;
};

class ApiUtils final : public AsaApi::IApiUtils
{
public:
  UWorld* CurrentWorld() override
  {
    if (!detail::State().WorldRunning)
    {
      return nullptr;
    }
    return reinterpret_cast<UWorld*>(&World());
  }

  std::shared_ptr<PluginMessenger> MessengerForPlugin(const FString& plugin_path) override
  {
    const std::string path = Utf8(plugin_path);
    RecordHostCall("MessengerForPlugin " + path);
    PlayerState().MessengerLookups.Add(path);
    auto& messenger = messengers_[path];
    if (!messenger)
    {
      messenger = std::make_shared<Messenger>(path);
    }
    return messenger;
  }

private:
  std::map<std::string, std::shared_ptr<Messenger>> messengers_;
};
} // namespace

void ResetPlayers()
{
  auto& players = PlayerState();
  players.Delivered.Clear();
  players.MessengerLookups.Clear();
  players.Listener = nullptr;
}

APlayerController* Player(const std::string& name)
{
  auto& slot = PlayerState().ByName[name];
  if (!slot)
  {
    slot = std::make_unique<APlayerController>(name);
  }
  return slot.get();
}

std::string PlayerName(const APlayerController* player)
{
  return player != nullptr ? player->Name : "-";
}

std::vector<DeliveredMessage> DeliveredMessages()
{
  return PlayerState().Delivered.Copy();
}

void ClearDeliveredMessages()
{
  PlayerState().Delivered.Clear();
}

void SetMessageListener(std::function<void(const DeliveredMessage&)> listener)
{
  PlayerState().Listener = std::move(listener);
}

std::vector<std::string> MessengerLookups()
{
  return PlayerState().MessengerLookups.Copy();
}
} // namespace devhost

namespace AsaApi
{
IApiUtils& GetApiUtils()
{
  static devhost::ApiUtils utils;
  return utils;
}
} // namespace AsaApi

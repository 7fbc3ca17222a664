#include "commands/ReloadCommands.h"

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "access/PluginLog.h"
#include "access/PluginModulePath.h"
#include "host/Interfaces.h"
#include "host/ReflectedNames.h"
#include "host/Reflection.h"
#include "settings/CorpseSettings.h"

namespace
{
constexpr MessageColour ReloadedColour{0.0F, 1.0F, 0.0F, 1.0F};
constexpr MessageColour FailedColour{1.0F, 0.0F, 0.0F, 1.0F};

// The reason the reload failed, or nothing when it worked.
std::optional<std::string> Reload()
{
  try
  {
    LoadSettings();
  }
  catch (const std::exception& error)
  {
    return std::string(error.what());
  }
  return std::nullopt;
}

void LogFailure(const std::string& reason)
{
  // Passed as plain text: braces in a JSON error must not be read as a
  // format string.
  PluginLog::Get()->log(spdlog::level::err, spdlog::string_view_t(reason));
}

void AnswerPlayer(APlayerController* player, MessageColour colour, const char* text)
{
  std::shared_ptr<PluginMessenger> messenger;
  {
    const std::optional<FString> path = PluginModulePath();
    if (!path)
    {
      // Without our own path we cannot name our messenger; answering through
      // another plugin's would be worse than not answering.
      return;
    }
    messenger = AsaApi::GetApiUtils().MessengerForPlugin(*path);
  }
  if (player != nullptr && messenger != nullptr)
  {
    const FString message(text);
    messenger->SendPlayerMessage(player, colour, message);
  }
}

void AnswerRcon(RCONClientConnection* connection, const RCONPacket* request, FString& body)
{
  if (connection == nullptr || request == nullptr)
  {
    return;
  }
  using SendMessageFunction = void (*)(RCONClientConnection*, int, int, FString&);
  auto* send = reinterpret_cast<SendMessageFunction>(GetAddress(GameNames::RconSendMessage));
  if (send != nullptr)
  {
    // Type 0 is the RCON protocol's response value.
    send(connection, request->Id, 0, body);
  }
}
} // namespace

void ReloadFromConsole(APlayerController* player, FString* /*text*/, bool /*flag*/)
{
  try
  {
    const std::optional<std::string> failure = Reload();
    if (!failure)
    {
      AnswerPlayer(player, ReloadedColour, ReloadedAnswer);
      return;
    }
    AnswerPlayer(player, FailedColour, FailedAnswer);
    LogFailure(*failure);
  }
  catch (...)
  {
    // A failing answer must not take the server down with it.
  }
}

void ReloadFromRcon(RCONClientConnection* connection, RCONPacket* request, UWorld* /*world*/)
{
  try
  {
    FString reply;
    const std::optional<std::string> failure = Reload();
    if (failure)
    {
      LogFailure(*failure);
      reply = FString(failure->c_str());
    }
    else
    {
      reply = FString(ReloadedAnswer);
    }
    AnswerRcon(connection, request, reply);
  }
  catch (...)
  {
    // See ReloadFromConsole.
  }
}

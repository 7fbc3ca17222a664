#include "devhost/Commands.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <utility>

#include "devhost/Host.h"
#include "devhost/Text.h"
#include "host/Interfaces.h"

namespace devhost
{
namespace
{
// Command names are matched without regard to case, as on a game console.
std::string CommandKey(std::string name)
{
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name;
}

std::pair<std::string, std::string> SplitCommandLine(const std::string& line)
{
  const auto begin = line.find_first_not_of(" \t");
  if (begin == std::string::npos)
  {
    return {};
  }
  const auto end = line.find_first_of(" \t", begin);
  if (end == std::string::npos)
  {
    return {line.substr(begin), {}};
  }
  const auto rest = line.find_first_not_of(" \t", end);
  return {line.substr(begin, end - begin), rest == std::string::npos ? "" : line.substr(rest)};
}

struct Registry
{
  // Copies: the plugin hands over temporaries.
  std::map<std::string, AsaApi::ConsoleCommandCallback> Console;
  std::map<std::string, AsaApi::RconCommandCallback> Rcon;
};

Registry& Commands()
{
  static Registry registry;
  return registry;
}

class CommandRegistry final : public AsaApi::ICommands
{
public:
  void RegisterConsoleCommand(const FString& name,
                              const AsaApi::ConsoleCommandCallback& callback) override
  {
    RecordHostCall("RegisterConsoleCommand " + Utf8(name));
    Commands().Console[CommandKey(Utf8(name))] = callback;
  }

  void RegisterRconCommand(const FString& name,
                           const AsaApi::RconCommandCallback& callback) override
  {
    RecordHostCall("RegisterRconCommand " + Utf8(name));
    Commands().Rcon[CommandKey(Utf8(name))] = callback;
  }

  bool UnregisterConsoleCommand(const FString& name) override
  {
    RecordHostCall("UnregisterConsoleCommand " + Utf8(name));
    return Commands().Console.erase(CommandKey(Utf8(name))) != 0;
  }

  bool UnregisterRconCommand(const FString& name) override
  {
    RecordHostCall("UnregisterRconCommand " + Utf8(name));
    return Commands().Rcon.erase(CommandKey(Utf8(name))) != 0;
  }
};

} // namespace

void ResetCommands()
{
  Commands().Console.clear();
  Commands().Rcon.clear();
}

bool RunConsoleCommand(APlayerController* player, const std::string& line)
{
  const auto [name, rest] = SplitCommandLine(line);
  const auto found = Commands().Console.find(CommandKey(name));
  if (found == Commands().Console.end())
  {
    return false;
  }
  // A copy, so a handler that unregisters itself does not pull the rug.
  const AsaApi::ConsoleCommandCallback callback = found->second;
  FString text(rest.c_str());
  callback(player, &text, false);
  return true;
}

bool RunRconCommand(RCONClientConnection* connection, std::int32_t request_id,
                    const std::string& line)
{
  const auto [name, rest] = SplitCommandLine(line);
  const auto found = Commands().Rcon.find(CommandKey(name));
  if (found == Commands().Rcon.end())
  {
    return false;
  }
  const AsaApi::RconCommandCallback callback = found->second;
  // A command reads only the request's id; the body stays empty rather than
  // be converted for nobody on every request.
  RCONPacket packet;
  packet.Id = request_id;
  packet.Type = 2;
  packet.Length = static_cast<std::int32_t>(line.size() + 10);
  callback(connection, &packet, AsaApi::GetApiUtils().CurrentWorld());
  return true;
}

bool ConsoleCommandRegistered(const std::string& name)
{
  return Commands().Console.count(CommandKey(name)) != 0;
}

bool RconCommandRegistered(const std::string& name)
{
  return Commands().Rcon.count(CommandKey(name)) != 0;
}

std::size_t RegisteredCommandCount()
{
  return Commands().Console.size() + Commands().Rcon.size();
}
} // namespace devhost

namespace AsaApi
{
ICommands& GetCommands()
{
  devhost::RecordHostCall("GetCommands");
  static devhost::CommandRegistry commands;
  return commands;
}
} // namespace AsaApi

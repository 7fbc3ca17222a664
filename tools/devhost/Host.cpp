#include "devhost/Host.h"

#include <string>
#include <vector>

#include "devhost/Commands.h"
#include "devhost/Hooks.h"
#include "devhost/Logging.h"
#include "devhost/Players.h"
#include "devhost/World.h"
#include "devhost/internal/RecentEntries.h"
#include "host/Interfaces.h"

namespace devhost
{
namespace
{
struct HostConfig
{
  std::string ServerDirectory = ".";
  RecentEntries<std::string> Calls;
};

HostConfig& Config()
{
  static HostConfig config;
  return config;
}
} // namespace

void SetServerDirectory(const std::string& directory)
{
  Config().ServerDirectory = directory;
}

std::vector<std::string> HostCalls()
{
  return Config().Calls.Copy();
}

void ClearHostCalls()
{
  Config().Calls.Clear();
}

void RecordHostCall(std::string call)
{
  Config().Calls.Add(std::move(call));
}

void ResetHost()
{
  ResetHooks();
  ResetCommands();
  ResetPlayers();
  ResetLogging();
  ClearHostCalls();
  ResetGame();
}
} // namespace devhost

namespace AsaApi::Tools
{
std::string GetCurrentDir()
{
  devhost::RecordHostCall("GetCurrentDir");
  return devhost::Config().ServerDirectory;
}
} // namespace AsaApi::Tools

#include <string>
#include <vector>

#include "GameState.h"
#include "HostState.h"
#include "RecentEntries.h"
#include "devhost/Host.h"
#include "devhost/World.h"
#include "host/Interfaces.h"

namespace devhost::detail
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

void Journal(std::string entry)
{
  Config().Calls.Add(std::move(entry));
}
} // namespace devhost::detail

namespace AsaApi::Tools
{
std::string GetCurrentDir()
{
  devhost::detail::Journal("GetCurrentDir");
  return devhost::detail::Config().ServerDirectory;
}
} // namespace AsaApi::Tools

namespace devhost
{
void SetServerDirectory(const std::string& directory)
{
  detail::Config().ServerDirectory = directory;
}

std::vector<std::string> HostCalls()
{
  return detail::Config().Calls.Copy();
}

void ClearHostCalls()
{
  detail::Config().Calls.Clear();
}

void ResetHost()
{
  detail::ResetHooks();
  detail::ResetCommands();
  detail::ResetApiUtils();
  detail::ResetLogging();
  ClearHostCalls();
  ResetGame();
}
} // namespace devhost

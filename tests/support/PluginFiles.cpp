#include "support/PluginFiles.h"

#include <cctype>

#include <fmt/format.h>

#include "support/ServerDirectory.h"

namespace testsupport
{
std::string PluginPath()
{
  return (ProgramDirectory() / ASHGROVE_PLUGIN_FILE).string();
}

std::string TestName(const std::string& text)
{
  std::string name;
  for (const char c : text)
  {
    name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
  }
  return name;
}

std::string ConfigText(bool tamed, bool wild, bool players, long long tamed_time,
                       long long wild_time, long long players_time)
{
  return fmt::format(R"({{"tamedDinosAffected": {}, "wildDinosAffected": {}, )"
                     R"("playersBodiesAffected": {}, "tamedCorpseDecayTime": {}, )"
                     R"("wildCorpseDecayTime": {}, "playersBodiesDecayTime": {}}})",
                     tamed, wild, players, tamed_time, wild_time, players_time);
}

} // namespace testsupport

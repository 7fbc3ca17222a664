#include "devserver/PasswordSource.h"

namespace devserver
{
std::optional<std::string> ResolvePassword(const PasswordSources& sources)
{
  const int given = static_cast<int>(sources.Option.has_value()) +
                    static_cast<int>(sources.File.has_value()) +
                    static_cast<int>(sources.Environment.has_value());
  if (given > 1)
  {
    throw PasswordError(std::string("the RCON password is given more than once: give one of "
                                    "--rcon-password, --rcon-password-file and ") +
                        rcon::PasswordVariable);
  }
  std::optional<std::string> password = sources.Option ? sources.Option : sources.Environment;
  if (sources.File)
  {
    return rcon::ReadPasswordFile(*sources.File);
  }
  if (password)
  {
    rcon::CheckPassword(*password);
  }
  return password;
}
} // namespace devserver

#include "devserver/PasswordSource.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include <fmt/format.h>

#include "rcon/Packet.h"

namespace devserver
{
namespace
{
std::string ReadPasswordFile(const std::string& path)
{
  std::ifstream file(path, std::ios::binary);
  if (!file)
  {
    throw PasswordError(
        fmt::format("cannot read the RCON password file {}: {}", path, std::strerror(errno)));
  }
  // Enough for the longest password and its line ending, and one byte more
  // to tell that it is too long; a larger file is not read to its end.
  std::string text(rcon::MaximumBody + 3, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.bad())
  {
    throw PasswordError(fmt::format("cannot read the RCON password file {}", path));
  }
  text.resize(static_cast<std::size_t>(file.gcount()));
  if (text.ends_with("\r\n"))
  {
    text.resize(text.size() - 2);
  }
  else if (text.ends_with('\n'))
  {
    text.pop_back();
  }
  return text;
}

void CheckPassword(const std::string& password)
{
  if (password.empty())
  {
    throw PasswordError("the RCON password is empty");
  }
  if (password.size() > rcon::MaximumBody)
  {
    throw PasswordError(
        fmt::format("the RCON password is longer than the {} bytes a packet's body can carry",
                    rcon::MaximumBody));
  }
  if (password.find('\0') != std::string::npos)
  {
    throw PasswordError("the RCON password holds a NUL byte, which no client can send");
  }
}
} // namespace

std::optional<std::string> ResolvePassword(const PasswordSources& sources)
{
  const int given = static_cast<int>(sources.Option.has_value()) +
                    static_cast<int>(sources.File.has_value()) +
                    static_cast<int>(sources.Environment.has_value());
  if (given > 1)
  {
    throw PasswordError("the RCON password is given more than once: give one of "
                        "--rcon-password, --rcon-password-file and ASHGROVE_RCON_PASSWORD");
  }
  std::optional<std::string> password = sources.Option ? sources.Option : sources.Environment;
  if (sources.File)
  {
    password = ReadPasswordFile(*sources.File);
  }
  if (password)
  {
    CheckPassword(*password);
  }
  return password;
}
} // namespace devserver

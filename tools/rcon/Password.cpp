#include "rcon/Password.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "rcon/Packet.h"

namespace rcon
{
namespace
{
std::string Shown(const std::filesystem::path& path)
{
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}
} // namespace

std::string ReadPasswordFile(const std::filesystem::path& path)
{
  std::ifstream file(path, std::ios::binary);
  if (!file)
  {
    throw PasswordError("cannot read the RCON password file " + Shown(path) + ": " +
                        std::strerror(errno));
  }
  // Enough for the longest password and its line ending, and one byte more
  // to tell that it is too long; a larger file is not read to its end.
  std::string text(MaximumBody + 3, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.bad())
  {
    throw PasswordError("cannot read the RCON password file " + Shown(path));
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
  CheckPassword(text);
  return text;
}

std::optional<std::string> EnvironmentPassword(const std::string& name)
{
#if defined(_WIN32)
  // The wide environment, so that a password in any language arrives whole.
  const std::wstring wide =
      std::filesystem::path(std::u8string(name.begin(), name.end())).wstring();
  const wchar_t* value = _wgetenv(wide.c_str());
  if (value == nullptr)
  {
    return std::nullopt;
  }
  std::string password = Shown(std::filesystem::path(value));
#else
  const char* value = std::getenv(name.c_str());
  if (value == nullptr)
  {
    return std::nullopt;
  }
  std::string password = value;
#endif
  return password;
}

void CheckPassword(const std::string& password)
{
  if (password.empty())
  {
    throw PasswordError("the RCON password is empty");
  }
  if (password.size() > MaximumBody)
  {
    throw PasswordError("the RCON password is longer than the " + std::to_string(MaximumBody) +
                        " bytes a packet's body can carry");
  }
  if (password.find('\0') != std::string::npos)
  {
    throw PasswordError("the RCON password holds a NUL byte, which no client can send");
  }
}

std::optional<std::string> ResolvePassword(const PasswordSources& sources,
                                           std::string_view given_twice)
{
  const std::optional<std::string> from_environment =
      sources.Variable ? EnvironmentPassword(*sources.Variable) : std::nullopt;
  const int given = static_cast<int>(sources.Text.has_value()) +
                    static_cast<int>(sources.File.has_value()) +
                    static_cast<int>(from_environment.has_value());
  if (given > 1)
  {
    throw PasswordError(std::string(given_twice));
  }
  if (sources.File)
  {
    return ReadPasswordFile(*sources.File);
  }
  std::optional<std::string> password = sources.Text ? sources.Text : from_environment;
  if (password)
  {
    CheckPassword(*password);
  }
  return password;
}
} // namespace rcon

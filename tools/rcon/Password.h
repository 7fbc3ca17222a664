#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// An RCON password as the protocol can carry it, whichever side keeps it.
namespace rcon
{
// The environment variable an operator gives the RCON password in.
constexpr const char* PasswordVariable = "ASHGROVE_RCON_PASSWORD";

// A password that cannot be used, said in words for the operator.
class PasswordError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

// The password a file holds: its bytes, less one trailing line ending
// ("\n" or "\r\n"). Throws PasswordError when the file cannot be read or
// the password cannot be used (see CheckPassword).
std::string ReadPasswordFile(const std::filesystem::path& path);

// What an environment variable holds, as it is: a password given there is
// given even when it cannot be used, which CheckPassword tells once it is
// the one. Nothing when the variable is not set.
std::optional<std::string> EnvironmentPassword(const std::string& name);

// Throws PasswordError for a password that is empty, holds a NUL byte (no
// client can send one) or does not fit one packet's body.
void CheckPassword(const std::string& password);

// The places one password may be given in; at most one may hold it.
struct PasswordSources
{
  std::optional<std::string> Text{};           // the password itself
  std::optional<std::filesystem::path> File{}; // read by ReadPasswordFile
  std::optional<std::string> Variable{};       // the name of an environment variable
};

// The password from the one source that holds it, checked (CheckPassword),
// or nothing when none does; an environment variable that is not set holds
// none. Throws PasswordError with `given_twice` when more than one source
// holds it, and when the file cannot be read or the password cannot be used.
std::optional<std::string>
ResolvePassword(const PasswordSources& sources,
                std::string_view given_twice = "the RCON password is given more than once");
} // namespace rcon

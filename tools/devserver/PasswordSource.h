#pragma once

#include <optional>
#include <string>

#include "rcon/Password.h"

namespace devserver
{
// The places an RCON password can come from; at most one may be given.
struct PasswordSources
{
  std::optional<std::string> Option;      // --rcon-password
  std::optional<std::string> File;        // --rcon-password-file: a path
  std::optional<std::string> Environment; // ASHGROVE_RCON_PASSWORD
};

using PasswordError = rcon::PasswordError;

// The password from the one source given (a file loses one trailing line
// ending), or nothing when none is. Throws PasswordError when more than one
// source is given, the file cannot be read, or the password is empty, holds
// a NUL byte or does not fit in one packet.
std::optional<std::string> ResolvePassword(const PasswordSources& sources);
} // namespace devserver

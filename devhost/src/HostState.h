#pragma once

#include <string>

namespace devhost::detail
{
void Journal(std::string entry);
void ResetHooks();
void ResetCommands();
void ResetApiUtils();
void ResetLogging();
} // namespace devhost::detail

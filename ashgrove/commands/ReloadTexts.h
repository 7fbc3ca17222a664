#pragma once

// The reload command's name, on the console and over RCON, and what it
// answers; tools that drive the command over RCON read the same texts.
inline constexpr const char* ReloadCommandName = "Ashgrove.Reload";
inline constexpr const char* ReloadedAnswer = "Reloaded config";
// What the console player learns of a failure; over RCON the failure's own
// text is the answer.
inline constexpr const char* FailedAnswer = "Failed to reload config";
